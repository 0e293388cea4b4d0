// Finding cards in the main window: the filter bar, sorting by a header click, owned toggling
// and the keyboard, against real card list files.
#include <sys/resource.h>

#include <csignal>

#include <QHeaderView>
#include <QListView>
#include <QMenuBar>
#include <QtTest>

#include "CardDialogSupport.h"
#include "CardFilterModel.h"
#include "CardListModel.h"
#include "MainWindowHarness.h"
#include "ProgramFolder.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardList.h"

namespace {

TCardInfo Card(const char* number, const char* title, bool owned, const char* comment = "") {
    TCardInfo card;
    card.Number = Sjis(number);
    card.Title = Sjis(title);
    card.Comment = Sjis(comment);
    card.Owned = owned;
    return card;
}

// Numbers in file order: 1, 10, 2, SV-10, SV-2, 2 (a second card numbered 2).
TCardInfos SampleCards() {
    return {Card("1", "ピカチュウ", true),     Card("10", "ＰＯＫＥ Ｂａｌｌ", false),
            Card("2", "ｶﾞﾙｰﾗ", false, "レア"), Card("SV-10", "Charizard", true, "ｈｏｌｏ"),
            Card("SV-2", "ガルーラ", true),    Card("2", "Poke Ball", false)};
}

std::filesystem::path CardList(const ProgramFolder& folder, const char* name = "Cards") {
    return folder.CardTypeFolder(name) / kCardListFileName;
}

QLineEdit* SearchEdit(const TMainWindow& window) {
    return window->findChild<QLineEdit*>(Utf8("SearchEdit"));
}
QCheckBox* MissingOnly(const TMainWindow& window) {
    return window->findChild<QCheckBox*>(Utf8("MissingOnly"));
}
QHeaderView* Header(const TMainWindow& window) {
    return window->ListView()->ReportView()->horizontalHeader();
}

void ClickHeader(const TMainWindow& window, int section) {
    QHeaderView* header = Header(window);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
}

void Show(const TMainWindow& window) {
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.Form.get()));
}

}  // namespace

class FindTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCoreApplication::processEvents(); }

    void filterIgnoresCaseAndWidthAndCountsShownRows() {
        ProgramFolder folder;
        folder.AddCardType("Cards", SampleCards());
        TMainWindow window = OpenMainWindow(folder.Path());
        QCOMPARE(SearchEdit(window)->accessibleName(), Utf8("検索"));
        QCOMPARE(MissingOnly(window)->accessibleName(), Utf8("未所持のみ"));
        QCOMPARE(MissingOnly(window)->text(), Utf8("未所持のみ"));
        QCOMPARE(window->ShownCountText(), QString());

        struct {
            const char* typed;
            QStringList numbers;
        } cases[] = {
            {"poke", {Utf8("10"), Utf8("2")}},  // full-width letters, any case
            {"ＰＯＫＥ", {Utf8("10"), Utf8("2")}},
            {"ガルーラ", {Utf8("2"), Utf8("SV-2")}},  // half-width katakana too
            {"ｶﾞﾙ", {Utf8("2"), Utf8("SV-2")}},
            {"HOLO", {Utf8("SV-10")}},              // the comment counts
            {"１０", {Utf8("10"), Utf8("SV-10")}},  // full-width digits, the number
            {"レア", {Utf8("2")}},
            {"nothing like it", {}},
        };
        for (const auto& c : cases) {
            SearchEdit(window)->setText(Utf8(c.typed));
            QCOMPARE(window.Column(0), c.numbers);
            QCOMPARE(window->ShownCountText(),
                     Utf8("表示 ") + QString::number(c.numbers.size()) + Utf8(" 件"));
            QCOMPARE(window->StatusLineText(), Utf8("3/6[50%]"));
        }
        // Escape in the field clears it and shows every card again.
        Show(window);
        SearchEdit(window)->setFocus();
        QTest::keyClick(SearchEdit(window), Qt::Key_Escape);
        QCOMPARE(SearchEdit(window)->text(), QString());
        QCOMPARE(window.Model()->rowCount(), 6);
        QCOMPARE(window->ShownCountText(), QString());
    }

    void filterAppliesToEveryViewAndSurvivesRefreshes_data() {
        QTest::addColumn<QString>("view");
        for (const char* view : {"N10", "N11", "N12", "N13", "N14"})
            QTest::newRow(view) << Utf8(view);
    }
    void filterAppliesToEveryViewAndSurvivesRefreshes() {
        QFETCH(QString, view);
        ProgramFolder folder;
        folder.AddCardType("Cards", SampleCards());
        folder.AddCardType("More", {Card("A", "ガルーラ", false), Card("B", "ガルーラ", true),
                                    Card("C", "x", false)});
        TMainWindow window = OpenMainWindow(folder.Path());
        window.Choose(window.ComboItems().indexOf(Utf8("Cards")));
        if (view != Utf8("N10")) window.Action(view.toLatin1().constData())->trigger();
        QAbstractItemModel* shown = window->ListView()->CurrentView()->model();

        MissingOnly(window)->setChecked(true);
        QCOMPARE(window.Column(0), (QStringList{Utf8("10"), Utf8("2"), Utf8("2")}));
        QCOMPARE(shown->rowCount(), 3);
        SearchEdit(window)->setText(Utf8("ｶﾞﾙｰﾗ"));
        QCOMPARE(window.Column(0), (QStringList{Utf8("2")}));
        QCOMPARE(shown->rowCount(), 1);
        QCOMPARE(window->ShownCountText(), Utf8("表示 1 件"));

        // A refresh reads the file again; a card changed on disk shows under the same filter.
        TCardInfos cards = SampleCards();
        cards[4].Owned = false;
        WriteCardList(cards, folder.CardTypeFolder("Cards"));
        window->N10Click();  // the view item chosen again: no view checked, reloaded
        QCOMPARE(window.Column(0), (QStringList{Utf8("2"), Utf8("SV-2")}));
        window.Choose(window.ComboItems().indexOf(Utf8("More")));
        QCOMPARE(window.Column(0), (QStringList{Utf8("A")}));
        QCOMPARE(window->StatusLineText(), Utf8("1/3[33%]"));
        QCOMPARE(SearchEdit(window)->text(), Utf8("ｶﾞﾙｰﾗ"));
        QVERIFY(MissingOnly(window)->isChecked());
        // Every row still names its card in the card array.
        QCOMPARE(window.Model()->index(0, 0).data(Qt::UserRole).toInt(), 0);
    }

    void headerClickSortsNaturallyReversesAndEditsTheRightCard() {
        ProgramFolder folder;
        folder.AddCardType("Cards", SampleCards());
        TMainWindow window = OpenMainWindow(folder.Path());
        Show(window);
        ClickHeader(window, 0);
        // Ties (the two cards numbered 2) keep file order.
        QCOMPARE(window.Column(0), (QStringList{Utf8("1"), Utf8("2"), Utf8("2"), Utf8("10"),
                                                Utf8("SV-2"), Utf8("SV-10")}));
        QCOMPARE(window.Column(1).at(1), Utf8("ｶﾞﾙｰﾗ"));
        ClickHeader(window, 0);
        QCOMPARE(window.Column(0), (QStringList{Utf8("SV-10"), Utf8("SV-2"), Utf8("10"), Utf8("2"),
                                                Utf8("2"), Utf8("1")}));
        QCOMPARE(window.Column(1).at(3), Utf8("ｶﾞﾙｰﾗ"));
        // The icon views show the same order.
        window.Action("N13")->trigger();
        QListView* icons = window->ListView()->IconView();
        QCOMPARE(icons->model()->index(0, 0).data().toString(), Utf8("SV-10"));
        QVERIFY(icons->visualRect(icons->model()->index(0, 0)).left() <
                icons->visualRect(icons->model()->index(1, 0)).left());
        window.Action("N10")->trigger();
        QCOMPARE(window.Column(0).first(), Utf8("SV-10"));

        // Editing the row shown second changes card 4 (SV-2) of the file, not the second card.
        window->ListView()->SelectRow(1);
        EnterCard({Utf8("SV-2"), Utf8("edited"), QString(), true, {}, {}});
        window->N6Click();
        TCardInfos cards = SampleCards();
        cards[4].Title = "edited";
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        QCOMPARE(window->ListView()->SelectedCardIndex(), std::optional<std::size_t>(4));
        QCOMPARE(window.Column(0).first(), Utf8("SV-10"));  // the order survives the refresh

        // A third click goes back to file order.
        ClickHeader(window, 0);
        QCOMPARE(window.Column(0).first(), Utf8("1"));
        QCOMPARE(window.Column(0).at(1), Utf8("10"));
    }

    void spaceAndOwnedCellToggleAndSaveKeepingTheCardSelected() {
        ProgramFolder folder;
        TCardInfos cards = SampleCards();
        folder.AddCardType("Cards", cards);
        TMainWindow window = OpenMainWindow(folder.Path());
        Show(window);
        QTableView* report = window->ListView()->ReportView();

        window->ListView()->SelectRow(1);
        report->setFocus();
        QTest::keyClick(report, Qt::Key_Space);
        SetOwned(cards[1], true, TodayText());
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        QCOMPARE(window->StatusLineText(), Utf8("4/6[66%]"));
        QCOMPARE(window->ListView()->SelectedRow(), std::optional<int>(1));
        QCOMPARE(window.Column(3).at(1), Utf8("●"));

        // Sorted by 所持, the toggled card moves and stays selected.
        ClickHeader(window, 3);
        window->ListView()->SelectCard(2);
        QRect cell =
            report->visualRect(window.Model()->index(window->ListView()->SelectedRow().value(), 3));
        QTest::mouseClick(report->viewport(), Qt::LeftButton, {}, cell.center());
        SetOwned(cards[2], true, TodayText());
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        QCOMPARE(window->StatusLineText(), Utf8("5/6[83%]"));
        QCOMPARE(window->ListView()->SelectedCardIndex(), std::optional<std::size_t>(2));
        QCOMPARE(window.Column(3).last(), Utf8("●"));

        // With 未所持のみ on, the marked card leaves the list and the next one takes its row.
        ClickHeader(window, 3);
        ClickHeader(window, 3);  // back to file order
        MissingOnly(window)->setChecked(true);
        QCOMPARE(window.Column(0), (QStringList{Utf8("2")}));
        window->ListView()->SelectRow(0);
        QTest::keyClick(report, Qt::Key_Space);
        SetOwned(cards[5], true, TodayText());
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        QCOMPARE(window.Model()->rowCount(), 0);
        QCOMPARE(window->StatusLineText(), Utf8("6/6[100%]"));

        // Space in an icon view toggles too.
        MissingOnly(window)->setChecked(false);
        window.Action("N11")->trigger();
        window->ListView()->SelectRow(0);
        QTest::keyClick(window->ListView()->IconView(), Qt::Key_Space);
        cards[0].Owned = false;
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        QCOMPARE(window->ListView()->SelectedRow(), std::optional<int>(0));
    }

    void toggleThatCannotBeSavedShowsTheFileAsItIs() {
        ProgramFolder folder;
        folder.AddCardType("Cards", SampleCards());
        TMainWindow window = OpenMainWindow(folder.Path());
        std::string before = FileBytes(CardList(folder));
        QString shown;
        AnswerBox(Utf8("中止(&A)"), [&](QMessageBox* box) { shown = box->text(); });
        {
            // A full disk, even for root: every write beyond 16 bytes fails.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit old{};
            ::getrlimit(RLIMIT_FSIZE, &old);
            rlimit limit = old;
            limit.rlim_cur = 16;
            ::setrlimit(RLIMIT_FSIZE, &limit);
            window->ToggleOwned(1);
            ::setrlimit(RLIMIT_FSIZE, &old);
        }
        QCOMPARE(shown, Utf8("カード種類フォルダ[cardlist.dat]の保存に失敗しました。"));
        QCOMPARE(FileBytes(CardList(folder)), before);
        QCOMPARE(window.Column(3).at(1), QString());
        QCOMPARE(window->StatusLineText(), Utf8("3/6[50%]"));
    }

    void registeredCardIsSelectedWhereverItIsSorted() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(300));
        TMainWindow window = OpenMainWindow(folder.Path());
        Show(window);
        ClickHeader(window, 0);
        ClickHeader(window, 0);  // descending: No.300 first
        window->ListView()->SelectRow(0);
        EnterCard({Utf8("No.150b"), Utf8("new"), QString(), false, {}, {}});
        window->N5Click();
        QCOMPARE(window->Cards().size(), std::size_t(301));
        QCOMPARE(window->ListView()->SelectedCardIndex(), std::optional<std::size_t>(300));
        QTableView* report = window->ListView()->ReportView();
        QModelIndex selected = window.Model()->index(*window->ListView()->SelectedRow(), 0);
        QCOMPARE(selected.data().toString(), Utf8("No.150b"));
        QVERIFY(report->viewport()->rect().contains(report->visualRect(selected)));
    }

    void keysEditDeleteRegisterSearchAndOpenTheMenuBar() {
        ProgramFolder folder;
        folder.AddCardType("Cards", SampleCards());
        TMainWindow window = OpenMainWindow(folder.Path());
        Show(window);
        // Shown beside the items; the captions stay as they are.
        QCOMPARE(window.Action("N5")->shortcut(), QKeySequence(Utf8("Ctrl+N")));
        QCOMPARE(window.Action("N6")->shortcut(), QKeySequence(Qt::Key_Return));
        QCOMPARE(window.Action("N7")->shortcut(), QKeySequence(Qt::Key_Delete));
        QCOMPARE(window.Action("ToolsSearch")->shortcut(), QKeySequence(Utf8("Ctrl+F")));
        QCOMPARE(window.Action("N6")->text(), Utf8("編集..."));

        QTableView* report = window->ListView()->ReportView();
        window->ListView()->SelectRow(2);
        report->setFocus();
        QString caption;
        ActOnNext<TCardInfoInputForm>(
            [&](TCardInfoInputForm* dialog) { caption = dialog->windowTitle(); });
        QTest::keyClick(report, Qt::Key_Return);
        QCOMPARE(caption, Utf8("カード情報の編集画面"));
        caption.clear();
        ActOnNext<TCardInfoInputForm>(
            [&](TCardInfoInputForm* dialog) { caption = dialog->windowTitle(); });
        QTest::keyClick(report, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(caption, Utf8("カード情報の編集画面"));

        QString question;
        AnswerBox(Utf8("はい(&Y)"), [&](QMessageBox* box) { question = box->text(); });
        QTest::keyClick(report, Qt::Key_Delete);
        QCOMPARE(question, Utf8("「ｶﾞﾙｰﾗ」を削除してもよろしいですか？"));
        TCardInfos cards = SampleCards();
        cards.erase(cards.begin() + 2);
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));
        Show(window);  // the message box took the activation

        caption.clear();
        ActOnNext<TCardInfoInputForm>(
            [&](TCardInfoInputForm* dialog) { caption = dialog->windowTitle(); });
        QTest::keyClick(report, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(caption, Utf8("カード情報の新規作成画面"));
        Show(window);

        // Ctrl+F goes to the search field, where Delete and Enter edit the text, not the cards.
        QTest::keyClick(report, Qt::Key_F, Qt::ControlModifier);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(SearchEdit(window)));
        QTest::keyClicks(SearchEdit(window), Utf8("ab"));
        QTest::keyClick(SearchEdit(window), Qt::Key_Home);
        {
            TUnexpectedBoxes boxes;
            QTest::keyClick(SearchEdit(window), Qt::Key_Delete);
            QTest::keyClick(SearchEdit(window), Qt::Key_Return);
            QTest::qWait(50);
            QCOMPARE(boxes.Count(), 0);
        }
        QCOMPARE(SearchEdit(window)->text(), Utf8("b"));
        QCOMPARE(FileBytes(CardList(folder)), CardListText(cards));

        QTest::keyClick(window.Form.get(), Qt::Key_F10);
        QTRY_VERIFY(window->menuBar()->activeAction() != nullptr);
        QCOMPARE(window->menuBar()->activeAction()->text(), Utf8("メニュー"));
        window->menuBar()->setActiveAction(nullptr);
    }

    void iconViewsFadeMissingCardsAndEveryRowHasATooltip() {
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(2, 1);  // the first owned
        folder.AddCardType("Cards", cards);
        for (int i = 0; i < 2; ++i)
            folder.AddThumbnail("Cards", "f" + std::to_string(i) + ".thm_large", Qt::red, 100, 100);
        TMainWindow window = OpenMainWindow(folder.Path());
        window.Action("N13")->trigger();
        QAbstractItemModel* model = window->ListView()->IconView()->model();
        auto iconPixel = [&](int row) {
            QVariant icon = model->index(row, 0).data(TCardListModel::kIconDecorationRole);
            return icon.value<QPixmap>().toImage().pixelColor(50, 50);
        };
        QCOMPARE(iconPixel(0), QColor(Qt::red));
        QColor faded = iconPixel(1);
        QVERIFY2(qAbs(faded.red() - faded.green()) < 8 && faded.lightness() > 128,
                 qPrintable(faded.name()));
        // The report view keeps the thumbnail as it is.
        QCOMPARE(model->index(1, 0)
                     .data(Qt::DecorationRole)
                     .value<QPixmap>()
                     .toImage()
                     .pixelColor(50, 50),
                 QColor(Qt::red));
        QCOMPARE(model->index(1, 0).data(Qt::ToolTipRole).toString(),
                 Utf8("No.: No.2\nタイトル: カード2\n所持: なし"));
        // Painting the marked and faded cells goes through the delegate without trouble.
        window->show();
        QVERIFY(!window->ListView()->IconView()->viewport()->grab().isNull());
    }

    void listLayoutIsKeptInItsOwnSection() {
        ProgramFolder folder;
        folder.AddCardType("Cards", SampleCards());
        {
            TMainWindow window = OpenMainWindow(folder.Path());
            Show(window);
            ClickHeader(window, 1);
            ClickHeader(window, 1);
            Header(window)->resizeSection(1, 333);
            MissingOnly(window)->setChecked(true);
        }
        std::string ini = FileBytes(folder.Path() / "setting.ini");
        QVERIFY2(ini.find("[list]\r\nsortcolumn=1\r\nsortdescending=1\r\n"
                          "columnwidths=100,333,100,50\r\nmissingonly=1\r\n") != std::string::npos,
                 ini.c_str());
        QVERIFY(ini.find("[layout]") < ini.find("[list]"));

        TMainWindow window = OpenMainWindow(folder.Path());
        QCOMPARE(window->ListView()->ReportView()->columnWidth(1), 333);
        QCOMPARE(window->ListView()->SortColumn(), 1);
        QVERIFY(window->ListView()->SortDescending());
        QVERIFY(MissingOnly(window)->isChecked());
        // Descending by CP932 bytes: half-width katakana, double-byte letters, then ASCII.
        QCOMPARE(window.Column(1),
                 (QStringList{Utf8("ｶﾞﾙｰﾗ"), Utf8("ＰＯＫＥ Ｂａｌｌ"), Utf8("Poke Ball")}));
        // A refresh still sets the specified columns, with the user's widths.
        window->N10Click();
        QCOMPARE(window->ListView()->ReportView()->columnWidth(1), 333);
    }
};

QTEST_MAIN(FindTest)
#include "FindTest.moc"
