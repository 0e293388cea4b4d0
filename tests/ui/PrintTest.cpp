// Printing: checklist and binder pages written as PDF and read back with poppler's tools, and
// the list's filter and order carried into the job.
#include <QCheckBox>
#include <QImage>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "CardFilterModel.h"
#include "CardPrint.h"
#include "MainWindowHarness.h"
#include "ModalAnswer.h"
#include "PrintCommands.h"
#include "ProgramFolder.h"
#include "QtText.h"
#include "UiFont.h"

namespace {

QByteArray Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) return {};
    return process.readAllStandardOutput();
}

// One card as pdftotext gives it back: its page (from 0), text line, mark, number and title.
struct TReadCard {
    int Page;
    int Line;
    QString Mark;
    QString Number;
    QString Title;
};

std::vector<TReadCard> ReadChecklist(const QString& pdf) {
    const QString text = QString::fromUtf8(
        Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}));
    static const QRegularExpression card(Tr("([■□])\\s+(No\\.\\d+)\\s+(カード\\d+)"));
    std::vector<TReadCard> cards;
    const QStringList pages = text.split(QLatin1Char('\f'));
    for (int page = 0; page < pages.size(); ++page) {
        const QStringList lines = pages[page].split(QLatin1Char('\n'));
        for (int line = 0; line < lines.size(); ++line)
            for (const auto& match : card.globalMatch(lines[line]))
                cards.push_back(
                    {page, line, match.captured(1), match.captured(2), match.captured(3)});
    }
    return cards;
}

TPrintJob MakeJob(const TCardInfos& cards, const std::filesystem::path& imageFolder,
                  TPrintOptions options) {
    std::vector<std::size_t> order(cards.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    TPrintJob job;
    job.CardTypeName = Tr("城");
    job.Date = QStringLiteral("2026/12/09");
    job.StatusLine = QStringLiteral("1/2[50%]");
    job.Cards = MakePrintCards(cards, order, imageFolder);
    job.Options = options;
    return job;
}

}  // namespace

class PrintTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QFont::insertSubstitution(UiFontFamily(), QStringLiteral("IPAPGothic")); }

    // Every card once, in order, number and title on one page with its own mark; the columns
    // follow the length of the lines.
    void ChecklistKeepsEveryCardInOrderInColumnsThatFit_data() {
        QTest::addColumn<int>("commentLength");
        QTest::addColumn<int>("columns");
        QTest::newRow("short lines") << 0 << 3;
        QTest::newRow("medium lines") << 24 << 2;
        QTest::newRow("long lines") << 60 << 1;
    }
    void ChecklistKeepsEveryCardInOrderInColumnsThatFit() {
        QFETCH(int, commentLength);
        QFETCH(int, columns);
        TCardInfos cards = ProgramFolder::MakeCards(400);
        for (std::size_t i = 0; i < cards.size(); ++i) {
            cards[i].Owned = i % 3 == 0;
            cards[i].Comment = std::string(static_cast<std::size_t>(commentLength), 'x');
        }
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("list.pdf"));
        QCOMPARE(WriteCardPdf(pdf, MakeJob(cards, ToPath(dir.path()), {})), QString());

        std::vector<TReadCard> read = ReadChecklist(pdf);
        QCOMPARE(read.size(), cards.size());
        std::map<std::pair<int, int>, int> perLine;
        std::map<int, int> perPage;
        int lastPage = 0;
        for (std::size_t i = 0; i < read.size(); ++i) ++perPage[read[i].Page];
        for (const TReadCard& card : read) ++perLine[{card.Page, card.Line}];
        int widest = 0;
        for (const auto& [line, count] : perLine) widest = std::max(widest, count);
        QCOMPARE(widest, columns);
        // Read in the order of the columns, the cards come in card order.
        std::vector<std::pair<int, int>> seen;
        for (std::size_t i = 0; i < read.size(); ++i) {
            const int number = read[i].Number.mid(3).toInt();
            QCOMPARE(read[i].Title, Tr("カード") + QString::number(number));
            QCOMPARE(read[i].Mark, (number - 1) % 3 == 0 ? Tr("■") : Tr("□"));
            QVERIFY(read[i].Page >= lastPage);
            lastPage = read[i].Page;
            seen.push_back({read[i].Page, number});
        }
        std::sort(seen.begin(), seen.end(), [](auto a, auto b) { return a.second < b.second; });
        for (std::size_t i = 0; i < seen.size(); ++i) {
            QCOMPARE(seen[i].second, static_cast<int>(i + 1));
            if (i > 0) QVERIFY(seen[i].first >= seen[i - 1].first);
        }
        // Full pages hold the same number of cards; the page number counts all pages.
        const int full = perPage.begin()->second;
        for (const auto& [page, count] : perPage)
            if (page != lastPage) QCOMPARE(count, full);
        const QString text =
            QString::fromUtf8(Run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}));
        QVERIFY(
            text.contains(QRegularExpression(QStringLiteral("\\b%1 ?/ ?%1\\b").arg(lastPage + 1))));
        QVERIFY(text.contains(Tr("所持 1/2[50%]")));
    }

    // Owned cards show their front picture in their pocket, missing ones an empty pocket, in
    // card order across and down; the rest go on the next page.
    void BinderPutsCardsIntoTheirPockets_data() {
        QTest::addColumn<int>("side");
        QTest::newRow("3 x 3") << 3;
        QTest::newRow("2 x 2") << 2;
    }
    void BinderPutsCardsIntoTheirPockets() {
        QFETCH(int, side);
        const int perPage = side * side;
        QTemporaryDir dir;
        QImage red(126, 176, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(dir.filePath(QStringLiteral("red.jpg")), "JPEG"));
        TCardInfos cards = ProgramFolder::MakeCards(perPage + 2);
        // The first and last pocket mark out the grid; the middle one of 3 x 3 is owned too.
        for (int slot : {0, perPage - 1, side == 3 ? 4 : 0}) cards[std::size_t(slot)].Owned = true;
        for (TCardInfo& card : cards) card.FrontImageFileName = "red.jpg";
        TPrintOptions options;
        options.Kind = TPrintKind::Binder;
        options.Pockets = side;
        const QString pdf = dir.filePath(QStringLiteral("binder.pdf"));
        QCOMPARE(WriteCardPdf(pdf, MakeJob(cards, ToPath(dir.path()), options)), QString());

        Run(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("36"), QStringLiteral("-png"), pdf,
             dir.filePath(QStringLiteral("p"))});
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("p-2.png"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("p-3.png"))));
        const QImage page(dir.filePath(QStringLiteral("p-1.png")));
        QVERIFY(!page.isNull());
        auto isRed = [&](int x, int y) {
            QColor c = page.pixelColor(x, y);
            return c.red() > 200 && c.green() < 80 && c.blue() < 80;
        };
        QRect grid;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (isRed(x, y)) grid |= QRect(x, y, 1, 1);
        QVERIFY(grid.width() > page.width() / 2);
        for (int slot = 0; slot < perPage; ++slot) {
            const int x = grid.left() + grid.width() * (2 * (slot % side) + 1) / (2 * side);
            const int y = grid.top() + grid.height() * (4 * (slot / side) + 1) / (4 * side);
            QVERIFY2(isRed(x, y) == cards[std::size_t(slot)].Owned,
                     qPrintable(QStringLiteral("pocket %1").arg(slot)));
        }
        // A pocket is a card's shape, taller than wide.
        QVERIFY(grid.height() > grid.width());
        const QString text =
            QString::fromUtf8(Run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}));
        QVERIFY(text.contains(QStringLiteral("No.%1").arg(perPage + 2)));
    }

    // Stopping half-way leaves the file that was there as it was.
    void StoppedPdfLeavesTheOldFile() {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("list.pdf"));
        QFile old(pdf);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        TPrintJob job = MakeJob(ProgramFolder::MakeCards(2000), ToPath(dir.path()), {});
        QCOMPARE(WriteCardPdf(pdf, job, [](int done, int) { return done < 2; }), QString());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("list.pdf")});
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
        QVERIFY(!WriteCardPdf(dir.filePath(QStringLiteral("no/such/list.pdf")), job).isEmpty());
    }

    // The checklist takes the list as shown: only the missing cards while 未所持のみ is on, in
    // the sorted order; the PDF is written in the background and the window gets it finished.
    void JobFollowsTheFilterAndSortOfTheList() {
        ProgramFolder folder;
        TCardInfos cards = ProgramFolder::MakeCards(12, 4);
        folder.AddCardType("cards", cards);
        TMainWindow window = OpenMainWindow(folder.Path());
        window.Choose(0);
        window.Form->findChild<QCheckBox*>(QStringLiteral("MissingOnly"))->setChecked(true);
        window.Form->FilterModel()->sort(0, Qt::DescendingOrder);
        auto* print = window.Form->findChild<TPrintCommands*>();
        QVERIFY(print);
        TPrintJob job = print->MakeJob({});
        QCOMPARE(job.Cards.size(), std::size_t(8));
        QCOMPARE(job.Cards.front().Number, QStringLiteral("No.12"));
        QCOMPARE(job.Cards.back().Number, QStringLiteral("No.5"));
        QCOMPARE(job.ShownCount, Tr("表示 8 件"));
        // Binder pages hold the whole set in card order.
        TPrintOptions binder;
        binder.Kind = TPrintKind::Binder;
        job = print->MakeJob(binder);
        QCOMPARE(job.Cards.size(), cards.size());
        QCOMPARE(job.Cards.front().Number, QStringLiteral("No.1"));
        QVERIFY(job.ShownCount.isEmpty());

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("list.pdf"));
        QVERIFY(print->StartPdf(pdf, {}));
        QTRY_VERIFY_WITH_TIMEOUT(print->PdfWatcher().isFinished(), 30000);
        QVERIFY(ReadChecklist(pdf).size() == 8);
    }

    // The two items come after the specified ones of メニュー; 印刷... asks what to print, then
    // shows the preview of those pages.
    void PrintShowsThePreviewOfTheChosenPages() {
        ProgramFolder folder;
        folder.AddCardType("cards", ProgramFolder::MakeCards(10, 4));
        TMainWindow window = OpenMainWindow(folder.Path());
        window.Choose(0);
        auto* menu = window.Form->findChild<QMenu*>(QStringLiteral("N1"));
        QStringList items;
        for (QAction* action : menu->actions())
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(items, (QStringList{Tr("カード種類作成..."), Tr("カード種類テンプレート取込..."),
                                     Tr("チェックリスト取込..."), QStringLiteral("-"), Tr("閉じる"),
                                     QStringLiteral("-"), Tr("印刷..."), Tr("PDF に書き出す...")}));

        int previewPages = -1;
        AnswerNextModal(Tr("OK"), [&](QWidget* options) {
            options->findChild<QRadioButton*>(QStringLiteral("PrintBinder"))->setChecked(true);
            AnswerNextModal(Tr("閉じる"), [&](QWidget* preview) {
                QVERIFY(qobject_cast<QPrintPreviewDialog*>(preview));
                previewPages = preview->findChild<QPrintPreviewWidget*>()->pageCount();
            });
        });
        window.Action("PrintCards")->trigger();
        QCOMPARE(previewPages, 2);  // 10 cards in pockets of 3 x 3
    }
};

QTEST_MAIN(PrintTest)
#include "PrintTest.moc"
