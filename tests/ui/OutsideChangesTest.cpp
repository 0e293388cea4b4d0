// The main window while other programs change its files: the window's commands never write over
// their changes, and the list, the card type box and the notices follow the files.
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include "CardDialogSupport.h"
#include "CardTypeDocument.h"
#include "CardTypeOverview.h"
#include "FileWatch.h"
#include "MainWindowHarness.h"
#include "ProgramFolder.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardList.h"

namespace {

const QString kRefusal = Utf8(
    "カードリストが他のプログラムで変更されたため、保存しませんでした。最新の内容を表示します。");

enum class TCommand { Toggle, Register, Edit, Delete, Undo };

TCardInfos OnDisk(const ProgramFolder& folder) {
    TCardInfos cards;
    ReadCardList(folder.CardTypeFolder("Cards") / kCardListFileName, cards);
    return cards;
}

TCardInfo NewCard(const char* number) {
    TCardInfo card;
    card.Number = number;
    card.Title = number;
    return card;
}

// The message boxes shown, each answered with OK.
struct TBoxes {
    TBoxes() {
        QObject::connect(&Timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                Texts << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        Timer.start(10);
    }
    QTimer Timer;
    QStringList Texts;
};

}  // namespace

class OutsideChangesTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCoreApplication::processEvents(); }

    // Another program changed the card list after the window read it; the window's command is
    // made on the file as it is now, or refused when its card is gone, never written over it.
    void commandAfterAnOutsideChange_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("removeOutside");  // else a card is appended outside
        QTest::addColumn<bool>("refused");
        QTest::newRow("toggle") << int(TCommand::Toggle) << false << false;
        QTest::newRow("register") << int(TCommand::Register) << false << false;
        QTest::newRow("edit") << int(TCommand::Edit) << false << false;
        QTest::newRow("delete") << int(TCommand::Delete) << false << false;
        QTest::newRow("undo") << int(TCommand::Undo) << false << true;
        QTest::newRow("toggle of a card removed") << int(TCommand::Toggle) << true << true;
        QTest::newRow("edit of a card removed") << int(TCommand::Edit) << true << true;
        QTest::newRow("delete of a card removed") << int(TCommand::Delete) << true << true;
    }
    void commandAfterAnOutsideChange() {
        QFETCH(int, command);
        QFETCH(bool, removeOutside);
        QFETCH(bool, refused);
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(3));
        TMainWindow window = OpenMainWindow(folder.Path());
        window->ToggleOwned(2);  // something to undo
        TCardInfos outside = OnDisk(folder);
        if (removeOutside)
            outside.erase(outside.begin() + 1);
        else
            outside.push_back(NewCard("outside"));
        WriteCardList(outside, folder.CardTypeFolder("Cards"));

        TCardInfos expected = outside;
        TBoxes boxes;
        window->ListView()->SelectCard(1);
        switch (static_cast<TCommand>(command)) {
            case TCommand::Toggle:
                window->ToggleOwned(1);
                if (!refused) SetOwned(expected[1], true, TodayText());
                break;
            case TCommand::Register:
                EnterCard({Utf8("new"), Utf8("new"), {}, false, {}, {}});
                window->N5Click();
                expected.push_back(NewCard("new"));
                break;
            case TCommand::Edit:
                EnterCard({Utf8("No.2"), Utf8("edited"), {}, false, {}, {}});
                window->N6Click();
                if (!refused) expected[1].Title = "edited";
                break;
            case TCommand::Delete:
                AnswerBox(Utf8("はい(&Y)"));
                window->N7Click();
                if (!refused) expected.erase(expected.begin() + 1);
                break;
            case TCommand::Undo:
                window->UndoClick();
                break;
        }
        QVERIFY(OnDisk(folder) == expected);
        QCOMPARE(boxes.Texts.size(), refused ? 1 : 0);
        if (refused) QVERIFY(boxes.Texts.front().startsWith(kRefusal));
        // The window shows the file as it is, also after a refusal in the card dialog.
        QTRY_VERIFY(window->Cards() == expected);
    }

    // The list follows the file without a restart, keeping the selected card, the filter and the
    // scroll position; its own saves are not taken for outside changes, and nothing changes
    // under the open card dialog.
    void listFollowsTheFileInPlace() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(300));
        TMainWindow window = OpenMainWindow(folder.Path());
        window->show();
        QSignalSpy outsideResets(window->Document(), &TCardTypeDocument::CardsReset);
        window->findChild<QLineEdit*>(QStringLiteral("SearchEdit"))->setText(Utf8("No.2"));
        window->ListView()->SelectCard(250);
        QScrollBar* scroll = window->ListView()->CurrentView()->verticalScrollBar();
        int scrolledTo = scroll->value();
        QVERIFY(scrolledTo > 0);

        TCardInfos cards = OnDisk(folder);
        cards.insert(cards.begin(), NewCard("No.2000"));
        WriteCardList(cards, folder.CardTypeFolder("Cards"));
        QTRY_COMPARE(window->Cards().size(), std::size_t(301));
        QCOMPARE(window->ListView()->SelectedCardIndex(), std::optional<std::size_t>(251));
        QCOMPARE(scroll->value(), scrolledTo);
        QCOMPARE(window->ShownCountText(), Utf8("表示 112 件"));
        QCOMPARE(window->StatusLineText(), Utf8("0/301[0%]"));

        outsideResets.clear();
        window->ToggleOwned(251);
        QTest::qWait(3 * TFileWatch::kDelayMs);
        QCOMPARE(outsideResets.size(), 1);  // the save's own reload only
        QCOMPARE(window->ListView()->SelectedCardIndex(), std::optional<std::size_t>(251));

        std::size_t underDialog = 0;
        ActOnNext<TCardInfoInputForm>([&](TCardInfoInputForm*) {
            cards.push_back(NewCard("No.2001"));
            WriteCardList(cards, folder.CardTypeFolder("Cards"));
            QTest::qWait(3 * TFileWatch::kDelayMs);
            underDialog = window->Cards().size();
        });
        window->N6Click();
        QCOMPARE(underDialog, std::size_t(301));
        QTRY_COMPARE(window->Cards().size(), std::size_t(302));
    }

    // An editor's half-written file is reported once, however often it changes, and the list
    // reads it again once it is whole.
    void unreadableChangeIsReportedOnce() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(3));
        TMainWindow window = OpenMainWindow(folder.Path());
        TBoxes boxes;
        folder.WriteFile("Cards/cardlist.dat", "<cardlist><carditem>");
        QTRY_COMPARE(boxes.Texts.size(), 1);
        QVERIFY(!window->IsCardTypeWritable());
        folder.WriteFile("Cards/cardlist.dat", "<cardlist><carditem><no>");
        QTest::qWait(3 * TFileWatch::kDelayMs);
        QCOMPARE(boxes.Texts.size(), 1);

        WriteCardList(ProgramFolder::MakeCards(4), folder.CardTypeFolder("Cards"));
        QTRY_COMPARE(window->Cards().size(), std::size_t(4));
        QVERIFY(window->IsCardTypeWritable());
    }

    // Card type folders made or removed outside show in the box (the loaded one removed: the
    // list empties); a conflicting copy of the card list is named in the notice and marked in
    // the overview.
    void cardTypesAndConflictCopiesFollowTheFolder() {
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(3));
        folder.AddCardType("Gone", ProgramFolder::MakeCards(2));
        TMainWindow window = OpenMainWindow(folder.Path());
        window->ShowOverview();
        auto* overview = window->findChild<TCardTypeOverviewForm*>();
        auto* notice = window->findChild<QLabel*>(QStringLiteral("Notice"));
        QCOMPARE(notice->accessibleName(), Utf8("お知らせ"));
        QVERIFY(notice->isHidden());

        folder.AddCardType("New", ProgramFolder::MakeCards(1));
        QTRY_COMPARE(window.ComboItems(), (QStringList{Utf8("Cards"), Utf8("Gone"), Utf8("New")}));
        QTRY_COMPARE(overview->List()->model()->rowCount(), 3);

        const char* copy = "cardlist.sync-conflict-20261209-101010-ABCDEFG.dat";
        folder.WriteFile(std::string("Cards/") + copy, "x");
        QTRY_VERIFY(!notice->isHidden());
        QCOMPARE(notice->text(), Utf8("競合コピーがあります: ") + Utf8(copy));
        QTRY_VERIFY(overview->List()
                        ->model()
                        ->index(0, 0)
                        .data(Qt::ToolTipRole)
                        .toString()
                        .contains(Utf8(copy)));

        window.Choose(window.ComboItems().indexOf(Utf8("Gone")));
        std::filesystem::remove_all(folder.CardTypeFolder("Gone"));
        QTRY_COMPARE(window.ComboItems(), (QStringList{Utf8("Cards"), Utf8("New")}));
        QTRY_VERIFY(window->Cards().empty());
        QVERIFY(!window->IsCardTypeLoaded());
        QCOMPARE(window.Combo()->currentIndex(), -1);
    }
};

QTEST_MAIN(OutsideChangesTest)
#include "OutsideChangesTest.moc"
