// 元に戻す and やり直し in the カード menu, and the clean-up of unused pictures, against real card
// type folders.
#include <QLabel>
#include <QListView>
#include <QStandardItemModel>
#include <QtTest>

#include "CardDialogSupport.h"
#include "MainWindowHarness.h"
#include "OrphanImagesDlg.h"
#include "ProgramFolder.h"
#include "cardlist/CardList.h"

namespace fs = std::filesystem;

namespace {

fs::path CardListOf(const ProgramFolder& folder) {
    return folder.CardTypeFolder("Cards") / kCardListFileName;
}

fs::path ImageOf(const ProgramFolder& folder, const char* name) {
    return folder.CardTypeFolder("Cards") / "image" / name;
}

// A picture to drop, with a name of its own, outside the card type.
QString DropFile(const ProgramFolder& folder, const char* fixture, const char* name) {
    return CopyFixture(fixture, QString::fromStdString((folder.Path() / "drop").string()),
                       Utf8(name));
}

}  // namespace

class HistoryCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCoreApplication::processEvents(); }

    void menuOffersUndoOnlyWhenThereIsSomethingToTakeBack() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(2));
        folder.AddCardType("Xbroken", {});
        folder.WriteFile("Xbroken/cardlist.dat", "<cardlist><carditem>");
        TMainWindow window = OpenMainWindow(folder.Path());
        QCOMPARE(window.Action("Undo1")->text(), Utf8("元に戻す"));
        QCOMPARE(window.Action("Redo1")->text(), Utf8("やり直し"));
        QCOMPARE(window.Action("Undo1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        QCOMPARE(window.Action("Redo1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y));
        QVERIFY(!window.Action("Redo1")->isEnabled());

        window->ToggleOwned(0);
        QVERIFY(window.Action("Undo1")->isEnabled());
        QVERIFY(!window.Action("Redo1")->isEnabled());
        window->UndoClick();
        QVERIFY(window.Action("Redo1")->isEnabled());

        // A card list that does not read whole is never replaced, not even by an undo.
        AnswerBox(Utf8("OK"));
        window.Choose(window.ComboItems().indexOf(Utf8("Xbroken")));
        QVERIFY(!window.Action("Undo1")->isEnabled() && !window.Action("Redo1")->isEnabled());
        window->UndoClick();
        QCOMPARE(FileBytes(folder.CardTypeFolder("Xbroken") / kCardListFileName),
                 std::string("<cardlist><carditem>"));
    }

    void registerAndDeleteAreUndoneAndRedoneWithTheirFiles() {
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(2, 1);
        folder.AddCardType("Cards", cards);
        const std::string original = FileBytes(CardListOf(folder));
        TMainWindow window = OpenMainWindow(folder.Path());

        EnterCard({Utf8("No.3"),
                   Utf8("新しい"),
                   {},
                   true,
                   DropFile(folder, "landscape.jpg", "new.jpg"),
                   {}});
        window->N5Click();
        const std::string registered = FileBytes(CardListOf(folder));
        QVERIFY(fs::exists(ImageOf(folder, "new.jpg")));

        window->UndoClick();
        QCOMPARE(FileBytes(CardListOf(folder)), original);
        QVERIFY(window->Cards() == cards);
        QCOMPARE(window->StatusLineText(), Utf8("1/2[50%]"));
        // The picture of the card taken back no longer blocks its name.
        QVERIFY(!fs::exists(ImageOf(folder, "new.jpg")));

        window->RedoClick();
        QCOMPARE(FileBytes(CardListOf(folder)), registered);
        QCOMPARE(FileBytes(ImageOf(folder, "new.jpg")),
                 FileBytes(FixturePath("landscape.jpg").toStdString()));
        QCOMPARE(window->StatusLineText(), Utf8("2/3[66%]"));

        window->ListView()->SelectRow(0);
        AnswerBox(Utf8("はい(&Y)"));
        window->N7Click();
        QCOMPARE(window->Cards().size(), std::size_t(2));
        window->UndoClick();
        QCOMPARE(FileBytes(CardListOf(folder)), registered);
        QCOMPARE(window.Column(1).first(), Utf8("カード1"));
    }

    void editUndoBringsTheReplacedPictureBackByteForByte() {
        ProgramFolder folder;
        folder.AddCardType("Cards", {});
        TMainWindow window = OpenMainWindow(folder.Path());
        EnterCard({Utf8("No.1"),
                   Utf8("元"),
                   {},
                   false,
                   DropFile(folder, "landscape.jpg", "old.jpg"),
                   {}});
        window->N5Click();
        const std::string before = FileBytes(CardListOf(folder));
        const std::string oldPicture = FileBytes(ImageOf(folder, "old.jpg"));
        const std::string oldThumbnail = FileBytes(ImageOf(folder, "old.thm"));
        QVERIFY(!oldPicture.empty() && !oldThumbnail.empty());

        window->ListView()->SelectRow(0);
        ActOnNext<TCardInfoInputForm>([&](TCardInfoInputForm* dialog) {
            dialog->findChild<QLineEdit*>(Utf8("EditTitle"))->setText(Utf8("直した"));
            dialog->DropFile(TCardSide::Front, DropFile(folder, "portrait.jpg", "newer.jpg"));
            dialog->findChild<QPushButton*>(Utf8("ButtonOK"))->click();
        });
        window->N6Click();
        QCOMPARE(window->Cards().at(0).FrontImageFileName, std::string("newer.jpg"));
        QVERIFY(!fs::exists(ImageOf(folder, "old.jpg")));

        window->UndoClick();
        QCOMPARE(FileBytes(CardListOf(folder)), before);
        QCOMPARE(FileBytes(ImageOf(folder, "old.jpg")), oldPicture);
        QCOMPARE(FileBytes(ImageOf(folder, "old.thm")), oldThumbnail);
        QVERIFY(!fs::exists(ImageOf(folder, "newer.jpg")));
        QCOMPARE(window.Column(1).first(), Utf8("元"));

        window->RedoClick();
        QCOMPARE(window->Cards().at(0).FrontImageFileName, std::string("newer.jpg"));
        QCOMPARE(FileBytes(ImageOf(folder, "newer.jpg")),
                 FileBytes(FixturePath("portrait.jpg").toStdString()));
    }

    void severalStepsAreUndoneAfterARestart() {
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(3);
        folder.AddCardType("Cards", cards);
        {
            TMainWindow window = OpenMainWindow(folder.Path());
            window->ToggleOwned(0);
            window->ToggleOwned(2);
            QCOMPARE(window->StatusLineText(), Utf8("2/3[66%]"));
        }
        TMainWindow window = OpenMainWindow(folder.Path());
        QVERIFY(window.Action("Undo1")->isEnabled());
        window->UndoClick();
        QCOMPARE(window->StatusLineText(), Utf8("1/3[33%]"));
        window->UndoClick();
        QVERIFY(window->Cards() == cards);
        QCOMPARE(window->StatusLineText(), Utf8("0/3[0%]"));
        QVERIFY(!window.Action("Undo1")->isEnabled());
        window->RedoClick();
        QVERIFY(window->Cards().at(0).Owned && !window->Cards().at(2).Owned);
    }

    void orphansAreListedRemovedAndUndone() {
        ProgramFolder folder;
        folder.AddCardType("Cards", {});
        TMainWindow window = OpenMainWindow(folder.Path());
        EnterCard({Utf8("No.1"),
                   Utf8("消す"),
                   {},
                   false,
                   DropFile(folder, "landscape.jpg", "gone.jpg"),
                   {}});
        window->N5Click();
        window->ListView()->SelectRow(0);
        AnswerBox(Utf8("はい(&Y)"));
        window->N7Click();
        const std::string picture = FileBytes(ImageOf(folder, "gone.jpg"));
        QVERIFY(!picture.empty());

        int listed = -1;
        QString emptyText;
        ActOnNext<TOrphanImagesForm>([&](TOrphanImagesForm* dialog) {
            QListView* list = dialog->List();
            QCOMPARE(list->accessibleName(), Utf8("使われていない画像"));
            listed = list->model()->rowCount();
            QStandardItem* item = dialog->Model()->item(0);
            QCOMPARE(item->text(), Utf8("gone.jpg"));
            QVERIFY(!item->icon().isNull());
            QCOMPARE(item->checkState(), Qt::Unchecked);
            item->setCheckState(Qt::Checked);
            AnswerBox(Utf8("はい(&Y)"));
            QVERIFY(dialog->RemoveChecked());
            QCOMPARE(list->model()->rowCount(), 0);
            emptyText = dialog->findChild<QLabel*>()->text();
        });
        window->ShowOrphanImages();
        QCOMPARE(listed, 1);
        QCOMPARE(emptyText, Utf8("使われていない画像はありません。"));
        for (const char* file : {"gone.jpg", "gone.thm", "gone.thm_large"})
            QVERIFY(!fs::exists(ImageOf(folder, file)));

        QVERIFY(window.Action("Undo1")->isEnabled());
        window->UndoClick();
        QCOMPARE(FileBytes(ImageOf(folder, "gone.jpg")), picture);
        QVERIFY(fs::exists(ImageOf(folder, "gone.thm")));
        QVERIFY(window->Cards().empty());
    }

    void orphanRemovalAsksAndNoKeepsTheFiles() {
        ProgramFolder folder;
        folder.AddCardType("Cards", {});
        folder.WriteFile("Cards/image/left.jpg", "x");
        TMainWindow window = OpenMainWindow(folder.Path());
        QString question;
        ActOnNext<TOrphanImagesForm>([&](TOrphanImagesForm* dialog) {
            dialog->Model()->item(0)->setCheckState(Qt::Checked);
            AnswerBox(Utf8("いいえ(&N)"), [&](QMessageBox* box) { question = box->text(); });
            QVERIFY(!dialog->RemoveChecked());
            QCOMPARE(dialog->Model()->rowCount(), 1);
        });
        window->ShowOrphanImages();
        QVERIFY(question.contains(QLatin1Char('1')));
        QCOMPARE(FileBytes(ImageOf(folder, "left.jpg")), std::string("x"));
        QVERIFY(!window.Action("Undo1")->isEnabled());
    }
};

QTEST_MAIN(HistoryCommandsTest)
#include "HistoryCommandsTest.moc"
