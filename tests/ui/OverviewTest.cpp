// The ツール menu: the overview of every card type and the two exports of the loaded one.
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include "CardDialogSupport.h"
#include "CardTypeOverview.h"
#include "MainWindowHarness.h"
#include "ProgramFolder.h"
#include "ProgressChart.h"
#include "cardlist/CardExport.h"
#include "cardlist/CardList.h"

namespace {

QStringList Row(QAbstractItemModel* model, int row) {
    QStringList texts;
    for (int column = 0; column < 4; ++column) texts << model->index(row, column).data().toString();
    return texts;
}

}  // namespace

class OverviewTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCoreApplication::processEvents(); }

    void overviewCountsEveryCardTypeAndChoosesOne() {
        ProgramFolder folder;
        folder.AddCardType("Alpha", ProgramFolder::MakeCards(10, 3));
        folder.AddCardType("Broken", {});
        folder.WriteFile("Broken/cardlist.dat", "<cardlist><carditem>");
        folder.AddCardType("Empty", {});
        folder.AddCardType("ポケモン", ProgramFolder::MakeCards(100, 53));
        TMainWindow window = OpenMainWindow(folder.Path());
        QCOMPARE(window.Action("ToolsOverview")->text(), Utf8("カード種類一覧..."));

        window.Action("ToolsOverview")->trigger();
        auto* overview = window->findChild<TCardTypeOverviewForm*>();
        QVERIFY(overview && overview->isVisible());
        QCOMPARE(overview->windowTitle(), Utf8("カード種類一覧"));
        QTableView* list = overview->List();
        QCOMPARE(list->accessibleName(), Utf8("カード種類一覧"));
        QAbstractItemModel* model = list->model();
        QCOMPARE(model->rowCount(), 4);
        QCOMPARE(Row(model, 0), (QStringList{Utf8("Alpha"), Utf8("3"), Utf8("10"), Utf8("30%")}));
        QCOMPARE(model->index(0, 0).data().toString(), Utf8("Alpha"));
        QCOMPARE(Row(model, 2), (QStringList{Utf8("Empty"), Utf8("0"), Utf8("0"), Utf8("0%")}));
        QCOMPARE(Row(model, 3),
                 (QStringList{Utf8("ポケモン"), Utf8("53"), Utf8("100"), Utf8("53%")}));
        // The unreadable card list shows the reader's message instead of numbers.
        QCOMPARE(Row(model, 1).mid(0, 4),
                 (QStringList{Utf8("Broken"), QString(), QString(), QString()}));
        QVERIFY(!model->index(1, 4).data().toString().isEmpty());

        // Sorting by total puts the largest last, the unreadable one first; by name, listing order.
        list->sortByColumn(2, Qt::AscendingOrder);
        QCOMPARE(model->index(0, 0).data().toString(), Utf8("Broken"));
        QCOMPARE(model->index(3, 0).data().toString(), Utf8("ポケモン"));
        list->sortByColumn(3, Qt::DescendingOrder);
        QCOMPARE(model->index(0, 0).data().toString(), Utf8("ポケモン"));
        list->sortByColumn(0, Qt::AscendingOrder);
        QCOMPARE(model->index(1, 0).data().toString(), Utf8("Broken"));

        // Enter on a row loads that card type in the main window and closes the overview.
        overview->activateWindow();
        list->setFocus();
        list->selectRow(3);
        list->setCurrentIndex(model->index(3, 0));
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(!overview->isVisible());
        QCOMPARE(window.Combo()->currentText(), Utf8("ポケモン"));
        QCOMPARE(window->StatusLineText(), Utf8("53/100[53%]"));

        // Opened again, it counts again from the files.
        WriteCardList(ProgramFolder::MakeCards(10, 10), folder.CardTypeFolder("Alpha"));
        window.Action("ToolsOverview")->trigger();
        QCOMPARE(Row(model, 0), (QStringList{Utf8("Alpha"), Utf8("10"), Utf8("10"), Utf8("100%")}));
        // A double-click chooses too (activated).
        emit list->activated(model->index(0, 0));
        QCOMPARE(window.Combo()->currentText(), Utf8("Alpha"));
        QCOMPARE(window->StatusLineText(), Utf8("10/10[100%]"));
    }

    void exportsWriteTheCommandLineFormats() {
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(4, 2);
        cards[3].Comment = Sjis("カンマ, と \"引用\"");
        folder.AddCardType("Cards", cards);
        TMainWindow window = OpenMainWindow(folder.Path());
        QCOMPARE(window.Action("ToolsExportMissing")->text(), Utf8("未所持カードを書き出す..."));
        QCOMPARE(window.Action("ToolsExportCsv")->text(), Utf8("CSV に書き出す..."));

        std::filesystem::path missing = folder.Path() / "missing.txt";
        ChooseFile(QString::fromStdString(missing.string()));
        window->ExportMissingCards();
        QCOMPARE(FileBytes(missing), MissingCardsText(cards));
        QVERIFY(FileBytes(missing).find("No.3\t") == 0);

        // The whole card list, whatever the filter shows.
        window->findChild<QCheckBox*>(Utf8("MissingOnly"))->setChecked(true);
        std::filesystem::path csv = folder.Path() / "all.csv";
        ChooseFile(QString::fromStdString(csv.string()));
        window->ExportCardsCsv();
        QCOMPARE(FileBytes(csv), CardsCsvText(cards));

        // A folder that is not there: the failure report names the file, nothing is written.
        std::filesystem::path nowhere = folder.Path() / "nowhere" / "x.csv";
        QString report;
        AnswerBox(Utf8("OK"), [&](QMessageBox* box) { report = box->text(); });
        ChooseFile(QString::fromStdString(nowhere.string()));
        window->ExportCardsCsv();
        QTRY_VERIFY(!report.isEmpty());
        QVERIFY2(report.contains(Utf8("に書き込めません")), qPrintable(report));
        QVERIFY(!std::filesystem::exists(nowhere));

        // Nothing loaded: nothing to export.
        ProgramFolder empty;
        TMainWindow none = OpenMainWindow(empty.Path());
        QVERIFY(!none.Action("ToolsExportCsv")->isEnabled());
        QVERIFY(!none.Action("ToolsExportMissing")->isEnabled());
    }

    // The selected card type's progress: the last 20 acquired cards newest first, and the chart
    // counting an owned card without a date from the start.
    void overviewShowsTheProgressOfTheSelectedCardType() {
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(30, 25);
        for (std::size_t i = 1; i < 25; ++i)
            cards[i].Acquired = (i < 10 ? "2026-11-0" : "2026-11-") + std::to_string(i);
        folder.AddCardType("Alpha", cards);
        folder.AddCardType("Beta", ProgramFolder::MakeCards(5));
        TMainWindow window = OpenMainWindow(folder.Path());
        window.Action("ToolsOverview")->trigger();
        auto* overview = window->findChild<TCardTypeOverviewForm*>();
        QAbstractItemModel* recent = overview->RecentList()->model();
        QCOMPARE(recent->rowCount(), 20);
        QCOMPARE(recent->index(0, 0).data().toString(), Utf8("2026/11/24"));
        QCOMPARE(recent->index(0, 1).data().toString(), Utf8("No.25"));
        QCOMPARE(recent->index(19, 1).data().toString(), Utf8("No.6"));
        QVERIFY(overview->Chart()->toolTip().contains(Utf8("25/30[83%]")));
        QVERIFY(overview->Chart()->toolTip().contains(Utf8("1 枚")));
        overview->List()->selectRow(1);
        QCOMPARE(recent->rowCount(), 0);
    }
};

QTEST_MAIN(OverviewTest)
#include "OverviewTest.moc"
