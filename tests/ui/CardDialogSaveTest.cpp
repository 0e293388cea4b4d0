// The card dialog's OK as one save: what it hands to the save, and what a failed save leaves.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "CardDialogFixture.h"
#include "FileSizeLimit.h"
#include "MainWindowHarness.h"
#include "TreeSnapshot.h"
#include "cardlist/CardList.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"

namespace {

struct TSaveCall {
    TCardInfo Card;
    TSideChange Front;
    TSideChange Back;
};

// Answers the next box with its first button, whatever the kind of the failure, and keeps the
// text.
void AnswerFirstButton(QString* text) {
    ActOnNext<QMessageBox>([text](QMessageBox* box) {
        *text = box->text();
        box->buttons().front()->click();
    });
}

}  // namespace

class CardDialogSaveTest : public QObject, private TCardDialogFixture {
    Q_OBJECT

    QLineEdit* Edit(const char* name) { return m_dialog->findChild<QLineEdit*>(Utf8(name)); }
    QLabel* Picture(const char* name) { return m_dialog->findChild<QLabel*>(Utf8(name)); }

private slots:
    void init() { SetUpFolders(); }
    void cleanup() { TearDownFolders(); }

    void failedSaveKeepsEverythingEnteredAndARetrySavesIt() {
        TCardInfo card = StoredCard();
        CopyFixture("landscape.jpg", m_image, Utf8("oldback.jpg"));
        card.BackImageFileName = "oldback.jpg";
        std::vector<TSaveCall> calls;
        TCardSaver save = SaveAsOnlyCard(m_image, card);
        m_dialog->SetCardInfo(
            Utf8("カード情報の編集画面"), card, m_image.toStdString(),
            [&](const TCardInfo& edited, const TSideChange& front, const TSideChange& back) {
                calls.push_back({edited, front, back});
                if (calls.size() == 1)
                    throw VastrelleError(msg::kCardListSaveFailed, MessageKind::ErrorAbort);
                return save(edited, front, back);
            });
        m_dialog->show();
        Edit("EditNumber")->setText(Utf8("8"));
        Edit("EditTitle")->setText(Utf8("赤い竜"));
        Edit("EditComment")->setText(Utf8("初版"));
        m_dialog->findChild<QCheckBox*>(Utf8("CheckBoxExist"))->setChecked(true);
        QString dropped = CopyFixture("portrait.jpg", m_drop, Utf8("new.jpg"));
        QVERIFY(SimulateDrop(Panel("Panel1"), {dropped}));
        Button("sbDeleteBackImage")->click();

        QString text;
        AnswerFirstButton(&text);
        PressOk();
        QCOMPARE(text, Utf8(msg::kCardListSaveFailed));
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(Edit("EditNumber")->text(), Utf8("8"));
        QCOMPARE(Edit("EditTitle")->text(), Utf8("赤い竜"));
        QCOMPARE(Edit("EditComment")->text(), Utf8("初版"));
        QVERIFY(m_dialog->findChild<QCheckBox*>(Utf8("CheckBoxExist"))->isChecked());
        QCOMPARE(Picture("ImageFront")->pixmap().size(), QSize(99, 199));
        QVERIFY(Picture("ImageBack")->pixmap().isNull());
        QVERIFY(m_dialog->EditedCard() == card);

        PressOk();
        QVERIFY(ClosedWithOk());
        QCOMPARE(calls.size(), std::size_t(2));
        const TSaveCall& retry = calls[1];
        QCOMPARE(retry.Card.Title, Sjis("赤い竜"));
        QVERIFY(retry.Card.Owned);
        QCOMPARE(retry.Card.FrontImageFileName, std::string("old.jpg"));
        QVERIFY(retry.Front.Edit == TSideEdit::Replace);
        QCOMPARE(retry.Front.Picture.Name, std::string("new.jpg"));
        QCOMPARE(QByteArray::fromStdString(retry.Front.Picture.Bytes), ReadBytes(dropped));
        // Decoded once at the drop, at full size, for the thumbnails.
        QVERIFY(retry.Front.Picture.Decoded != nullptr);
        QCOMPARE(QSize(retry.Front.Picture.Decoded->Width, retry.Front.Picture.Decoded->Height),
                 QImage(dropped).size());
        QVERIFY(retry.Back.Edit == TSideEdit::Remove);

        QCOMPARE(m_dialog->EditedCard().FrontImageFileName, std::string("new.jpg"));
        QVERIFY(m_dialog->EditedCard().BackImageFileName.empty());
        QCOMPARE(ReadBytes(Image("new.jpg")), ReadBytes(dropped));
        QVERIFY(InImage("new.thm") && InImage("new.thm_large"));
        QVERIFY(!InImage("old.jpg") && !InImage("oldback.jpg"));
    }

    // A real failure of the disk while saving, then Cancel: every file is as it was before the
    // dialog opened.
    void cancelAfterAFailedSaveLeavesEveryFileAsBefore_data() {
        QTest::addColumn<int>("limit");
        QTest::newRow("the new picture cannot be written") << 256;
        // The pictures and thumbnails fit; the card list, with its long comment, does not.
        QTest::newRow("the card list cannot be written") << 64 * 1024;
    }
    void cancelAfterAFailedSaveLeavesEveryFileAsBefore() {
        QFETCH(int, limit);
        TCardInfo card = StoredCard();
        card.Comment = std::string(100 * 1024, 'x');
        WriteCardList({card}, m_root->path().toStdString());
        Prepare(card);
        const QString dropped = CopyFixture("portrait.jpg", m_drop, Utf8("new.jpg"));
        const TreeSnapshot before = SnapshotTree(m_root->path().toStdString());
        QVERIFY(SimulateDrop(Panel("Panel1"), {dropped}));
        Button("sbDeleteBackImage")->click();
        Edit("EditTitle")->setText(Utf8("changed"));

        QString text;
        {
            TFileSizeLimit full(static_cast<rlim_t>(limit));
            AnswerFirstButton(&text);
            PressOk();
        }
        QVERIFY(!text.isEmpty());
        QVERIFY(m_dialog->isVisible());
        Button("ButtonCancel")->click();
        QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
        const TreeSnapshot after = SnapshotTree(m_root->path().toStdString());
        QVERIFY2(after == before, TreeDifferences(before, after).c_str());
    }
};

QTEST_MAIN(CardDialogSaveTest)
#include "CardDialogSaveTest.moc"
