// The card list model and its filter proxy under the model tester, and the search form of texts.
#include <QAbstractItemModelTester>
#include <QtTest>

#include "CardFilterModel.h"
#include "CardListModel.h"
#include "ProgramFolder.h"

namespace {

QString Utf8(const char* text) { return QString::fromUtf8(text); }

TCardInfo Card(const char* number, const char* title, bool owned) {
    TCardInfo card;
    card.Number = Sjis(number);
    card.Title = Sjis(title);
    card.Owned = owned;
    return card;
}

QStringList Numbers(const QAbstractItemModel& model) {
    QStringList numbers;
    for (int row = 0; row < model.rowCount(); ++row)
        numbers << model.index(row, 0).data().toString();
    return numbers;
}

}  // namespace

class CardListModelTest : public QObject {
    Q_OBJECT
private slots:
    void modelAndProxyStayConsistentThroughFillsFiltersAndSorts() {
        TCardListModel model;
        TCardFilterModel rows(&model);
        QAbstractItemModelTester modelTester(
            &model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester rowsTester(&rows,
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

        TCardInfos cards{Card("SV-10", "ｶﾞﾙｰﾗ", false), Card("2", "ピカチュウ", true),
                         Card("SV-2", "ＰＯＫＥ", false), Card("10", "poke", true),
                         Card("2", "dup", false)};
        model.Fill(DefaultColumnDatas(), cards, {}, {});
        QCOMPARE(resets.count(), 1);
        QCOMPARE(rows.rowCount(), 5);
        QCOMPARE(rows.index(2, 0).data(Qt::UserRole).toInt(), 2);

        rows.sort(0, Qt::AscendingOrder);
        QCOMPARE(Numbers(rows),
                 (QStringList{Utf8("2"), Utf8("2"), Utf8("10"), Utf8("SV-2"), Utf8("SV-10")}));
        // Ties keep file order in both directions: card 1 before card 4.
        QCOMPARE(rows.index(0, 0).data(Qt::UserRole).toInt(), 1);
        QCOMPARE(rows.index(1, 0).data(Qt::UserRole).toInt(), 4);
        rows.sort(0, Qt::DescendingOrder);
        QCOMPARE(Numbers(rows),
                 (QStringList{Utf8("SV-10"), Utf8("SV-2"), Utf8("10"), Utf8("2"), Utf8("2")}));
        QCOMPARE(rows.index(3, 0).data(Qt::UserRole).toInt(), 1);
        QCOMPARE(rows.index(4, 0).data(Qt::UserRole).toInt(), 4);

        rows.SetFilterText(Utf8("POKE"));
        QCOMPARE(Numbers(rows), (QStringList{Utf8("SV-2"), Utf8("10")}));
        rows.SetMissingOnly(true);
        QCOMPARE(Numbers(rows), (QStringList{Utf8("SV-2")}));
        rows.SetFilterText(Utf8("ガル"));
        QCOMPARE(Numbers(rows), (QStringList{Utf8("SV-10")}));

        // A refill keeps filter and order, with rows mapped to the new array.
        cards.insert(cards.begin(), Card("1", "ガルーラ", false));
        model.Fill(DefaultColumnDatas(), cards, {}, {});
        QCOMPARE(Numbers(rows), (QStringList{Utf8("SV-10"), Utf8("1")}));
        QCOMPARE(rows.index(1, 0).data(Qt::UserRole).toInt(), 0);
        rows.SetMissingOnly(false);
        rows.SetFilterText(QString());
        rows.sort(3, Qt::AscendingOrder);  // 所持: not owned first, each group in file order
        QCOMPARE(Numbers(rows), (QStringList{Utf8("1"), Utf8("SV-10"), Utf8("SV-2"), Utf8("2"),
                                             Utf8("2"), Utf8("10")}));
        model.Fill(DefaultColumnDatas(), {}, {}, {});
        QCOMPARE(rows.rowCount(), 0);
    }

    void tooltipAndOwnedRoles() {
        TCardListModel model;
        model.Fill(DefaultColumnDatas(), {Card("No.7", "カード", true)}, {}, {});
        QCOMPARE(model.index(0, 2).data(Qt::ToolTipRole).toString(),
                 Utf8("No.: No.7\nタイトル: カード\n所持: あり"));
        QVERIFY(model.index(0, 0).data(TCardListModel::kOwnedRole).toBool());
        QCOMPARE(model.OwnedColumn(), 3);
    }
};

QTEST_MAIN(CardListModelTest)
#include "CardListModelTest.moc"
