// One user's session on a fresh program folder, through the real windows and dialogs: a card
// type is made, filled, edited, pruned, joined by an imported one, viewed, closed and opened
// again. After every step the files on disk and the window must agree.
#include <QtTest>

#include "CardDialogSupport.h"
#include "MainWindowHarness.h"
#include "ProgramFolder.h"
#include "QtText.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardList.h"

namespace fs = std::filesystem;

namespace {

const char* const kCardType = "トレカ";

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

    ProgramFolder m_folder;
    QTemporaryDir m_drops;
    TCardInfos m_expected;

    fs::path Folder() const { return m_folder.CardTypeFolder(kCardType); }
    fs::path Image(const std::string& name) const { return Folder() / "image" / name; }
    // A fixture picture copied into the drop folder under the name the user drops it by.
    QString DropFile(const char* fixture, const char* name) {
        return CopyFixture(fixture, m_drops.path(), Utf8(name));
    }

    // The card list file holds exactly the expected cards, and the window shows them.
    void CheckCards(const TMainWindow& window, const char* status) {
        // A card registered or edited as owned is dated today.
        for (TCardInfo& card : m_expected)
            if (card.Owned && card.Acquired.empty()) card.Acquired = TodayText();
        QCOMPARE(FileBytes(Folder() / kCardListFileName), CardListText(m_expected));
        QVERIFY(window->Cards() == m_expected);
        QCOMPARE(window->StatusLineText(), Utf8(status));
        QStringList titles;
        for (const TCardInfo& card : m_expected) titles << FromCp932(card.Title);
        QCOMPARE(window.Column(1), titles);
    }

    // The stored picture is a byte copy of the dropped file, with both thumbnails as BMP files
    // fitted into their boxes.
    void CheckPicture(const char* utf8Name, const QString& dropped, QSize large, QSize small) {
        fs::path picture = Image(utf8Name);
        QCOMPARE(FileBytes(picture), FileBytes(fs::path(dropped.toStdString())));
        const std::string stem = fs::path(utf8Name).stem().string();
        for (auto [ext, size] : {std::pair{".thm_large", large}, std::pair{".thm", small}}) {
            fs::path thumbnail = Image(stem + ext);
            QVERIFY2(FileBytes(thumbnail).starts_with("BM"), thumbnail.c_str());
            QCOMPARE(QImage(QString::fromStdString(thumbnail.string()), "BMP").size(), size);
        }
    }

