// Large dropped pictures are decoded off the GUI thread: the window keeps drawing, OK waits for
// the picture, and a drop given up before it is decoded leaves no trace.
#include <QLabel>
#include <QRandomGenerator>
#include <QThreadPool>
#include <QtTest>

#include "CardDialogFixture.h"
#include "MainWindowHarness.h"
#include "PictureLoader.h"

class CardDialogLargeDropTest : public QObject, private TCardDialogFixture {
    Q_OBJECT

    // A noisy JPEG, so that it stays above the size that is decoded in the background.
    QString LargePhoto(const char* name) {
        QImage noise(1200, 900, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, random.generate());
        QString path = m_drop + QLatin1Char('/') + Utf8(name);
        noise.save(path, "JPEG", 100);
        return path;
    }
    QString LargeBrokenFile(const char* name) {
        QString path = m_drop + QLatin1Char('/') + Utf8(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(TPictureLoader::kBackgroundBytes + 1, 'x'));
        return path;
    }
    // Lets every worker finish and its result (if still wanted) arrive.
    static void SettleWorkers() {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QTest::qWait(20);
    }
    QLabel* FrontPicture() { return m_dialog->findChild<QLabel*>(Utf8("ImageFront")); }

private slots:
    void init() { SetUpFolders(); }
    void cleanup() {
        SettleWorkers();
        TearDownFolders();
    }

    void okWaitsForTheDecodedPicture() {
        QString photo = LargePhoto("big.jpg");
        QVERIFY(QFileInfo(photo).size() >= TPictureLoader::kBackgroundBytes);
        Prepare(TCardInfo{});
        QVERIFY(SimulateDrop(Panel("Panel1"), {photo}));
        QVERIFY(!Button("ButtonOK")->isEnabled());
        PressOk();
        QVERIFY(m_dialog->isVisible());
        QVERIFY(FrontPicture()->pixmap().isNull());

        QTRY_VERIFY(Button("ButtonOK")->isEnabled());
        QCOMPARE(FrontPicture()->pixmap().size(), QSize(151, 113));
        PressOk();
        QVERIFY(ClosedWithOk());
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("big.jpg"));
        QCOMPARE(ReadBytes(Image("big.jpg")), ReadBytes(photo));
    }

    void brokenLargeFileIsReportedWhenDecoded() {
        Prepare(StoredCard());
        QString text;
        AnswerBox(Utf8("OK"), [&text](QMessageBox* box) { text = box->text(); });
        QVERIFY(SimulateDrop(Panel("Panel1"), {LargeBrokenFile("bad.jpg")}));
        QTRY_VERIFY(Button("ButtonOK")->isEnabled());
        QTRY_VERIFY(!text.isEmpty());
        QVERIFY2(text.startsWith(Utf8("JPEG エラー #")), qPrintable(text));
        QVERIFY(!FrontPicture()->pixmap().isNull());  // old.jpg still shown
        PressOk();
        QVERIFY(ClosedWithOk());
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("old.jpg"));
    }

    // Delete on the side, or Cancel, while the picture is being decoded: nothing arrives later,
    // not even a failure report.
    void dropGivenUpWhileDecodingLeavesNoTrace_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("delete") << false;
        QTest::newRow("cancel") << true;
    }
    void dropGivenUpWhileDecodingLeavesNoTrace() {
        QFETCH(bool, cancel);
        Prepare(TCardInfo{});
        TUnexpectedBoxes boxes;
        QVERIFY(SimulateDrop(Panel("Panel1"), {LargePhoto("big.jpg")}));
        QVERIFY(SimulateDrop(Panel("Panel2"), {LargeBrokenFile("bad.jpg")}));
        if (cancel) {
            Button("ButtonCancel")->click();
        } else {
            Button("sbDeleteFrontImage")->click();
            Button("sbDeleteBackImage")->click();
        }
        SettleWorkers();
        QCOMPARE(boxes.Count(), 0);
        QVERIFY(FrontPicture()->pixmap().isNull());
        QCOMPARE(m_dialog->isVisible(), !cancel);
        if (cancel) return;
        QVERIFY(Button("ButtonOK")->isEnabled());
        PressOk();
        QVERIFY(ClosedWithOk());
        QVERIFY(m_dialog->EditedCard().FrontImageFileName.empty());
        QVERIFY(Snapshot(m_image).empty());
    }
};

QTEST_MAIN(CardDialogLargeDropTest)
#include "CardDialogLargeDropTest.moc"
