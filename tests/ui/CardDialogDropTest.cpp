// Drops on the card dialog's frames: which files are asked about, refused or held, and what OK
// then stores.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "CardDialogFixture.h"

class CardDialogDropTest : public QObject, private TCardDialogFixture {
    Q_OBJECT

private slots:
    void init() { SetUpFolders(); }
    void cleanup() { TearDownFolders(); }

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
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, Sjis("写真.jpg"));
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
        QCOMPARE(QByteArray::fromStdString(after.at("old.jpg").bytes), expected);
        // The thumbnails are made anew from the new picture.
        QVERIFY(after.at("old.thm").written != before.at("old.thm").written ||
                after.at("old.thm").bytes != before.at("old.thm").bytes);
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
};

QTEST_MAIN(CardDialogDropTest)
#include "CardDialogDropTest.moc"
