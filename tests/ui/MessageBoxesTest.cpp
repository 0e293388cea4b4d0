// The message boxes' buttons, default and Escape answers, and the failure report text.
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "MessageBoxes.h"
#include "ModalAnswer.h"
#include "UiFont.h"
#include "cardlist/CardList.h"

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

void PressEscape() {
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Escape);
    });
}

}  // namespace

class MessageBoxesTest : public QObject {
    Q_OBJECT
private slots:
    void failureReportTextAppendsAPeriodByTheRule();
    void abortBoxIgnoresEscapeAndEndsOnlyByItsButton();
    void warningBoxAnswersEscapeWithOk();
    void confirmationCountsOnlyYes();
    void guardedHandlerShowsTheFailureAndReturns();
    void everyBoxHasTheProgramFontAndAFixedFrame();
    void longPathsWrapInsteadOfBeingCut();
    void cardListThatDoesNotParseNamesItsFileInTheDetail();
};

void MessageBoxesTest::failureReportTextAppendsAPeriodByTheRule() {
    QCOMPARE(FailureReportText(U("ファイル x は開けません")), U("ファイル x は開けません."));
    QCOMPARE(FailureReportText(U("done.")), U("done."));
    QCOMPARE(FailureReportText(U("ends in a dash-")), U("ends in a dash-"));
    QCOMPARE(FailureReportText(U("ends in a space ")), U("ends in a space "));
    QCOMPARE(FailureReportText(QString()), QString());
    QCOMPARE(ApplicationTitle(), U("Vastrelle"));
}

void MessageBoxesTest::abortBoxIgnoresEscapeAndEndsOnlyByItsButton() {
    bool stillOpenAfterEscape = false;
    QString title;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        QVERIFY(box);
        title = box->windowTitle();
        QTest::keyClick(box, Qt::Key_Escape);
        box->close();
        stillOpenAfterEscape = box->isVisible();
        const auto buttons = box->findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.front()->text(), U("中止(&A)"));
        QVERIFY(!buttons.front()->isDefault());
        buttons.front()->click();
    });
    ShowMessage(nullptr, MessageKind::ErrorAbort, U("カード種類フォルダの作成に失敗しました。"));
    QCOMPARE(title, U("エラー"));
    QVERIFY(stillOpenAfterEscape);
}

void MessageBoxesTest::warningBoxAnswersEscapeWithOk() {
    QElapsedTimer timer;
    timer.start();
    PressEscape();
    ShowMessage(nullptr, MessageKind::Warning, U("警告文"));
    QVERIFY(timer.elapsed() < 5000);
}

void MessageBoxesTest::confirmationCountsOnlyYes() {
    AnswerNextModal(U("はい(&Y)"));
    QVERIFY(AskYesNo(nullptr, U("削除しますか？")));
    AnswerNextModal(U("いいえ(&N)"));
    QVERIFY(!AskYesNo(nullptr, U("削除しますか？")));
    PressEscape();
    QVERIFY(!AskYesNo(nullptr, U("削除しますか？")));
}

void MessageBoxesTest::guardedHandlerShowsTheFailureAndReturns() {
    QString title, text;
    auto inspect = [&](QWidget* box) {
        title = box->windowTitle();
        text = static_cast<QMessageBox*>(box)->text();
    };
    AnswerNextModal(U("OK"), inspect);
    RunGuarded(nullptr, [] { throw VastrelleError("ファイル a は開けません"); });
    QCOMPARE(title, U("Vastrelle"));
    QCOMPARE(text, U("ファイル a は開けません."));

    AnswerNextModal(U("OK"), inspect);
    RunGuarded(nullptr, [] { throw VastrelleError("既に存在します。", MessageKind::Warning); });
    QCOMPARE(title, U("警告"));
}

void MessageBoxesTest::everyBoxHasTheProgramFontAndAFixedFrame() {
    const std::vector<std::function<void()>> boxes = {
        [] { ShowFailureReport(nullptr, U("失敗")); },
        [] { ShowMessage(nullptr, MessageKind::Warning, U("警告文")); },
        [] { ShowMessage(nullptr, MessageKind::ErrorAbort, U("中止")); },
        [] { AskYesNo(nullptr, U("削除しますか？")); },
    };
    for (const auto& show : boxes) {
        QFont font;
        Qt::WindowFlags flags;
        QSize minimum, maximum;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            font = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->font();
            flags = box->windowFlags();
            minimum = box->minimumSize();
            maximum = box->maximumSize();
            box->findChildren<QPushButton*>().front()->click();
        });
        show();
        QCOMPARE(font.family(), UiFontFamily());
        QCOMPARE(font.pixelSize(), 12);
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                           Qt::WindowContextHelpButtonHint)));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QCOMPARE(minimum, maximum);
    }
}

void MessageBoxesTest::longPathsWrapInsteadOfBeingCut() {
    QString path = U("/home/collector");
    while (path.size() < 300) path += U("/a_rather_long_folder_name");
    path += U("/") + QString(150, QLatin1Char('x')) + U(".jpg");
    bool fits = false;
    QString shown;
    AnswerNextModal(U("OK"), [&](QWidget* box) {
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        shown = label->text();
        // No run wider than the label, and every line within its height.
        fits = label->minimumSizeHint().width() <= label->width() &&
               label->width() <= box->width() &&
               label->heightForWidth(label->width()) <= label->height();
    });
    ShowFailureReport(nullptr, U("ファイル ") + path + U(" は開けません"));
    QVERIFY(fits);
    // Only invisible break opportunities are added.
    QCOMPARE(shown.remove(QChar(0x200B)), U("ファイル ") + path + U(" は開けません."));
}

void MessageBoxesTest::cardListThatDoesNotParseNamesItsFileInTheDetail() {
    QTemporaryDir folder;
    const std::filesystem::path file = folder.filePath(U("cardlist.dat")).toStdString();
    {
        QFile out(QString::fromStdString(file.string()));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("<cardlist><carditem>");
    }
    QString text, detail;
    AnswerNextModal(U("OK"), [&](QWidget* box) {
        text = static_cast<QMessageBox*>(box)->text();
        detail = static_cast<QMessageBox*>(box)->detailedText();
    });
    RunGuarded(nullptr, [&] {
        TCardInfos cards;
        ReadCardList(file, cards);
    });
    QVERIFY2(!text.isEmpty() && !text.contains(QString::fromStdString(file.string())),
             qPrintable(text));
    QCOMPARE(detail, U("ファイル: ") + QString::fromStdString(file.string()) +
                         U("\nこのファイルは変更されていません。"));
}

QTEST_MAIN(MessageBoxesTest)
#include "MessageBoxesTest.moc"
