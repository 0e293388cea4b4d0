// The card dialog's delete, OK and Cancel buttons and what they do to the image folder.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "CardDialogFixture.h"
#include "MessageBoxes.h"
#include "cardlist/CardCopies.h"

class CardDialogButtonsTest : public QObject, private TCardDialogFixture {
    Q_OBJECT

private slots:
    void init() { SetUpFolders(); }
    void cleanup() { TearDownFolders(); }

    void secondDropReplacesTheFirst() {
        Prepare(TCardInfo{});
        SimulateDrop(Panel("Panel1"), {CopyFixture("landscape.jpg", m_drop, Utf8("first.jpg"))});
        SimulateDrop(Panel("Panel1"), {CopyFixture("portrait.jpg", m_drop, Utf8("second.jpg"))});
        PressOk();
        QVERIFY(ClosedWithOk());
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("second.jpg"));
        QVERIFY(!InImage("first.jpg") && !InImage("first.thm"));
        QCOMPARE(ReadBytes(Image("second.jpg")), ReadBytes(FixturePath("portrait.jpg")));
    }

    void deleteAndDropOnOneSide_data() {
        QTest::addColumn<bool>("deleteFirst");
        QTest::newRow("delete, then drop") << true;
        QTest::newRow("drop, then delete") << false;
    }
    void deleteAndDropOnOneSide() {
        QFETCH(bool, deleteFirst);
        Prepare(StoredCard());
        QString file = CopyFixture("portrait.jpg", m_drop, Utf8("new.jpg"));
        if (deleteFirst) Button("sbDeleteFrontImage")->click();
        SimulateDrop(Panel("Panel1"), {file});
        if (!deleteFirst) Button("sbDeleteFrontImage")->click();
        PressOk();
        QVERIFY(ClosedWithOk());
        QVERIFY(!InImage("old.jpg") && !InImage("old.thm") && !InImage("old.thm_large"));
        QCOMPARE(InImage("new.jpg"), deleteFirst);
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName,
                 std::string(deleteFirst ? "new.jpg" : ""));
    }

    void deleteOnAnEmptySideTouchesNothing() {
        Prepare(StoredCard());
        TFolderSnapshot before = Snapshot(m_image);
        Button("sbDeleteBackImage")->click();
        PressOk();
        QVERIFY(ClosedWithOk());
        QVERIFY(Snapshot(m_image) == before);
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("old.jpg"));
    }

    void cancelAfterChangesTouchesNothing() {
        TCardInfo card = StoredCard();
        Prepare(card);
        TFolderSnapshot before = Snapshot(m_image);
        SimulateDrop(Panel("Panel2"), {CopyFixture("portrait.jpg", m_drop, Utf8("new.jpg"))});
        Button("sbDeleteFrontImage")->click();
        m_dialog->findChild<QLineEdit*>(Utf8("EditTitle"))->setText(Utf8("changed"));
        Button("ButtonCancel")->click();
        QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
        QVERIFY(Snapshot(m_image) == before);
        QVERIFY(m_dialog->EditedCard() == card);
    }

    void okWithoutChangesCopiesTextsAndTouchesNoFile() {
        TCardInfo card = StoredCard();
        card.Title = Sjis("表題");
        Prepare(card);
        TFolderSnapshot before = Snapshot(m_image);
        m_dialog->findChild<QLineEdit*>(Utf8("EditComment"))->setText(Utf8(" 角 "));
        m_dialog->findChild<QCheckBox*>(Utf8("CheckBoxExist"))->setChecked(true);
        PressOk();
        QVERIFY(ClosedWithOk());
        QVERIFY(Snapshot(m_image) == before);
        TCardInfo expected = card;
        expected.Comment = Sjis(" 角 ");        // exactly as typed, spaces kept
        SetOwned(expected, true, TodayText());  // owned from now on
        QVERIFY(m_dialog->EditedCard() == expected);
    }

    void failedOkReportsAndStaysOpen() {
        Prepare(StoredCard());
        SimulateDrop(Panel("Panel1"), {CopyFixture("portrait.jpg", m_drop, Utf8("new.jpg"))});
        // A file takes the image folder's place between the drop and OK: nothing can be written.
        QString away = m_root->filePath(Utf8("away"));
        QVERIFY(QDir().rename(m_image, away));
        QFile blocker(m_image);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString title;
        AnswerNextModal(Utf8("OK"), [&title](QWidget* box) { title = box->windowTitle(); });
        PressOk();
        QCOMPARE(title, ApplicationTitle());
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("old.jpg"));

        QVERIFY(QFile::remove(m_image));
        QVERIFY(QDir().rename(away, m_image));
        PressOk();  // the dialog kept its flags: a second OK stores the picture
        QVERIFY(ClosedWithOk());
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("new.jpg"));
        QVERIFY(InImage("new.jpg") && !InImage("old.jpg"));
    }

    // A typed text that CP932 cannot hold is refused before any file changes.
    void textWithoutCp932FormKeepsTheDialogOpen() {
        TCardInfo card = StoredCard();
        Prepare(card);
        TFolderSnapshot before = Snapshot(m_image);
        SimulateDrop(Panel("Panel1"), {CopyFixture("portrait.jpg", m_drop, Utf8("new.jpg"))});
        m_dialog->findChild<QLineEdit*>(Utf8("EditTitle"))
            ->setText(Utf8("café é \xF0\x9F\x98\x80"));
        QString text;
        AnswerAndKeepText("OK", &text);
        PressOk();
        // Each character once, in the order typed.
        QCOMPARE(text, Utf8("タイトルの「é」「\xF0\x9F\x98\x80」は Shift_JIS "
                            "で保存できないため登録できません"));
        QVERIFY(m_dialog->isVisible());
        QVERIFY(m_dialog->EditedCard() == card);
        QVERIFY(Snapshot(m_image) == before);
    }
};

QTEST_MAIN(CardDialogButtonsTest)
#include "CardDialogButtonsTest.moc"
