// The ways into the checklist import from the main window: a file from the menu into a new
// card type, and Ctrl+V on the list into the loaded one as one undo step.
#include <QClipboard>
#include <QtTest>

#include "CardDialogSupport.h"
#include "CardListView.h"
#include "ChecklistDialogSupport.h"
#include "MainWindowHarness.h"
#include "ProgramFolder.h"

namespace fs = std::filesystem;

namespace {

TCardInfos CardsOf(const fs::path& folder) {
    TCardInfos cards;
    ReadCardList(folder / kCardListFileName, cards);
    return cards;
}

// Confirms the import dialog as it opens; `preview` receives its preview line.
void ConfirmImport(QString* preview) {
    ActOnNext<TChecklistImportForm>([preview](TChecklistImportForm* dialog) {
        if (!WaitForPreview(*dialog)) return;
        *preview = dialog->PreviewText();
        dialog->accept();
    });
}

}  // namespace

class ChecklistCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCoreApplication::processEvents(); }

    void pasteOnTheListMergesIntoTheLoadedCardTypeAsOneUndoStep() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(3));
        TMainWindow window = OpenMainWindow(folder.Path());
        window.Choose(0);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.Form.get()));
        QTableView* report = window->ListView()->ReportView();
        report->setFocus();
        QApplication::clipboard()->setText(Utf8("No.2\t変えた\r\n100\t新しい\r\n"));

        QString preview;
        ConfirmImport(&preview);
        QTest::keyClick(report, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(preview, Utf8("新規 1 枚、変更 1 枚、変更なし 0 枚"));
        const TCardInfos cards = CardsOf(folder.CardTypeFolder("Cards"));
        QCOMPARE(cards.size(), std::size_t(4));
        QCOMPARE(cards[1].Title, Sjis("変えた"));
        QCOMPARE(window.Column(1).last(), Utf8("新しい"));

        window.Action("Undo1")->trigger();
        QCOMPARE(CardsOf(folder.CardTypeFolder("Cards")), ProgramFolder::MakeCards(3));
    }

    void aChecklistFileBecomesANewCardType() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(3));
        TMainWindow window = OpenMainWindow(folder.Path());
        window.Choose(0);
        const fs::path checklist =
            fs::path(VASTRELLE_TEST_DATA_DIR) / "checklists" / "online-sheet-utf8.csv";

        QString preview, proposed;
        ChooseFile(QString::fromStdString(checklist.string()));
        AnswerBox(Utf8("新しいカード種類(&N)"));
        ConfirmImport(&preview);
        EnterCardTypeName(Utf8("セット"), &proposed);
        window.Action("ImportChecklist1")->trigger();
        QCOMPARE(preview, Utf8("新規 10 枚、変更 0 枚、変更なし 0 枚"));
        QCOMPARE(proposed, Utf8("online-sheet-utf8"));
        QCOMPARE(window.ComboItems().last(), Utf8("セット"));
        QCOMPARE(CardsOf(folder.CardTypeFolder("セット")).size(), std::size_t(10));
        QCOMPARE(CardsOf(folder.CardTypeFolder("Cards")), ProgramFolder::MakeCards(3));
    }
};

QTEST_MAIN(ChecklistCommandsTest)
#include "ChecklistCommandsTest.moc"
