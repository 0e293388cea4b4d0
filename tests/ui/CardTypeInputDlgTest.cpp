// The card type name dialog on its own: layout, the refusal of an empty name, the ways out.
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "CardDialogSupport.h"
#include "CardTypeInputDlg.h"
#include "ModalAnswer.h"

class CardTypeInputDlgTest : public QObject {
    Q_OBJECT

    template <typename T>
    T* Child(TCardTypeInputForm& dialog, const char* name) {
        return dialog.findChild<T*>(Utf8(name));
    }

    // Shows the dialog modally with the given texts; `act` runs once it is open.
    int Run(TCardTypeInputForm& dialog, const QString& text, std::function<void()> act) {
        dialog.SetCardTypeInfo(Utf8("カード種類名称"), Utf8("カード種類名称を入力してください"),
                               text);
        QTimer::singleShot(0, [&dialog, act] {
            act();
            if (dialog.isVisible()) dialog.done(-1);  // a step that failed to end it
        });
        return dialog.exec();
    }

private slots:
    void layoutAsDesigned() {
        TCardTypeInputForm dialog(nullptr);
        dialog.SetCardTypeInfo(Utf8("カード種類名称"), Utf8("カード種類名称を入力してください"),
                               Utf8("x.y"));
        QCOMPARE(dialog.size(), QSize(339, 96));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.windowTitle(), Utf8("カード種類名称"));
        QCOMPARE(Child<QLabel>(dialog, "Label1")->text(), Utf8("カード種類名称を入力してください"));
        QCOMPARE(Child<QLabel>(dialog, "Label1")->pos(), QPoint(16, 8));
        QCOMPARE(Child<QLineEdit>(dialog, "Edit1")->geometry(), QRect(24, 24, 289, 20));
        QCOMPARE(Child<QLineEdit>(dialog, "Edit1")->text(), Utf8("x.y"));
        auto* ok = Child<QPushButton>(dialog, "Button1");
        auto* cancel = Child<QPushButton>(dialog, "Button2");
        QCOMPARE(ok->text(), Utf8("O K"));
        QCOMPARE(ok->geometry(), QRect(80, 56, 75, 25));
        QCOMPARE(cancel->text(), Utf8("キャンセル"));
        QCOMPARE(cancel->geometry(), QRect(168, 56, 75, 25));
        for (QPushButton* button : {ok, cancel})
            QVERIFY(!button->isDefault() && !button->autoDefault());
    }

    void emptyNameKeepsTheDialogOpenWithoutAMessage() {
        TCardTypeInputForm dialog(nullptr);
        bool stillOpen = false;
        QWidget* modal = nullptr;
        int answer = Run(dialog, QString(), [&] {
            Child<QPushButton>(dialog, "Button1")->click();
            stillOpen = dialog.isVisible();
            modal = QApplication::activeModalWidget();
            Child<QPushButton>(dialog, "Button2")->click();
        });
        QVERIFY(stillOpen);
        QCOMPARE(modal, &dialog);  // no box came up over it
        QCOMPARE(answer, int(QDialog::Rejected));
    }

    void blanksAreAcceptedUnchanged() {
        TCardTypeInputForm dialog(nullptr);
        int answer = Run(dialog, QString(), [&] {
            Child<QLineEdit>(dialog, "Edit1")->setText(Utf8("  "));
            Child<QPushButton>(dialog, "Button1")->click();
        });
        QCOMPARE(answer, int(QDialog::Accepted));
        QCOMPARE(dialog.Text(), Utf8("  "));
    }

    void cancelAndTitleBarCloseAnswerCancel() {
        TCardTypeInputForm dialog(nullptr);
        QCOMPARE(Run(dialog, Utf8("名前"), [&] { Child<QPushButton>(dialog, "Button2")->click(); }),
                 int(QDialog::Rejected));
        QCOMPARE(Run(dialog, Utf8("名前"), [&] { dialog.close(); }), int(QDialog::Rejected));
    }

    void enterInTheFieldAndEscapeDoNothing() {
        TCardTypeInputForm dialog(nullptr);
        bool open = false;
        Run(dialog, Utf8("名前"), [&] {
            auto* edit = Child<QLineEdit>(dialog, "Edit1");
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClick(edit, Qt::Key_Escape);
            open = dialog.isVisible();
            // Enter on the focused OK button presses it.
            Child<QPushButton>(dialog, "Button1")->setFocus();
            QTest::keyClick(Child<QPushButton>(dialog, "Button1"), Qt::Key_Return);
        });
        QVERIFY(open);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void eachUseShowsItsOwnTexts() {
        TCardTypeInputForm dialog(nullptr);
        Run(dialog, QString(), [&] {
            Child<QLineEdit>(dialog, "Edit1")->setText(Utf8("途中まで"));
            dialog.close();
        });
        dialog.SetCardTypeInfo(Utf8("取込"), Utf8("別の案内"), Utf8("castles"));
        QCOMPARE(dialog.windowTitle(), Utf8("取込"));
        QCOMPARE(Child<QLabel>(dialog, "Label1")->text(), Utf8("別の案内"));
        QCOMPARE(dialog.Text(), Utf8("castles"));
    }

    // The typed text stays for correcting, and the warning says which characters are refused.
    void refusedNameKeepsTheDialogOpenWithTheText() {
        TCardTypeInputForm dialog(nullptr);
        QString text, title;
        bool stillOpen = false;
        QString kept;
        Run(dialog, QString(), [&] {
            Child<QLineEdit>(dialog, "Edit1")->setText(Utf8("Café/2"));
            AnswerNextModal(Utf8("OK"), [&](QWidget* box) {
                title = box->windowTitle();
                text = static_cast<QMessageBox*>(box)->text();
            });
            Child<QPushButton>(dialog, "Button1")->click();
            stillOpen = dialog.isVisible();
            kept = dialog.Text();
        });
        QCOMPARE(title, Utf8("警告"));
        QCOMPARE(text, Utf8("カード種類名称に使用できない文字が含まれています。\n"
                            "「é」「/」は使用できません。"));
        QVERIFY(stillOpen);
        QCOMPARE(kept, Utf8("Café/2"));
    }

    void focusIsInTheFieldAndTheFrameIsFixed() {
        TCardTypeInputForm dialog(nullptr);
        QWidget* focused = nullptr;
        Run(dialog, Utf8("名前"), [&] {
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            focused = QApplication::focusWidget();
            Child<QPushButton>(dialog, "Button2")->setFocus();
            dialog.reject();
        });
        QCOMPARE(focused, Child<QLineEdit>(dialog, "Edit1"));
        Run(dialog, Utf8("名前"), [&] {
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            focused = QApplication::focusWidget();
        });
        QCOMPARE(focused, Child<QLineEdit>(dialog, "Edit1"));
        const Qt::WindowFlags flags = dialog.windowFlags();
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                           Qt::WindowContextHelpButtonHint)));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
    }
};

QTEST_MAIN(CardTypeInputDlgTest)
#include "CardTypeInputDlgTest.moc"
