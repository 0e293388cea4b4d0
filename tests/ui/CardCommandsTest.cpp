// Registering, editing and deleting cards from the main window, against real card list files.
#include <QLabel>
#include <QtTest>

#include "CardDialogSupport.h"
#include "FileSizeLimit.h"
#include "MainWindowHarness.h"
#include "ProgramFolder.h"
#include "TreeSnapshot.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardList.h"
#include "pictures/CardImages.h"

namespace {

// The file's bytes and its modification time, so that a rewrite with the same bytes shows.
struct TFileState {
    std::string Bytes;
    std::filesystem::file_time_type Written;
    bool operator==(const TFileState&) const = default;
};

TFileState StateOf(const std::filesystem::path& file) {
    return {FileBytes(file), std::filesystem::last_write_time(file)};
}

std::filesystem::path CardList(const ProgramFolder& folder) {
    return folder.CardTypeFolder("Cards") / kCardListFileName;
}

// After the カード menu opens, 登録, 編集 and 削除 are all disabled, and 登録 run anyway shows
// nothing.
bool OffersNoCardCommand(TMainWindow& window) {
    window->N8Click();
    for (const char* item : {"N5", "N6", "N7"})
        if (window.Action(item)->isEnabled()) return false;
    TUnexpectedBoxes boxes;
    window->N5Click();
    return boxes.Count() == 0;
}

}  // namespace

class CardCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCoreApplication::processEvents(); }  // an answer that found no window

    void menuFollowsLoadedCardTypeAndSelection() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(3));
        folder.AddCardType("Xbroken", {});
        folder.WriteFile("Xbroken/cardlist.dat", "<cardlist><carditem>");
        folder.AddCardType("Empty", {});
        TMainWindow window = OpenMainWindow(folder.Path());
        window->N8Click();
        QVERIFY(window.Action("N5")->isEnabled());
        QVERIFY(!window.Action("N6")->isEnabled() && !window.Action("N7")->isEnabled());
        window->ListView()->SelectRow(1);
        window->N8Click();
        QVERIFY(window.Action("N6")->isEnabled() && window.Action("N7")->isEnabled());

        // An unreadable card list is never replaced: no card command is offered or runs.
        AnswerBox(Utf8("OK"));
        window.Choose(window.ComboItems().indexOf(Utf8("Xbroken")));
        QVERIFY(!window->IsCardTypeWritable());
        QVERIFY(OffersNoCardCommand(window));
        QCOMPARE(FileBytes(folder.CardTypeFolder("Xbroken") / kCardListFileName),
                 std::string("<cardlist><carditem>"));

        // A card type without cards takes new ones but has nothing to edit.
        window.Choose(window.ComboItems().indexOf(Utf8("Empty")));
        window->N8Click();
        QVERIFY(window.Action("N5")->isEnabled() && !window.Action("N6")->isEnabled());
    }

    void nothingLoadedOffersNoCardCommand() {
        ProgramFolder folder;
        TMainWindow window = OpenMainWindow(folder.Path());
        QVERIFY(OffersNoCardCommand(window));
        QVERIFY(std::filesystem::is_empty(folder.Path()));
    }

    void registerAppendsTheCardAndReloads() {
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(2, 1);
        folder.AddCardType("Cards", cards);
        TMainWindow window = OpenMainWindow(folder.Path());
        QString caption;
        EnterCard({Utf8("No.3"), Utf8("新しい<カード>"), Utf8("a&b"), true, {}, {}}, &caption);
        window->N5Click();

        QCOMPARE(caption, Utf8("カード情報の新規作成画面"));
        TCardInfo added;
        added.Number = "No.3";
        added.Title = Sjis("新しい<カード>");
        added.Comment = "a&b";
        SetOwned(added, true, TodayText());
        cards.push_back(added);
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        QCOMPARE(window.Column(1).last(), Utf8("新しい<カード>"));
        QCOMPARE(window->StatusLineText(), Utf8("2/3[66%]"));
        QVERIFY(window->Cards() == cards);
    }

    // A typed escape sequence is written as it stands and reads back as its character: the list
    // shows the file, not the cards as typed.
    void listShowsTheFileWhenTheCardsDoNotReadBackAsTyped() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(2, 1));
        TMainWindow window = OpenMainWindow(folder.Path());
        EnterCard({Utf8("@#60;3"), Utf8("t"), {}, false, {}, {}});
        window->N5Click();
        TCardInfos onDisk;
        ReadCardList(CardList(folder), onDisk);
        QVERIFY(window->Cards() == onDisk);
        QCOMPARE(window->Cards().back().Number, std::string("<3"));
        QCOMPARE(window.Column(0).last(), Utf8("<3"));
    }

    void registerStartsFromABlankCard() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(2));
        TMainWindow window = OpenMainWindow(folder.Path());
        window->ListView()->SelectRow(1);
        QString number = Utf8("unset");
        ActOnNext<TCardInfoInputForm>([&](TCardInfoInputForm*) {
            number = window.CardDialog->findChild<QLineEdit*>(Utf8("EditNumber"))->text();
        });
        window->N5Click();
        QCOMPARE(number, QString());
    }

    void cancelledCommandsChangeNothing() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(3, 1));
        TMainWindow window = OpenMainWindow(folder.Path());
        window->ListView()->SelectRow(1);
        TFileState before = StateOf(CardList(folder));
        TCardInfos cards = window->Cards();

        // Cancel after typing, the title bar's close, and No to the deletion.
        ActOnNext<TCardInfoInputForm>([&](TCardInfoInputForm*) {
            window.CardDialog->findChild<QLineEdit*>(Utf8("EditTitle"))->setText(Utf8("x"));
            window.CardDialog->findChild<QPushButton*>(Utf8("ButtonCancel"))->click();
        });
        window->N5Click();
        ActOnNext<TCardInfoInputForm>([](TCardInfoInputForm* dialog) { dialog->close(); });
        window->N6Click();
        QString question;
        AnswerBox(Utf8("いいえ(&N)"), [&](QMessageBox* box) { question = box->text(); });
        window->N7Click();

        QCOMPARE(question, Utf8("「カード2」を削除してもよろしいですか？"));
        QVERIFY(StateOf(CardList(folder)) == before);
        QVERIFY(window->Cards() == cards);
        QCOMPARE(window.Model()->rowCount(), 3);
        QCOMPARE(window->ListView()->SelectedRow(), std::optional<int>(1));
    }

    void editReplacesTheSelectedCardInPlace() {
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(3);
        folder.AddCardType("Cards", cards);
        TMainWindow window = OpenMainWindow(folder.Path());
        window->ListView()->SelectRow(1);
        QString caption, shownTitle;
        ActOnNext<TCardInfoInputForm>([&](TCardInfoInputForm*) {
            caption = window.CardDialog->windowTitle();
            shownTitle = window.CardDialog->findChild<QLineEdit*>(Utf8("EditTitle"))->text();
        });
        window->N6Click();  // only looks, so this edit is cancelled
        EnterCard({Utf8("No.2"), Utf8("直した"), {}, true, {}, {}});
        window->N6Click();

        QCOMPARE(caption, Utf8("カード情報の編集画面"));
        QCOMPARE(shownTitle, Utf8("カード2"));
        cards[1].Title = Sjis("直した");
        SetOwned(cards[1], true, TodayText());
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        QCOMPARE(window.Column(1), QStringList({Utf8("カード1"), Utf8("直した"), Utf8("カード3")}));
        QCOMPARE(window->ListView()->SelectedRow(), std::optional<int>(1));
        QCOMPARE(window->StatusLineText(), Utf8("1/3[33%]"));
    }

    void doubleClickEditsOnlyASelectedRow() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(2));
        TMainWindow window = OpenMainWindow(folder.Path());
        TUnexpectedBoxes boxes;
        emit window->ListView()->RowDoubleClicked();
        QCOMPARE(boxes.Count(), 0);

        window->ListView()->SelectRow(0);
        QString caption;
        ActOnNext<TCardInfoInputForm>(
            [&](TCardInfoInputForm* modal) { caption = modal->windowTitle(); });
        emit window->ListView()->RowDoubleClicked();
        QCOMPARE(caption, Utf8("カード情報の編集画面"));
    }

    void deleteKeepsTheOrderAndThePictures_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("row");
        QTest::newRow("first") << 4 << 0;
        QTest::newRow("middle") << 4 << 2;
        QTest::newRow("last") << 4 << 3;
        QTest::newRow("only") << 1 << 0;
    }
    void deleteKeepsTheOrderAndThePictures() {
        QFETCH(int, count);
        QFETCH(int, row);
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(count, count);
        folder.AddCardType("Cards", cards);
        for (const char* name : {"f.jpg", "f.thm", "f.thm_large"})
            folder.WriteFile(std::filesystem::path("Cards/image") /
                                 (std::string(name).replace(1, 0, std::to_string(row))),
                             "picture");
        TMainWindow window = OpenMainWindow(folder.Path());
        window->ListView()->SelectRow(row);
        AnswerBox(Utf8("はい(&Y)"));
        window->N7Click();

        cards.erase(cards.begin() + row);
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        QVERIFY(window->Cards() == cards);
        QCOMPARE(window.Model()->rowCount(), count - 1);
        QCOMPARE(window->StatusLineText(),
                 count == 1 ? Utf8("0/0") : QStringLiteral("%1/%1[100%]").arg(count - 1));
        for (const char* ext : {".jpg", ".thm", ".thm_large"})
            QVERIFY(std::filesystem::exists(folder.CardTypeFolder("Cards") / "image" /
                                            ("f" + std::to_string(row) + ext)));
        // The row that took the deleted card's place is selected; after the last, none.
        QCOMPARE(window->ListView()->SelectedRow(),
                 row < count - 1 ? std::optional<int>(row) : std::nullopt);
    }

    void failedWriteIsReportedAndTheListShowsTheFile() {
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(3, 1);
        folder.AddCardType("Cards", cards);
        TMainWindow window = OpenMainWindow(folder.Path());
        window->ListView()->SelectRow(0);
        const std::string before = FileBytes(CardList(folder));

        QStringList texts;
        auto keepText = [&](QMessageBox* box) { texts << box->text(); };
        {
            TFileSizeLimit limit(16);
            AnswerBox(Utf8("はい(&Y)"),
                      [&](QMessageBox*) { AnswerBox(Utf8("中止(&A)"), keepText); });
            window->N7Click();
            EnterCard({Utf8("No.4"), Utf8("足りない"), {}, true, {}, {}});
            AnswerBox(Utf8("中止(&A)"), keepText);
            window->N5Click();
        }

        QCOMPARE(texts,
                 QStringList(2, Utf8("カード種類フォルダ[cardlist.dat]の保存に失敗しました。")));
        QCOMPARE(FileBytes(CardList(folder)), before);
        QVERIFY(window->Cards() == cards);
        QCOMPARE(window.Column(1),
                 QStringList({Utf8("カード1"), Utf8("カード2"), Utf8("カード3")}));
        QCOMPARE(window->StatusLineText(), Utf8("1/3[33%]"));
        QVERIFY(window->IsCardTypeWritable());
    }

    // A new front picture for a card whose card list then cannot be written: the dialog stays
    // open, no picture is lost or left behind, and a later OK saves the change.
    void failedEditLosesNoPictureAndCanBeRetried() {
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(2);
        cards[0].FrontImageFileName = "old.jpg";
        cards[0].BackImageFileName.clear();
        cards[1].Comment = std::string(100 * 1024, 'x');  // the card list outgrows the limit
        folder.AddCardType("Cards", cards);
        const std::filesystem::path image = folder.CardTypeFolder("Cards") / "image";
        const QString imageFolder = QString::fromStdString(image.string());
        CopyFixture("landscape.jpg", imageFolder, Utf8("old.jpg"));
        MakeThumbnails(image, "old.jpg");
        const QString dropped = CopyFixture(
            "portrait.jpg", QString::fromStdString(folder.Path().string()), Utf8("new.jpg"));
        TMainWindow window = OpenMainWindow(folder.Path());
        window->ListView()->SelectRow(0);
        const TreeSnapshot before = SnapshotTree(folder.CardTypeFolder("Cards"));

        QString failure;
        bool stayedOpen = false;
        ActOnNext<TCardInfoInputForm>([&](TCardInfoInputForm* dialog) {
            dialog->DropFile(TCardSide::Front, dropped);
            {
                TFileSizeLimit full(64 * 1024);
                AnswerBox(Utf8("中止(&A)"), [&](QMessageBox* box) { failure = box->text(); });
                dialog->findChild<QPushButton*>(Utf8("ButtonOK"))->click();
            }
            stayedOpen = dialog->isVisible();
            dialog->findChild<QPushButton*>(Utf8("ButtonCancel"))->click();
        });
        window->N6Click();
        QCOMPARE(failure, Utf8("カード種類フォルダ[cardlist.dat]の保存に失敗しました。"));
        QVERIFY(stayedOpen);
        const TreeSnapshot afterCancel = SnapshotTree(folder.CardTypeFolder("Cards"));
        QVERIFY2(afterCancel == before, TreeDifferences(before, afterCancel).c_str());
        QVERIFY(window->Cards() == cards);

        EnterCard({Utf8("No.1"), Utf8("カード1"), {}, false, dropped, {}});
        window->N6Click();
        cards[0].FrontImageFileName = "new.jpg";
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        QCOMPARE(ReadBytes(imageFolder + Utf8("/new.jpg")), ReadBytes(dropped));
        for (const char* name : {"new.thm", "new.thm_large"})
            QVERIFY2(std::filesystem::exists(image / name), name);
        for (const char* name : {"old.jpg", "old.thm", "old.thm_large"})
            QVERIFY2(!std::filesystem::exists(image / name), name);
        QVERIFY(window->Cards() == cards);
    }

    // After the report the dialog opens all the same, so the picture can be deleted.
    void unshowablePictureIsReportedAndTheCardCanBeRepaired() {
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(1);
        cards[0].FrontImageFileName = "scan.gif";
        folder.AddCardType("Cards", cards);
        folder.WriteFile("Cards/image/scan.gif", "GIF89a");
        TMainWindow window = OpenMainWindow(folder.Path());
        window->ListView()->SelectRow(0);
        QString text;
        bool dialogWasOpen = true;
        AnswerBox(Utf8("OK"), [&](QMessageBox* box) {
            text = box->text();
            dialogWasOpen = window.CardDialog->isVisible();
        });
        QString frame;
        ActOnNext<TCardInfoInputForm>([&](TCardInfoInputForm* dialog) {
            frame = dialog->findChild<QLabel*>(Utf8("ImageFront"))->text();
            dialog->findChild<QPushButton*>(Utf8("sbDeleteFrontImage"))->click();
            dialog->findChild<QPushButton*>(Utf8("ButtonOK"))->click();
        });
        window->N6Click();
        QCOMPARE(text, Utf8("拡張子 .gif の画像形式は処理できません."));
        QVERIFY(!dialogWasOpen);  // the report comes first
        QCOMPARE(frame, Utf8("この画像は表示できません\nscan.gif"));
        cards[0].FrontImageFileName.clear();
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        QVERIFY(!std::filesystem::exists(folder.CardTypeFolder("Cards") / "image" / "scan.gif"));
    }
};

QTEST_MAIN(CardCommandsTest)
#include "CardCommandsTest.moc"
