// Copies and wants in the main window: the filters, + and -, the 枚数 column, the two lists
// and the overview's copies, against real card list files.
#include <QAction>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QtTest>

#include "CardDialogSupport.h"
#include "MainWindowHarness.h"
#include "ProgramFolder.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardExport.h"
#include "save/CardHistory.h"

namespace {

// No.1: 3 copies; No.2: 1 copy, wanted; No.3: missing, wanted; No.4: missing; No.5: 2 copies.
TCardInfos SampleCards() {
    TCardInfos cards = ProgramFolder::MakeCards(5);
    SetCopies(cards[0], 3, "2026-01-02");
    SetCopies(cards[1], 1, "2026-01-03");
    SetWant(cards[1], true);
    SetWant(cards[2], true);
    SetCopies(cards[4], 2, "2026-01-04");
    return cards;
}

QCheckBox* Check(const TMainWindow& window, const char* name) {
    return window->findChild<QCheckBox*>(Utf8(name));
}

std::filesystem::path CardList(const ProgramFolder& folder) {
    return folder.CardTypeFolder("Cards") / kCardListFileName;
}

}  // namespace

class CopiesTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCoreApplication::processEvents(); }

    void filtersAndTheCountColumnAreKeptInTheListSection() {
        ProgramFolder folder;
        folder.AddCardType("Cards", SampleCards());
        {
            TMainWindow window = OpenMainWindow(folder.Path());
            struct {
                const char* check;
                const char* caption;
                QStringList shown;
            } filters[] = {
                {"SparesOnly", "ダブりのみ", {Utf8("No.1"), Utf8("No.5")}},
                {"WantedOnly", "欲しいのみ", {Utf8("No.2"), Utf8("No.3")}},
            };
            for (const auto& filter : filters) {
                QCheckBox* check = Check(window, filter.check);
                QCOMPARE(check->text(), Utf8(filter.caption));
                QCOMPARE(check->accessibleName(), Utf8(filter.caption));
                check->setChecked(true);
                QCOMPARE(window.Column(0), filter.shown);
                check->setChecked(false);
            }
            // Together they narrow: wanted and missing.
            Check(window, "WantedOnly")->setChecked(true);
            Check(window, "MissingOnly")->setChecked(true);
            QCOMPARE(window.Column(0), QStringList{Utf8("No.3")});
            QCOMPARE(window->ShownCountText(), Utf8("表示 1 件"));
            QCOMPARE(window->StatusLineText(), Utf8("3/5[60%]"));  // owned cards, not copies
            Check(window, "MissingOnly")->setChecked(false);

            // 枚数 is hidden until chosen from the header's menu, and then follows 所持.
            QCOMPARE(window.Model()->columnCount(), 4);
            QAction* count = window->ListView()->CountColumnAction();
            QCOMPARE(count->text(), Utf8("枚数"));
            count->setChecked(true);
            QCOMPARE(window.Model()->columnCount(), 5);
            QCOMPARE(window.Model()->headerData(4, Qt::Horizontal).toString(), Utf8("枚数"));
            QCOMPARE(window.Column(4), (QStringList{Utf8("1"), Utf8("")}));
        }
        std::string ini = FileBytes(folder.Path() / "setting.ini");
        QVERIFY2(
            ini.find("missingonly=0\r\nwantedonly=1\r\ncountcolumn=1\r\n") != std::string::npos,
            ini.c_str());
        TMainWindow window = OpenMainWindow(folder.Path());
        QVERIFY(Check(window, "WantedOnly")->isChecked());
        QCOMPARE(window.Model()->columnCount(), 5);
        Check(window, "WantedOnly")->setChecked(false);
        window->ListView()->SortBy(4, true);
        QCOMPARE(window.Column(4),
                 (QStringList{Utf8("3"), Utf8("2"), Utf8("1"), Utf8(""), Utf8("")}));
    }

    void plusAndMinusChangeTheCopiesInOneSaveEach() {
        ProgramFolder folder;
        TCardInfos cards = SampleCards();
        folder.AddCardType("Cards", cards);
        TMainWindow window = OpenMainWindow(folder.Path());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.Form.get()));
        QTableView* report = window->ListView()->ReportView();
        report->setFocus();
        const std::filesystem::path type = folder.CardTypeFolder("Cards");

        window->ListView()->SelectRow(3);
        QTest::keyClick(report, Qt::Key_Plus, Qt::ShiftModifier);
        SetCopies(cards[3], 1, TodayText());  // owned now, dated today
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        const std::size_t versions = ListHistory(type).size();
        QTest::keyClick(report, Qt::Key_Plus);
        SetCopies(cards[3], 2, TodayText());
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        QCOMPARE(ListHistory(type).size(), versions + 1);
        QCOMPARE(window->ListView()->SelectedCardIndex(), std::optional<std::size_t>(3));

        for (int i = 0; i < 2; ++i) QTest::keyClick(report, Qt::Key_Minus);
        SetCopies(cards[3], 0, TodayText());
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        QCOMPARE(window->StatusLineText(), Utf8("3/5[60%]"));
        // At no copies, - changes nothing and saves nothing.
        const std::size_t before = ListHistory(type).size();
        QTest::keyClick(report, Qt::Key_Minus);
        QCOMPARE(ListHistory(type).size(), before);

        // One undo step takes back one key press.
        window->UndoClick();
        SetCopies(cards[3], 1, TodayText());
        QCOMPARE(window->Cards().at(3), cards[3]);
    }

    void sparesAndWantsAreWrittenAsTextOrCsv() {
        ProgramFolder folder;
        const TCardInfos cards = SampleCards();
        folder.AddCardType("Cards", cards);
        TMainWindow window = OpenMainWindow(folder.Path());
        QCOMPARE(window.Action("ToolsExportSpares")->text(), Utf8("ダブりリストを書き出す..."));
        QCOMPARE(window.Action("ToolsExportWants")->text(),
                 Utf8("欲しいカードリストを書き出す..."));
        struct {
            const char* file;
            void (TVastrelleMainForm::*command)();
            std::string expected;
        } lists[] = {
            {"spares.txt", &TVastrelleMainForm::ExportSpares, SparesText(cards, TListFormat::Text)},
            {"spares.csv", &TVastrelleMainForm::ExportSpares, SparesText(cards, TListFormat::Csv)},
            {"wants.txt", &TVastrelleMainForm::ExportWants, WantsText(cards, TListFormat::Text)},
            {"wants.csv", &TVastrelleMainForm::ExportWants, WantsText(cards, TListFormat::Csv)},
        };
        for (const auto& list : lists) {
            const std::filesystem::path file = folder.Path() / list.file;
            ChooseFile(QString::fromStdString(file.string()));
            (window.Form.get()->*list.command)();
            QCOMPARE(FileBytes(file), list.expected);
        }
        QVERIFY(FileBytes(folder.Path() / "wants.txt").starts_with("No.3\t"));

        window->ShowOverview();
        auto* overview = window->findChild<QTableView*>(Utf8("CardTypeList"));
        QCOMPARE(overview->model()->headerData(5, Qt::Horizontal).toString(), Utf8("枚数"));
        QCOMPARE(overview->model()->index(0, 5).data().toString(), Utf8("6"));
        QCOMPARE(overview->model()->index(0, 1).data().toString(), Utf8("3"));
    }
};

QTEST_MAIN(CopiesTest)
#include "CopiesTest.moc"
