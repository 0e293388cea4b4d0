// Drops on the card dialog's frames and what OK and Cancel then do to the image folder.
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "CardDialogSupport.h"
#include "CardInfoInputDlg.h"
#include "Cp932.h"
#include "MessageBoxes.h"
#include "ModalAnswer.h"

namespace {

// Answers the next box with the given button and keeps its text.
void AnswerAndKeepText(const char* button, QString* text) {
    AnswerNextModal(Utf8(button), [text](QWidget* box) {
        if (auto* message = qobject_cast<QMessageBox*>(box)) *text = message->text();
    });
}

std::string Cp932(const char* utf8) { return *cp932::FromUtf8(utf8); }

}  // namespace

class CardDialogDropTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<TCardInfoInputForm> m_dialog;
    QString m_image;
    QString m_drop;

    QWidget* Panel(const char* name) { return m_dialog->findChild<QFrame*>(Utf8(name)); }
    QPushButton* Button(const char* name) { return m_dialog->findChild<QPushButton*>(Utf8(name)); }
    QString Image(const char* name) { return m_image + QLatin1Char('/') + Utf8(name); }
    QString Dropped(const char* name) { return m_drop + QLatin1Char('/') + Utf8(name); }
    bool InImage(const char* name) { return QFile::exists(Image(name)); }

    // A card whose front picture old.jpg (with thumbnails) is stored in the image folder.
    TCardInfo StoredCard() {
        CopyFixture("landscape.jpg", m_image, Utf8("old.jpg"));
        CopyFixture("landscape.jpg", m_image, Utf8("old.thm"));
        CopyFixture("landscape.jpg", m_image, Utf8("old.thm_large"));
        TCardInfo card;
        card.FrontImageFileName = "old.jpg";
        card.Number = "7";
        return card;
    }

    void Prepare(const TCardInfo& card) {
        m_dialog->SetCardInfo(Utf8("カード情報の編集画面"), card, m_image.toStdString());
        m_dialog->show();
    }

    void PressOk() { Button("ButtonOK")->click(); }
    bool ClosedWithOk() {
        return !m_dialog->isVisible() && m_dialog->result() == QDialog::Accepted;
    }

