// Pictures chosen with the open dialog from a frame's menu or a double-click, the line that says
// why a file was refused, and stored pictures that cannot be shown.
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QtTest>

#include "CardDialogFixture.h"
#include "MainWindowHarness.h"

namespace {

// Picks the menu item with that object name in the next popup menu.
void PickMenuItem(const char* name) {
    auto* timer = new QTimer(qApp);
    auto deadline = std::make_shared<QDeadlineTimer>(10000);
    QObject::connect(timer, &QTimer::timeout, [timer, name, deadline] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr && !deadline->hasExpired()) return;
        timer->stop();
        timer->deleteLater();
        if (menu == nullptr) return;
        if (auto* action = menu->findChild<QAction*>(QString::fromLatin1(name))) {
            menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
        }
        menu->close();
    });
    timer->start(5);
}

void OpenMenu(QWidget* frame) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                            frame->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(frame, &event);
}

}  // namespace

class CardDialogChooseTest : public QObject, private TCardDialogFixture {
    Q_OBJECT

    QLabel* Child(const char* name) { return m_dialog->findChild<QLabel*>(Utf8(name)); }

private slots:
    void init() { SetUpFolders(); }
    void cleanup() { TearDownFolders(); }

    void pictureIsChosenFromTheMenuOrByDoubleClick_data() {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("double-click on the front") << Utf8("Panel1") << false;
        QTest::newRow("menu of the back") << Utf8("Panel2") << true;
    }
    void pictureIsChosenFromTheMenuOrByDoubleClick() {
        QFETCH(QString, frame);
        QFETCH(bool, byMenu);
        Prepare(TCardInfo{});
        const QString file = CopyFixture("landscape.jpg", m_drop, Utf8("chosen.jpg"));
        QString caption;
        ActOnNext<QFileDialog>([&](QFileDialog* dialog) {
            caption = dialog->windowTitle();
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(file);
            static_cast<QDialog*>(dialog)->accept();
        });
        QWidget* panel = m_dialog->findChild<QWidget*>(frame);
        if (byMenu) {
            PickMenuItem("ChoosePicture");
            OpenMenu(panel);
        } else {
            QTest::mouseDClick(panel, Qt::LeftButton, {}, QPoint(30, 30));
        }
        QCOMPARE(caption, Utf8("画像を選択"));
        PressOk();
        QVERIFY(ClosedWithOk());
        const TCardInfo& saved = m_dialog->EditedCard();
        QCOMPARE(byMenu ? saved.BackImageFileName : saved.FrontImageFileName,
                 std::string("chosen.jpg"));
        QCOMPARE(ReadBytes(Image("chosen.jpg")), ReadBytes(file));
    }

    void menuDeleteRemovesThePicture() {
        Prepare(StoredCard());
        PickMenuItem("DeletePicture");
        OpenMenu(Panel("Panel1"));
        QVERIFY(Child("ImageFront")->pixmap().isNull());
        PressOk();
        QVERIFY(ClosedWithOk());
        QVERIFY(m_dialog->EditedCard().FrontImageFileName.empty());
        QVERIFY(!InImage("old.jpg"));
    }

    // The extension is refused in a line of the dialog, after the name check as for a drop;
    // the next file taken clears the line.
    void wrongExtensionIsExplainedInTheDialog_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("png") << Utf8("scan.png");
        QTest::newRow("upper-case JPG") << Utf8("photo.JPG");
    }
    void wrongExtensionIsExplainedInTheDialog() {
        QFETCH(QString, name);
        Prepare(TCardInfo{});
        QLabel* notice = Child("LabelNotice");
        QVERIFY(notice->text().isEmpty());
        TUnexpectedBoxes boxes;
        m_dialog->DropFile(TCardSide::Front, CopyFixture("landscape.jpg", m_drop, name));
        QCOMPARE(boxes.Count(), 0);
        QVERIFY(notice->text().contains(Utf8(".jpg")) && notice->text().contains(Utf8(".jpeg")));
        QVERIFY(notice->isVisibleTo(m_dialog.get()));
        QCOMPARE(notice->accessibleName(), Utf8("画像についてのお知らせ"));
        QVERIFY(Child("ImageFront")->pixmap().isNull());

        m_dialog->DropFile(TCardSide::Front, CopyFixture("landscape.jpg", m_drop, Utf8("a.jpg")));
        QVERIFY(notice->text().isEmpty());
    }

    void takenNameIsRefusedForAChosenFileToo() {
        CopyFixture("portrait.jpg", m_image, Utf8("other.jpg"));
        Prepare(TCardInfo{});
        const QString file = CopyFixture("landscape.jpg", m_drop, Utf8("other.jpg"));
        QString text;
        ActOnNext<QFileDialog>([&](QFileDialog* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(file);
            AnswerBox(Utf8("OK"), [&](QMessageBox* box) { text = box->text(); });
            static_cast<QDialog*>(dialog)->accept();
        });
        m_dialog->ChoosePicture(TCardSide::Front);
        QCOMPARE(text, Utf8("既に同じファイル名で登録されているので登録できません"));
        QVERIFY(Child("ImageFront")->pixmap().isNull());
    }

    // The dialog opens after the failure report; the frame keeps the name and says the picture
    // cannot be shown; the card is then repaired by replacing one side and deleting the other.
    void cardWithUnshowablePicturesCanBeRepaired() {
        CopyFixture("broken.jpg", m_image, Utf8("bad.jpg"));
        CopyFixture("landscape.jpg", m_image, Utf8("scan.wmf"));
        TCardInfo card;
        card.FrontImageFileName = "bad.jpg";
        card.BackImageFileName = "scan.wmf";
        QStringList reports;
        AnswerBox(Utf8("OK"), [&](QMessageBox* box) {
            reports << box->text();
            AnswerBox(Utf8("OK"), [&](QMessageBox* second) { reports << second->text(); });
        });
        Prepare(card);
        QTRY_COMPARE(reports.size(), 2);
        QVERIFY2(reports[0].startsWith(Utf8("JPEG エラー #")), qPrintable(reports[0]));
        QCOMPARE(reports[1], Utf8("拡張子 .wmf の画像形式は処理できません."));
        QCOMPARE(Child("ImageFront")->text(), Utf8("この画像は表示できません\nbad.jpg"));
        QCOMPARE(Child("ImageBack")->text(), Utf8("この画像は表示できません\nscan.wmf"));

        QVERIFY(
            SimulateDrop(Panel("Panel1"), {CopyFixture("portrait.jpg", m_drop, Utf8("good.jpg"))}));
        QVERIFY(!Child("ImageFront")->pixmap().isNull());
        Button("sbDeleteBackImage")->click();
        QVERIFY(Child("ImageBack")->text().isEmpty());
        PressOk();
        QVERIFY(ClosedWithOk());
        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("good.jpg"));
        QVERIFY(m_dialog->EditedCard().BackImageFileName.empty());
        QVERIFY(InImage("good.jpg") && !InImage("bad.jpg") && !InImage("scan.wmf"));
    }
};

QTEST_MAIN(CardDialogChooseTest)
#include "CardDialogChooseTest.moc"
