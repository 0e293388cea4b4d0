// The card dialog's form, keys and the pictures it shows when prepared.
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "CardDialogFixture.h"
#include "CardInfoInputDlg.h"
#include "ModalAnswer.h"
#include "QtText.h"
#include "cardlist/CardCopies.h"
#include "files/VastrelleError.h"
#include "text/Cp932.h"

class CardInfoInputDlgTest : public QObject {
    Q_OBJECT

private:
    template <typename T = QWidget>
    static T* Child(const QWidget& dialog, const char* name) {
        return dialog.findChild<T*>(Utf8(name));
    }

private slots:
    void layoutFollowsTheForm_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("CheckBoxExist") << Utf8("CheckBoxExist") << QRect(40, 8, 57, 17);
        QTest::newRow("EditNumber") << Utf8("EditNumber") << QRect(64, 32, 233, 20);
        QTest::newRow("EditTitle") << Utf8("EditTitle") << QRect(64, 56, 233, 20);
        QTest::newRow("EditComment") << Utf8("EditComment") << QRect(64, 80, 233, 20);
        QTest::newRow("Panel1") << Utf8("Panel1") << QRect(24, 128, 153, 201);
        QTest::newRow("Panel2") << Utf8("Panel2") << QRect(200, 128, 153, 201);
        QTest::newRow("ImageFront") << Utf8("ImageFront") << QRect(1, 1, 151, 199);
        QTest::newRow("ImageBack") << Utf8("ImageBack") << QRect(1, 1, 151, 199);
        QTest::newRow("sbDeleteFrontImage") << Utf8("sbDeleteFrontImage") << QRect(24, 328, 49, 22);
        QTest::newRow("sbDeleteBackImage") << Utf8("sbDeleteBackImage") << QRect(200, 328, 49, 22);
        QTest::newRow("ButtonOK") << Utf8("ButtonOK") << QRect(320, 8, 75, 49);
        QTest::newRow("ButtonCancel") << Utf8("ButtonCancel") << QRect(320, 64, 75, 49);
    }
    void layoutFollowsTheForm() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        TCardInfoInputForm dialog(nullptr);
        QCOMPARE(dialog.minimumSize(), QSize(412, 404));
        QCOMPARE(dialog.maximumSize(), QSize(412, 404));
        QFont font = dialog.font();
        QCOMPARE(font.family(), Utf8("ＭＳ Ｐゴシック"));
        QCOMPARE(font.pixelSize(), 12);
        QWidget* widget = dialog.findChild<QWidget*>(name);
        QVERIFY(widget != nullptr);
        QCOMPARE(widget->geometry(), geometry);
    }

    void tabOrderSkipsFramesAndDeleteButtons() {
        TCardInfoInputForm dialog(nullptr);
        QStringList order;
        QWidget* widget = Child(dialog, "EditNumber");
        do {
            // The spin box's own line edit takes the focus for it.
            if ((widget->focusPolicy() & Qt::TabFocus) &&
                !widget->objectName().startsWith(Utf8("qt_")))
                order << widget->objectName();
            widget = widget->nextInFocusChain();
        } while (widget != Child(dialog, "EditNumber"));
        QCOMPARE(order,
                 (QStringList{Utf8("EditNumber"), Utf8("EditTitle"), Utf8("ButtonOK"),
                              Utf8("ButtonCancel"), Utf8("EditComment"), Utf8("CheckBoxExist"),
                              Utf8("SpinBoxCount"), Utf8("CheckBoxWant")}));
        for (const char* name : {"ButtonOK", "ButtonCancel", "sbDeleteFrontImage"}) {
            auto* button = Child<QPushButton>(dialog, name);
            QVERIFY2(!button->isDefault() && !button->autoDefault(), name);
        }
    }

    void enterAndEscapeDoNothingButEnterPressesAFocusedButton() {
        TCardInfoInputForm dialog(nullptr);
        dialog.SetCardInfo(Utf8("x"), TCardInfo{}, {}, SaveNothing);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Child(dialog, "EditTitle")->setFocus();
        QTest::keyClick(Child(dialog, "EditTitle"), Qt::Key_Return);
        QTest::keyClick(Child(dialog, "EditTitle"), Qt::Key_Escape);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());

        Child(dialog, "ButtonCancel")->setFocus();
        QTest::keyClick(Child(dialog, "ButtonCancel"), Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));

        dialog.show();
        Child(dialog, "ButtonOK")->setFocus();
        QTest::keyClick(Child(dialog, "ButtonOK"), Qt::Key_Space);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void titleBarCloseIsCancel() {
        TCardInfoInputForm dialog(nullptr);
        dialog.show();
        dialog.setResult(QDialog::Accepted);
        QVERIFY(dialog.close());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void preparingFillsTheControlsAndForgetsEarlierDrops() {
        QTemporaryDir root;
        QString image = root.filePath(Utf8("image"));
        QDir().mkpath(image);
        TCardInfoInputForm dialog(nullptr);
        dialog.SetCardInfo(Utf8("first"), TCardInfo{}, image.toStdString(), SaveNothing);
        QString dropped = CopyFixture("landscape.jpg", root.path(), Utf8("a.jpg"));
        QVERIFY(SimulateDrop(Child(dialog, "Panel1"), {dropped}));

        TCardInfo card;
        card.Number = "12";
        card.Title = *cp932::FromUtf8("赤い竜");
        // Longer than a line edit takes by default: a card list made elsewhere may hold it.
        card.Comment = *cp932::FromUtf8("初版") + std::string(40000, 'x');
        card.Owned = true;
        dialog.SetCardInfo(Utf8("カード情報の編集画面"), card, image.toStdString(),
                           SaveAsOnlyCard(image, card));
        QCOMPARE(dialog.windowTitle(), Utf8("カード情報の編集画面"));
        QCOMPARE(Child<QLineEdit>(dialog, "EditNumber")->text(), Utf8("12"));
        QCOMPARE(Child<QLineEdit>(dialog, "EditTitle")->text(), Utf8("赤い竜"));
        QCOMPARE(Child<QLineEdit>(dialog, "EditComment")->text(), FromCp932(card.Comment));
        QVERIFY(Child<QCheckBox>(dialog, "CheckBoxExist")->isChecked());
        QVERIFY(Child<QLabel>(dialog, "ImageFront")->pixmap().isNull());

        Child<QPushButton>(dialog, "ButtonOK")->click();
        QVERIFY(dialog.EditedCard() == card);
        QVERIFY(QDir(image).isEmpty());
    }

    // The owned mark and the copies follow each other; OK dates a card that became owned and
    // keeps the date of one that stays owned.
    void copiesAndOwnedAgree() {
        TCardInfoInputForm dialog(nullptr);
        auto* owned = Child<QCheckBox>(dialog, "CheckBoxExist");
        auto* count = Child<QSpinBox>(dialog, "SpinBoxCount");
        auto* want = Child<QCheckBox>(dialog, "CheckBoxWant");
        QCOMPARE(count->accessibleName(), Utf8("枚数"));
        QCOMPARE(want->accessibleName(), Utf8("欲しい"));
        dialog.SetCardInfo(Utf8("x"), TCardInfo{}, {}, SaveNothing);
        count->setValue(3);
        QVERIFY(owned->isChecked());
        owned->setChecked(false);
        QCOMPARE(count->value(), 0);
        owned->setChecked(true);
        QCOMPARE(count->value(), 1);
        count->setValue(0);
        QVERIFY(!owned->isChecked());
        count->setValue(2);
        want->setChecked(true);
        Child<QPushButton>(dialog, "ButtonOK")->click();
        QCOMPARE(dialog.EditedCard().Count, 2);
        QVERIFY(dialog.EditedCard().Want);
        QCOMPARE(dialog.EditedCard().Acquired, TodayText());

        TCardInfo card;
        SetCopies(card, 4, "2020-01-01");
        dialog.SetCardInfo(Utf8("x"), card, {}, SaveNothing);
        QCOMPARE(count->value(), 4);
        count->setValue(1);
        Child<QPushButton>(dialog, "ButtonOK")->click();
        QCOMPARE(dialog.EditedCard().Count, 1);
        QCOMPARE(dialog.EditedCard().Acquired, std::string("2020-01-01"));
        dialog.SetCardInfo(Utf8("x"), card, {}, SaveNothing);
        owned->setChecked(false);
        Child<QPushButton>(dialog, "ButtonOK")->click();
        QCOMPARE(dialog.EditedCard().Count, 0);
        QCOMPARE(dialog.EditedCard().Acquired, std::string());
    }

    // Stored pictures by extension in any letter case, fitted into 151 x 199 at the top-left.
    void storedPicturesAreShownFitted_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QSize>("shown");
        QTest::newRow("JPG landscape") << Utf8("p.JPG") << Utf8("landscape.jpg") << QSize(151, 113);
        QTest::newRow("jpeg portrait") << Utf8("p.jpeg") << Utf8("portrait.jpg") << QSize(99, 199);
        QTest::newRow("Bmp") << Utf8("p.Bmp") << Utf8("portrait.bmp") << QSize(99, 199);
        QTest::newRow("missing file") << Utf8("gone.jpg") << QString() << QSize(0, 0);
        QTest::newRow("a folder") << Utf8("folder.jpg") << QString() << QSize(0, 0);
    }
    void storedPicturesAreShownFitted() {
        QFETCH(QString, name);
        QFETCH(QString, fixture);
        QFETCH(QSize, shown);
        QTemporaryDir image;
        if (!fixture.isEmpty()) CopyFixture(fixture.toUtf8().constData(), image.path(), name);
        QDir(image.path()).mkdir(Utf8("folder.jpg"));
        TCardInfo card;
        card.BackImageFileName = name.toStdString();
        TCardInfoInputForm dialog(nullptr);
        dialog.SetCardInfo(Utf8("x"), card, image.path().toStdString(), SaveNothing);
        auto* label = Child<QLabel>(dialog, "ImageBack");
        QCOMPARE(label->pixmap().size(), shown);
        QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
    }

    // Reported, and the dialog still prepared: the frame keeps the name and says so.
    void storedPicturesThatCannotBeShownAreReported_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("message");
        QTest::newRow("wmf") << Utf8("p.wmf") << Utf8("landscape.jpg")
                             << Utf8("拡張子 .wmf の画像形式は処理できません");
        QTest::newRow("EMF as written") << Utf8("p.EMF") << Utf8("landscape.jpg")
                                        << Utf8("拡張子 .EMF の画像形式は処理できません");
        QTest::newRow("no extension") << Utf8("plain") << Utf8("landscape.jpg")
                                      << Utf8("拡張子 . の画像形式は処理できません");
        QTest::newRow("bad JPEG") << Utf8("p.jpg") << Utf8("broken.jpg") << Utf8("JPEG エラー #");
        QTest::newRow("bad BMP") << Utf8("p.bmp") << Utf8("broken.jpg") << Utf8("ファイル ");
    }
    void storedPicturesThatCannotBeShownAreReported() {
        QFETCH(QString, name);
        QFETCH(QString, fixture);
        QFETCH(QString, message);
        QTemporaryDir image;
        CopyFixture(fixture.toUtf8().constData(), image.path(), name);
        TCardInfo card;
        card.FrontImageFileName = name.toStdString();
        TCardInfoInputForm dialog(nullptr);
        QString report;
        AnswerNextModal(Utf8("OK"),
                        [&](QWidget* box) { report = static_cast<QMessageBox*>(box)->text(); });
        dialog.SetCardInfo(Utf8("x"), card, image.path().toStdString(), SaveNothing);
        QVERIFY2(report.startsWith(message), qPrintable(report));
        auto* label = Child<QLabel>(dialog, "ImageFront");
        QVERIFY(label->pixmap().isNull());
        QCOMPARE(label->text(), Utf8("この画像は表示できません\n") + name);
        QVERIFY(dialog.EditedCard() == card);
    }

    // Each use starts in EditNumber, wherever the focus was left before.
    void focusStartsInTheNumber() {
        TCardInfoInputForm dialog(nullptr);
        dialog.SetCardInfo(Utf8("x"), TCardInfo{}, {}, SaveNothing);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), Child(dialog, "EditNumber"));
        Child(dialog, "ButtonCancel")->setFocus();
        dialog.reject();
        dialog.SetCardInfo(Utf8("x"), TCardInfo{}, {}, SaveNothing);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), Child(dialog, "EditNumber"));
    }

    void frameHasNoMinimiseOrMaximise() {
        TCardInfoInputForm dialog(nullptr);
        const Qt::WindowFlags flags = dialog.windowFlags();
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                           Qt::WindowContextHelpButtonHint)));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QCOMPARE(dialog.windowType(), Qt::Dialog);
    }

    void fittingNeverGivesAnEmptySide() {
        QCOMPARE(FitToArea({1000, 1}, {151, 199}), QSize(151, 1));
        QCOMPARE(FitToArea({1, 1000}, {151, 199}), QSize(1, 199));
        QCOMPARE(FitToArea({151, 199}, {151, 199}), QSize(151, 199));
        QCOMPARE(FitToArea({10, 10}, {151, 199}), QSize(151, 151));
    }
};

QTEST_MAIN(CardInfoInputDlgTest)
#include "CardInfoInputDlgTest.moc"