private slots:
    void init() {
        m_root = std::make_unique<QTemporaryDir>();
        m_image = m_root->filePath(Utf8("image"));
        m_drop = m_root->filePath(Utf8("drop"));
        QDir().mkpath(m_image);
        QDir().mkpath(m_drop);
        m_dialog = std::make_unique<TCardInfoInputForm>(nullptr);
    }

    void cleanup() {
        QCoreApplication::processEvents();  // a box answer still pending finds no box
        m_dialog.reset();
        m_root.reset();
    }

    void freeDropsAreStoredAsByteCopiesWithThumbnails() {
        Prepare(TCardInfo{});
        QString front = CopyFixture("landscape.jpg", m_drop, Utf8("写真.jpg"));
        QString back = CopyFixture("portrait.jpg", m_drop, Utf8("back.jpeg"));
        TUnexpectedBoxes boxes;
        QVERIFY(SimulateDrop(Panel("Panel1"), {front}));
        QVERIFY(SimulateDrop(Panel("Panel2"), {back}));
        QCOMPARE(m_dialog->findChild<QLabel*>(Utf8("ImageFront"))->pixmap().size(),
                 QSize(151, 113));
        QVERIFY(!InImage("写真.jpg"));  // nothing is written before OK

        PressOk();
        QVERIFY(ClosedWithOk());
        QCOMPARE(boxes.Count(), 0);
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, Cp932("写真.jpg"));
        QCOMPARE(m_dialog->EditedCard().BackImageFileName, std::string("back.jpeg"));
        QCOMPARE(ReadBytes(Image("写真.jpg")), ReadBytes(FixturePath("landscape.jpg")));
        QCOMPARE(ReadBytes(Image("back.jpeg")), ReadBytes(FixturePath("portrait.jpg")));
        for (const char* thumbnail : {"写真.thm", "写真.thm_large", "back.thm", "back.thm_large"})
            QVERIFY2(InImage(thumbnail), thumbnail);
    }

    void nameOfAnotherPictureIsRefused() {
        QString other = CopyFixture("portrait.jpg", m_image, Utf8("other.jpg"));
        Prepare(StoredCard());
        TFolderSnapshot before = Snapshot(m_image);
        QString text;
        AnswerAndKeepText("OK", &text);
        SimulateDrop(Panel("Panel1"), {CopyFixture("landscape.jpg", m_drop, Utf8("other.jpg"))});
        QCOMPARE(text, Utf8("既に同じファイル名で登録されているので登録できません"));

        PressOk();
        QVERIFY(ClosedWithOk());
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("old.jpg"));
        QVERIFY(Snapshot(m_image) == before);
    }

    void ownPictureIsReplacedOnlyOnYes_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("sameFile");
        QTest::newRow("yes, another file") << Utf8("はい(&Y)") << false;
        QTest::newRow("yes, the stored file itself") << Utf8("はい(&Y)") << true;
        QTest::newRow("no") << Utf8("いいえ(&N)") << false;
    }
    void ownPictureIsReplacedOnlyOnYes() {
        QFETCH(QString, answer);
        QFETCH(bool, sameFile);
        Prepare(StoredCard());
        TFolderSnapshot before = Snapshot(m_image);
        QString source =
            sameFile ? Image("old.jpg") : CopyFixture("portrait.jpg", m_drop, Utf8("old.jpg"));
        QByteArray expected = ReadBytes(source);
        QString text;
        AnswerNextModal(answer,
                        [&text](QWidget* box) { text = qobject_cast<QMessageBox*>(box)->text(); });
        SimulateDrop(Panel("Panel1"), {source});
        QCOMPARE(text, Utf8("上書きしてもよろしいですか？"));

        PressOk();
        QVERIFY(ClosedWithOk());
        if (answer == Utf8("いいえ(&N)")) {
            QVERIFY(Snapshot(m_image) == before);
            QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("old.jpg"));
            return;
        }
        TFolderSnapshot after = Snapshot(m_image);
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("old.jpg"));
        QCOMPARE(after.at("old.jpg").Bytes, expected);
        // The thumbnails are made anew from the new picture.
        QVERIFY(after.at("old.thm").Written != before.at("old.thm").Written ||
                after.at("old.thm").Bytes != before.at("old.thm").Bytes);
    }

    // Not a JPEG by its exact extension, not a local file, or only offered as a move: nothing
    // is asked, held or written.
    void dropsThatAreNotTaken_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("actions");
        const int copy = Qt::CopyAction | Qt::MoveAction;
        QTest::newRow("png") << Utf8("scan.png") << copy;
        QTest::newRow("upper-case JPG") << Utf8("PHOTO.JPG") << copy;
        QTest::newRow("no extension") << Utf8("photo") << copy;
        QTest::newRow("web picture") << Utf8("https://example.com/a.jpg") << copy;
        QTest::newRow("move only") << Utf8("photo.jpg") << int(Qt::MoveAction);
    }
    void dropsThatAreNotTaken() {
        QFETCH(QString, url);
        QFETCH(int, actions);
        Prepare(TCardInfo{});
        QMimeData data;
        if (url.startsWith(Utf8("https:")))
            data.setUrls({QUrl(url)});
        else
            data.setUrls({QUrl::fromLocalFile(CopyFixture("landscape.jpg", m_drop, url))});
        TUnexpectedBoxes boxes;
        SimulateDrop(Panel("Panel1"), data, Qt::DropActions(actions));
        PressOk();
        QVERIFY(ClosedWithOk());
        QCOMPARE(boxes.Count(), 0);
        QVERIFY(m_dialog->EditedCard().FrontImageFileName.empty());
        QVERIFY(Snapshot(m_image).empty());
    }

    void textDragIsNotAccepted() {
        Prepare(TCardInfo{});
        QMimeData data;
        data.setText(Utf8("/tmp/a.jpg"));
        QVERIFY(!SimulateDrop(Panel("Panel2"), data));
    }

    void onlyTheFirstOfSeveralFilesCounts() {
        Prepare(TCardInfo{});
        QStringList files{CopyFixture("landscape.jpg", m_drop, Utf8("a.jpg")),
                          CopyFixture("portrait.jpg", m_drop, Utf8("b.jpg")),
                          CopyFixture("portrait.jpg", m_drop, Utf8("c.jpg"))};
        QVERIFY(SimulateDrop(Panel("Panel1"), files));
        PressOk();
        QVERIFY(ClosedWithOk());
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("a.jpg"));
        QVERIFY(InImage("a.jpg") && !InImage("b.jpg") && !InImage("c.jpg"));
    }

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
        card.Title = Cp932("表題");
        Prepare(card);
        TFolderSnapshot before = Snapshot(m_image);
        m_dialog->findChild<QLineEdit*>(Utf8("EditComment"))->setText(Utf8(" 角 "));
        m_dialog->findChild<QCheckBox*>(Utf8("CheckBoxExist"))->setChecked(true);
        PressOk();
        QVERIFY(ClosedWithOk());
        QVERIFY(Snapshot(m_image) == before);
        TCardInfo expected = card;
        expected.Comment = Cp932(" 角 ");  // exactly as typed, spaces kept
        expected.Owned = true;
        QVERIFY(m_dialog->EditedCard() == expected);
    }

    void unreadablePictureKeepsTheSideAsItWas() {
        Prepare(TCardInfo{});
        SimulateDrop(Panel("Panel1"), {CopyFixture("landscape.jpg", m_drop, Utf8("good.jpg"))});
        QString text;
        AnswerAndKeepText("OK", &text);
        SimulateDrop(Panel("Panel1"), {CopyFixture("broken.jpg", m_drop, Utf8("bad.jpg"))});
        QVERIFY2(text.startsWith(Utf8("JPEG エラー #")), qPrintable(text));
        PressOk();
        QVERIFY(ClosedWithOk());
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("good.jpg"));
        QVERIFY(!InImage("bad.jpg"));
    }

    void failedOkReportsAndStaysOpen() {
        Prepare(StoredCard());
        SimulateDrop(Panel("Panel1"), {CopyFixture("portrait.jpg", m_drop, Utf8("new.jpg"))});
        // The image folder vanishes between the drop and OK: nothing can be written.
        QString away = m_root->filePath(Utf8("away"));
        QVERIFY(QDir().rename(m_image, away));
        QString title;
        AnswerNextModal(Utf8("OK"), [&title](QWidget* box) { title = box->windowTitle(); });
        PressOk();
        QCOMPARE(title, ApplicationTitle());
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("old.jpg"));

        QVERIFY(QDir().rename(away, m_image));
        PressOk();  // the dialog kept its flags: a second OK stores the picture
        QVERIFY(ClosedWithOk());
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("new.jpg"));
        QVERIFY(InImage("new.jpg") && !InImage("old.jpg"));
    }

    // Decision: the full path is used however long it is; a cut path would name another file.
    void longPathIsUsedWhole() {
        Prepare(TCardInfo{});
        QString folder = m_drop;
        while (folder.size() < 300) folder += Utf8("/a_rather_long_folder_name_0123456789");
        QString file = CopyFixture("landscape.jpg", folder, Utf8("deep.jpg"));
        QVERIFY(SimulateDrop(Panel("Panel1"), {file}));
        PressOk();
        QVERIFY(ClosedWithOk());
        QCOMPARE(ReadBytes(Image("deep.jpg")), ReadBytes(FixturePath("landscape.jpg")));
    }

    // Decision: a name that CP932 cannot hold would be stored under a mangled name.
    void nameWithoutCp932FormIsRefused() {
        Prepare(TCardInfo{});
        QString text;
        AnswerAndKeepText("OK", &text);
        SimulateDrop(Panel("Panel1"),
                     {CopyFixture("landscape.jpg", m_drop, Utf8("smile\xF0\x9F\x98\x80.jpg"))});
        QCOMPARE(text, Utf8("ファイル名に使用できない文字が含まれているので登録できません"));
        PressOk();
        QVERIFY(ClosedWithOk());
        QVERIFY(Snapshot(m_image).empty());
    }

    // Decision: one new name on both sides would end as one file named by both.
    void newNameHeldForTheOtherSideIsTaken() {
        Prepare(TCardInfo{});
        QString file = CopyFixture("landscape.jpg", m_drop, Utf8("both.jpg"));
        SimulateDrop(Panel("Panel1"), {file});
        QString text;
        AnswerAndKeepText("OK", &text);
        SimulateDrop(Panel("Panel2"), {file});
        QCOMPARE(text, Utf8("既に同じファイル名で登録されているので登録できません"));
        PressOk();
        QVERIFY(ClosedWithOk());
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("both.jpg"));
        QVERIFY(m_dialog->EditedCard().BackImageFileName.empty());
    }

    // A typed text that CP932 cannot hold is refused before any file changes.
    void textWithoutCp932FormKeepsTheDialogOpen() {
        TCardInfo card = StoredCard();
        Prepare(card);
        TFolderSnapshot before = Snapshot(m_image);
        SimulateDrop(Panel("Panel1"), {CopyFixture("portrait.jpg", m_drop, Utf8("new.jpg"))});
        m_dialog->findChild<QLineEdit*>(Utf8("EditTitle"))->setText(Utf8("\xF0\x9F\x98\x80"));
        QString text;
        AnswerAndKeepText("OK", &text);
        PressOk();
        QCOMPARE(text, Utf8("タイトルに使用できない文字が含まれているので登録できません"));
        QVERIFY(m_dialog->isVisible());
        QVERIFY(m_dialog->EditedCard() == card);
        QVERIFY(Snapshot(m_image) == before);
    }
};

QTEST_MAIN(CardDialogDropTest)
#include "CardDialogDropTest.moc"
