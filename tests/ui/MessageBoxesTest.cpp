// The message boxes' buttons, default and Escape answers, and the failure report text.
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "MessageBoxes.h"
#include "ModalAnswer.h"

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
};

void MessageBoxesTest::failureReportTextAppendsAPeriodByTheRule() {
    QCOMPARE(FailureReportText(U("ファイル x は開けません")), U("ファイル x は開けません."));
    QCOMPARE(FailureReportText(U("done.")), U("done."));
    QCOMPARE(FailureReportText(U("ends in a dash-")), U("ends in a dash-"));
    QCOMPARE(FailureReportText(U("ends in a space ")), U("ends in a space "));
    QCOMPARE(FailureReportText(QString()), QString());
    QCOMPARE(ApplicationTitle(), U("Messageboxestest"));
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
    QCOMPARE(title, U("Messageboxestest"));
    QCOMPARE(text, U("ファイル a は開けません."));

    AnswerNextModal(U("OK"), inspect);
    RunGuarded(nullptr, [] { throw VastrelleError("既に存在します。", MessageKind::Warning); });
    QCOMPARE(title, U("警告"));
}

QTEST_MAIN(MessageBoxesTest)
#include "MessageBoxesTest.moc"
