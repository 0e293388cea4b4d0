// Many cards at once: commands on an extended selection, and a folder of scans attached under a
// progress dialog whose Cancel writes nothing; each change one save that one undo takes back.
#include <QCheckBox>
#include <QProgressDialog>
#include <QTreeWidget>
#include <QtTest>

#include "CardDialogSupport.h"
#include "CardListPrefetch.h"
#include "MainWindowHarness.h"
#include "ProgramFolder.h"
#include "ScanImportDlg.h"
#include "TreeSnapshot.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardList.h"

namespace fs = std::filesystem;

namespace {

const fs::path kImages = fs::path(VASTRELLE_TEST_DATA_DIR) / "images";

std::string CardListBytes(const ProgramFolder& folder) {
    return FileBytes(folder.CardTypeFolder("Cards") / kCardListFileName);
}

}  // namespace

class ManyCardsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCoreApplication::processEvents(); }

    // A card list of megabytes is shown by its first cards and its counts while it is read
    // whole; a command waits for the read, and a list that then turns out not to read is
    // emptied, reported, and never saved over.
    void aLargeCardListIsShownWhileItIsRead() {
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(30000, 10000);
        for (TCardInfo& card : cards) card.Comment = std::string(40, 'c');
        folder.AddCardType("Cards", cards);
        std::string broken = CardListText(cards);
        QVERIFY(broken.size() > (std::size_t{5} << 20));
        std::size_t at = 0;  // past the first cards shown, and early, so that it fails soon
        for (int card = 0; card < 2000; ++card) at = broken.find("<comment>", at) + 9;
        broken.replace(at, 1, "&bad;");
        folder.AddCardType("Broken", {});
        folder.WriteFile("Broken/cardlist.dat", broken);
        TMainWindow window = OpenMainWindow(folder.Path());

        for (const bool command : {false, true}) {
            window.Choose(window.ComboItems().indexOf(Utf8("Cards")));
            // The first cards as rows, then the rest as they are read; the counts at once.
            QVERIFY(window.Model()->rowCount() == 1024 || window.Model()->rowCount() == 30000);
            QCOMPARE(window.Model()->index(1, 1).data().toString(), Utf8("カード2"));
            QCOMPARE(window->StatusLineText(), Utf8("10000/30000[33%]"));
            if (!command) {
                // A filter takes every card at once; the row selected is kept by the next load.
                auto* missingOnly = window->findChild<QCheckBox*>(QStringLiteral("MissingOnly"));
                missingOnly->setChecked(true);
                QCOMPARE(window.Model()->rowCount(), 20000);
                missingOnly->setChecked(false);
                window->ListView()->SelectRow(29000);
                continue;
            }
            QCOMPARE(window->ListView()->SelectedRow(), std::optional<int>(29000));
            QTRY_COMPARE(window.Model()->rowCount(), 30000);
            QCOMPARE(window.Model()->index(29999, 1).data().toString(), Utf8("カード30000"));
            window->ToggleOwned(29999);
            SetOwned(cards[29999], true, TodayText());
            QCOMPARE(CardListBytes(folder), CardListText(cards));
            QCOMPARE(window->Cards(), cards);
            QCOMPARE(window->StatusLineText(), Utf8("10001/30000[33%]"));
        }

        for (const bool command : {false, true}) {
            bool reported = false;
            AnswerBox(Utf8("OK"), [&](QMessageBox*) { reported = true; });
            window.Choose(window.ComboItems().indexOf(Utf8("Broken")));
            QCOMPARE(window.Model()->rowCount(), 1024);
            if (command)
                window->ToggleOwned(0);
            else
                QTRY_VERIFY_WITH_TIMEOUT(!window->IsCardTypeWritable(), 60000);
            QTRY_VERIFY_WITH_TIMEOUT(reported, 60000);
            QCOMPARE(window.Model()->rowCount(), 0);
            QVERIFY(!window->IsCardTypeWritable());
            QCOMPARE(FileBytes(folder.CardTypeFolder("Broken") / kCardListFileName), broken);
        }
    }

    // The read of the remembered card type begun with the window is taken for that card list
    // alone, and never once the file has changed since.
    void theReadBegunWithTheWindowIsTakenOnlyForTheFileAsItIs() {
        ProgramFolder folder;
        const TCardInfos cards = ProgramFolder::MakeCards(3, 1);
        folder.AddCardType("Cards", cards);
        folder.AddCardType("Other", {});
        folder.WriteFile("setting.ini", "[lastsetting]\r\ncardname=Cards\r\n");
        const fs::path file = folder.CardTypeFolder("Cards") / kCardListFileName;
        {
            TCardListPrefetch prefetch(folder.Path());
            QVERIFY(!prefetch.Take(folder.CardTypeFolder("Other") / kCardListFileName));
        }
        {
            TCardListPrefetch prefetch(folder.Path());
            const std::optional<TFirstRead> first = prefetch.Take(file);
            QVERIFY(first && first->Whole);
            QCOMPARE(first->Whole->Cards, cards);
        }
        TCardListPrefetch prefetch(folder.Path());
        QTest::qWait(100);  // mostly read by now; if not, it reads the new file, which is right too
        const TCardInfos changed = ProgramFolder::MakeCards(4, 4);
        WriteCardList(changed, folder.CardTypeFolder("Cards"));
        const std::optional<TFirstRead> first = prefetch.Take(file);
        QVERIFY(!first || (first->Whole && first->Whole->Cards == changed));
    }

    void commandsTakeEverySelectedCardAsOneUndoStep() {
        ProgramFolder folder;
        const TCardInfos original = ProgramFolder::MakeCards(5, 1);
        TCardInfos cards = original;
        folder.AddCardType("Cards", cards);
        TMainWindow window = OpenMainWindow(folder.Path());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.Form.get()));
        QTableView* report = window->ListView()->ReportView();
        report->setFocus();

        // Shift with arrows extends; Ctrl with a click adds one row.
        window->ListView()->SelectRow(1);
        QTest::keyClick(report, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(report, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(window->ListView()->SelectedCardIndexes(), (std::vector<std::size_t>{1, 2, 3}));
        const QRect first = report->visualRect(window.Model()->index(0, 1));
        QTest::mouseClick(report->viewport(), Qt::LeftButton, Qt::ControlModifier, first.center());
        QCOMPARE(window->ListView()->SelectedCardIndexes(), (std::vector<std::size_t>{0, 1, 2, 3}));

        const std::string before = CardListBytes(folder);
        window.Action("OwnedOn1")->trigger();
        for (std::size_t i : {0, 1, 2, 3}) SetOwned(cards[i], true, TodayText());
        QCOMPARE(CardListBytes(folder), CardListText(cards));
        QCOMPARE(window->ListView()->SelectedCardIndexes(), (std::vector<std::size_t>{0, 1, 2, 3}));
        window.Action("Undo1")->trigger();
        QCOMPARE(CardListBytes(folder), before);

        // Space over a mixed selection marks every card owned; Ctrl+A takes all shown.
        QTest::keyClick(report, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(window->ListView()->SelectedCardIndexes().size(), std::size_t{5});
        QTest::keyClick(report, Qt::Key_Space);
        QCOMPARE(window->StatusLineText(), Utf8("5/5[100%]"));
        QTest::keyClick(report, Qt::Key_Space);
        QCOMPARE(window->StatusLineText(), Utf8("0/5[0%]"));
        window.Action("Undo1")->trigger();
        window.Action("Undo1")->trigger();
        QCOMPARE(CardListBytes(folder), before);

        // Delete asks once for all of them.
        window->ListView()->SelectCards({1, 3}, 3);
        QString asked;
        AnswerNextModal(Utf8("はい(&Y)"),
                        [&](QWidget* box) { asked = static_cast<QMessageBox*>(box)->text(); });
        window->N7Click();
        QCOMPARE(asked, Utf8("選択した 2 枚のカードを削除してもよろしいですか？"));
        QCOMPARE(CardListBytes(folder), CardListText({original[0], original[2], original[4]}));
        window.Action("Undo1")->trigger();
        QCOMPARE(CardListBytes(folder), before);
    }

    void scanPreviewCancelWritesNothingAndOkAttaches() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(2));
        TCardInfos cards = {{"", "", "001", "a", false, ""}, {"", "", "002", "b", false, ""}};
        WriteCardList(cards, folder.CardTypeFolder("Cards"));
        const fs::path scans = folder.Path() / "scans";
        fs::create_directories(scans);
        fs::copy_file(kImages / "photo.jpg", scans / "1.jpg");
        fs::copy_file(kImages / "gray.jpg", scans / "2_b.jpg");
        // Enough new cards that the work is still running when Cancel is pressed.
        for (int i = 100; i < 160; ++i)
            fs::copy_file(kImages / "photo.jpg", scans / (std::to_string(i) + ".jpg"));
        fs::copy_file(kImages / "photo.jpg", scans / "1.JPG");

        TScanImportForm form(folder.CardTypeFolder("Cards"), scans);
        form.show();
        QCOMPARE(form.CardList()->topLevelItemCount(), 62);
        QCOMPARE(form.CardList()->topLevelItem(0)->text(2), Utf8("1.jpg"));
        QCOMPARE(form.CardList()->topLevelItem(1)->text(3), Utf8("2_b.jpg"));
        QCOMPARE(form.CardList()->topLevelItem(2)->text(4), Utf8("カードを作らない"));
        QCOMPARE(form.RefusedList()->topLevelItemCount(), 1);
        form.CreateBox()->setChecked(true);
        QCOMPARE(form.CardList()->topLevelItem(2)->text(4), Utf8("新しいカード"));

        const TreeSnapshot before = SnapshotTree(folder.CardTypeFolder("Cards"));
        form.Start();
        QVERIFY(form.Progress() != nullptr);
        QCOMPARE(form.Progress()->accessibleName(), Utf8("取込の進み具合"));
        ClickButton(form.Progress(), Utf8("キャンセル"));
        QTRY_VERIFY(form.Progress() == nullptr);
        QVERIFY(form.isVisible());
        QCOMPARE(TreeDifferences(before, SnapshotTree(folder.CardTypeFolder("Cards"))),
                 std::string());

        form.Start();
        QTRY_VERIFY_WITH_TIMEOUT(form.result() == QDialog::Accepted, 20000);
        QVERIFY(form.Result() && form.Result()->Written);
        TCardInfos written;
        ReadCardList(folder.CardTypeFolder("Cards") / kCardListFileName, written);
        QCOMPARE(written.size(), std::size_t{62});
        QCOMPARE(written[1].BackImageFileName, std::string("2_b.jpg"));
        QCOMPARE(written[2].Number, std::string("100"));
    }
};

QTEST_MAIN(ManyCardsTest)
#include "ManyCardsTest.moc"
