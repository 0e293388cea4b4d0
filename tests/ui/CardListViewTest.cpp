// The card list's icon views as they are laid out, not only what the model holds.
#include <QAction>
#include <QListView>
#include <QtTest>

#include "CardListView.h"
#include "Main.h"
#include "ProgramFolder.h"

class CardListViewTest : public QObject {
    Q_OBJECT
private slots:
    void everyIconCellHoldsAWholeThumbnail_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("side");
        QTest::newRow("small") << QStringLiteral("N11") << 50;
        QTest::newRow("large") << QStringLiteral("N13") << 100;
    }
    void everyIconCellHoldsAWholeThumbnail() {
        QFETCH(QString, item);
        QFETCH(int, side);
        ProgramFolder folder;
        folder.AddCardType("Cards", ProgramFolder::MakeCards(3));
        folder.AddThumbnail("Cards", "f0.thm", Qt::red, 50, 50);
        folder.AddThumbnail("Cards", "f0.thm_large", Qt::red, 100, 100);
        // The last card has no thumbnail: its cell must not set the size of the others.
        TVastrelleMainForm form(folder.Path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.findChild<QAction*>(item)->trigger();
        QListView* view = form.ListView()->IconView();
        QCoreApplication::processEvents();
        for (int row = 0; row < 3; ++row) {
            QRect cell = view->visualRect(view->model()->index(row, 0));
            QVERIFY2(
                cell.width() >= side && cell.height() >= side,
                qPrintable(
                    QStringLiteral("row %1: %2x%3").arg(row).arg(cell.width()).arg(cell.height())));
        }
    }
};

QTEST_MAIN(CardListViewTest)
#include "CardListViewTest.moc"
