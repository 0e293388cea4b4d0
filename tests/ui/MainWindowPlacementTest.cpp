// The main window on the screen: the status line's first panel, the window fitted into the
// screen and its place remembered in setting.ini.
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QtTest>

#include "MainWindowHarness.h"
#include "ProgramFolder.h"
#include "WindowPlacement.h"

namespace {

QList<QLabel*> StatusPanels(TMainWindow& window) {
    return window->statusBar()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
}

QRect Available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

}  // namespace

class MainWindowPlacementTest : public QObject {
    Q_OBJECT
private slots:
    void firstStatusPanelWidensForLargeCardTypesOnly() {
        ProgramFolder folder;
        folder.AddCardType("Big", ProgramFolder::MakeCards(100000, 12345));
        folder.AddCardType("Small", ProgramFolder::MakeCards(10, 3));
        TMainWindow window = OpenMainWindow(folder.Path());
        const QList<QLabel*> panels = StatusPanels(window);
        QCOMPARE(panels.size(), 4);
        QCOMPARE(window->StatusLineText(), QStringLiteral("12345/100000[12%]"));
        const QLabel* first = panels[0];
        QVERIFY(first->width() >=
                first->fontMetrics().horizontalAdvance(first->text()) + 2 * first->frameWidth());
        QCOMPARE(panels[1]->width(), 100);
        QCOMPARE(panels[2]->width(), 100);
        QCOMPARE(panels[3]->width(), 50);

        window.Choose(window.ComboItems().indexOf(QStringLiteral("Small")));
        QCOMPARE(window->StatusLineText(), QStringLiteral("3/10[30%]"));
        QCOMPARE(panels[0]->width(), 100);
    }

    void rectangleIsFittedIntoTheArea() {
        const QRect area(0, 30, 800, 570);
        QCOMPARE(FitIntoArea(QRect(100, 100, 300, 200), area), QRect(100, 100, 300, 200));
        QCOMPARE(FitIntoArea(QRect(-50, 0, 1124, 1020), area), area);
        QCOMPARE(FitIntoArea(QRect(700, 500, 300, 200), area), QRect(500, 400, 300, 200));
        QCOMPARE(FitIntoArea(QRect(-20, 10, 300, 200), area), QRect(0, 30, 300, 200));
    }

    void newWindowLiesInsideTheScreen() {
        ProgramFolder folder;
        TMainWindow window = OpenMainWindow(folder.Path());
        QCOMPARE(window->size(), QSize(562, 510).boundedTo(Available().size()));
        QVERIFY(Available().contains(window->geometry()));
    }

    void placementIsRememberedAndRestoredWhenItFits() {
        ProgramFolder folder;
        folder.WriteFile("setting.ini", "[lastsetting]\r\ncardname=\r\n[own]\r\nkept=1\r\n");
        const QRect placed(Available().left() + 20, Available().top() + 10, 400, 300);
        {
            TMainWindow window = OpenMainWindow(folder.Path());
            window->setGeometry(placed);
        }
        const std::string ini = FileBytes(folder.Path() / "setting.ini");
        QVERIFY(ini.find("[own]\r\nkept=1\r\n") != std::string::npos);
        QVERIFY(ini.find("[layout]\r\n") != std::string::npos);
        QVERIFY(ini.find("[window]\r\n") != std::string::npos);

        TMainWindow window = OpenMainWindow(folder.Path());
        QCOMPARE(window->geometry(), placed);
    }

    void placementBeyondEveryScreenIsNotRestored() {
        ProgramFolder folder;
        const QRect available = Available();
        const std::string section = "[window]\r\nleft=" + std::to_string(available.right() + 100) +
                                    "\r\ntop=0\r\nwidth=400\r\nheight=300\r\n";
        folder.WriteFile("setting.ini", section);
        TMainWindow window = OpenMainWindow(folder.Path());
        QCOMPARE(window->size(), QSize(562, 510).boundedTo(available.size()));
        QVERIFY(available.contains(window->geometry()));
    }
};

QTEST_MAIN(MainWindowPlacementTest)
#include "MainWindowPlacementTest.moc"