    void Register(TMainWindow& window, const TCardEntry& entry) {
        EnterCard(entry);
        window->N5Click();
    }

private slots:
    void wholeSession() {
        const QSize landLarge(100, 75), landSmall(50, 38), portLarge(50, 100), portSmall(25, 50);
        auto window = std::make_unique<TMainWindow>(OpenMainWindow(m_folder.Path()));
        (*window)->show();
        QVERIFY((*window).ComboItems().isEmpty());
        QVERIFY(!window->Action("N5")->isEnabled());

        // A new card type: listed, not loaded until chosen.
        EnterCardTypeName(Utf8(kCardType));
        (*window)->N2Click();
        QCOMPARE(window->ComboItems(), QStringList(Utf8(kCardType)));
        QCOMPARE(window->Combo()->currentIndex(), -1);
        QCOMPARE(FileBytes(Folder() / kCardListFileName), EmptyCardListText());
        window->Choose(0);
        QCOMPARE((*window)->StatusLineText(), Utf8("0/0"));
        QVERIFY(window->Action("N5")->isEnabled());

        // Three cards, each with a front and a back picture dropped on the dialog.
        const QString f1 = DropFile("landscape.jpg", "表1.jpg");
        const QString b1 = DropFile("portrait.jpg", "back1.jpeg");
        Register(*window, {Utf8("001"), Utf8("騎士 <金>"), Utf8("初版 & 限定"), true, f1, b1});
        m_expected.push_back(
            {Sjis("表1.jpg"), "back1.jpeg", "001", Sjis("騎士 <金>"), true, Sjis("初版 & 限定")});
        CheckCards(*window, "1/1[100%]");
        CheckPicture("表1.jpg", f1, landLarge, landSmall);
        CheckPicture("back1.jpeg", b1, portLarge, portSmall);

        const QString f2 = DropFile("portrait.jpg", "f2.jpg");
        const QString b2 = DropFile("landscape.jpg", "b2.jpg");
        Register(*window, {Utf8("002"), Utf8("竜"), {}, false, f2, b2});
        m_expected.push_back({"f2.jpg", "b2.jpg", "002", Sjis("竜"), false, ""});
        CheckCards(*window, "1/2[50%]");

        const QString f3 = DropFile("landscape.jpg", "f3.jpg");
        const QString b3 = DropFile("portrait.jpg", "b3.jpg");
        Register(*window, {Utf8("003"), Utf8("魔法使い"), {}, true, f3, b3});
        m_expected.push_back({"f3.jpg", "b3.jpg", "003", Sjis("魔法使い"), true, ""});
        CheckCards(*window, "2/3[66%]");
        for (auto [name, dropped] : {std::pair{"f2.jpg", f2}, std::pair{"f3.jpg", f3}})
            QCOMPARE(FileBytes(Image(name)), FileBytes(fs::path(dropped.toStdString())));

        // Edit the second card: owned now, and a new front picture replaces the old one.
        const QString f2new = DropFile("landscape.jpg", "f2new.jpg");
        (*window)->ListView()->SelectRow(1);
        EnterCard({Utf8("002"), Utf8("竜王"), Utf8("交換"), true, f2new, {}});
        (*window)->N6Click();
        m_expected[1] = {"f2new.jpg", "b2.jpg", "002", Sjis("竜王"), true, Sjis("交換")};
        CheckCards(*window, "3/3[100%]");
        CheckPicture("f2new.jpg", f2new, landLarge, landSmall);
        for (const char* gone : {"f2.jpg", "f2.thm", "f2.thm_large"})
            QVERIFY2(!fs::exists(Image(gone)), gone);
        QCOMPARE((*window)->ListView()->SelectedRow(), std::optional<int>(1));

        // Delete the first card; its pictures stay in the image folder.
        (*window)->ListView()->SelectRow(0);
        QString question;
        AnswerBox(Utf8("はい(&Y)"), [&](QMessageBox* box) { question = box->text(); });
        (*window)->N7Click();
        QCOMPARE(question, Utf8("「騎士 <金>」を削除してもよろしいですか？"));
        m_expected.erase(m_expected.begin());
        CheckCards(*window, "2/2[100%]");
        CheckPicture("表1.jpg", f1, landLarge, landSmall);
        QCOMPARE((*window)->ListView()->SelectedRow(), std::optional<int>(0));

        // Import the sample template: listed after the first, not loaded.
        const QString sample = QStringLiteral(VASTRELLE_SOURCE_DIR "/samples/castles.template");
        QString proposed;
        ChooseFile(sample);
        EnterCardTypeName(Utf8("castles"), &proposed);
        (*window)->N4Click();
        QCOMPARE(proposed, Utf8("castles"));
        QCOMPARE(FileBytes(m_folder.CardTypeFolder("castles") / kCardListFileName),
                 FileBytes(fs::path(sample.toStdString())));
        QCOMPARE(window->ComboItems(), QStringList({Utf8(kCardType), Utf8("castles")}));
        QCOMPARE(window->Combo()->currentText(), Utf8(kCardType));
        CheckCards(*window, "2/2[100%]");
        window->Choose(1);
        QCOMPARE(window->Model()->rowCount(), 20);
        QCOMPARE((*window)->StatusLineText(), Utf8("10/20[50%]"));
        window->Choose(0);

        // Views: large front thumbnails, then small back ones.
        window->Action("N13")->trigger();
        QCOMPARE((*window)->ListView()->ViewStyle(), TViewStyle::Icon);
        auto thumbnail = [&](int row) {
            return window->Model()->index(row, 0).data(Qt::DecorationRole).value<QPixmap>();
        };
        QCOMPARE(thumbnail(0).size(), QSize(100, 100));
        window->Action("N12")->trigger();
        QCOMPARE((*window)->ListView()->ViewStyle(), TViewStyle::SmallIcon);
        QCOMPARE(thumbnail(1).toImage().pixelColor(49, 49), QColor(Qt::white));  // 25 x 50 back
        CheckCards(*window, "2/2[100%]");

        // Close: the settings remember the card type and the view.
        window->Action("Exit1")->trigger();
        window.reset();
        const std::string ini = FileBytes(m_folder.Path() / "setting.ini");
        QVERIFY(ini.find("cardname=" + Sjis(kCardType) + "\r\n") != std::string::npos);
        QVERIFY(ini.find("title_backimg=1\r\n") != std::string::npos);
        QVERIFY(ini.find("detail=0\r\n") != std::string::npos);

        // Start again: the card types sorted by their bytes, the same card type and view.
        TMainWindow again = OpenMainWindow(m_folder.Path());
        QCOMPARE(again.ComboItems(), QStringList({Utf8("castles"), Utf8(kCardType)}));
        QCOMPARE(again.Combo()->currentText(), Utf8(kCardType));
        QCOMPARE(again->CheckedView(), std::optional<ViewItem>(ViewItem::TitleBackImg));
        QCOMPARE(again->ListView()->ViewStyle(), TViewStyle::SmallIcon);
        CheckCards(again, "2/2[100%]");
        QCOMPARE(again.Column(0), QStringList({Utf8("002"), Utf8("003")}));
    }
};

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
