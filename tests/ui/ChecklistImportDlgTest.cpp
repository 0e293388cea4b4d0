// The checklist import dialog on its own: the preview follows the user's choices, pasted text
// from a spreadsheet or a web page is read as the file would be, and a large file is read
// without freezing the dialog.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThreadPool>
#include <QtTest>

#include "CardDialogSupport.h"
#include "ChecklistDialogSupport.h"
#include "MainWindowHarness.h"
#include "QtText.h"
#include "TempDir.h"

namespace {

const std::filesystem::path kChecklists =
    std::filesystem::path(VASTRELLE_TEST_DATA_DIR) / "checklists";

TCardInfos TenCards() {
    TCardInfos cards(10);
    for (std::size_t i = 0; i < cards.size(); ++i) cards[i].Number = "00" + std::to_string(i);
    cards.back().Number = "010";
    return cards;
}

}  // namespace

class ChecklistImportDlgTest : public QObject {
    Q_OBJECT

private slots:
    void previewFollowsTheChosenColumnsAndOptions() {
        TChecklistImportForm dialog(nullptr);
        dialog.SetFile(kChecklists / "spreadsheet-cp932.csv", {});
        QVERIFY(WaitForPreview(dialog));
        QCOMPARE(dialog.EncodingBox()->currentText(), Utf8("Shift_JIS"));
        QVERIFY(dialog.HeaderBox()->isChecked());
        QCOMPARE(dialog.ColumnBox(2)->currentText(), Utf8("無視"));  // the rarity
        QCOMPARE(dialog.PreviewText(), Utf8("新規 10 枚、変更 0 枚、変更なし 0 枚"));

        // Against cards 000 to 008 and 010: nine rows match, 009 is new; the rarity taken as the
        // comment.
        dialog.SetFile(kChecklists / "spreadsheet-cp932.csv", TenCards());
        QVERIFY(WaitForPreview(dialog));
        dialog.ColumnBox(2)->setCurrentIndex(
            dialog.ColumnBox(2)->findData(static_cast<int>(TChecklistField::Comment)));
        QVERIFY(WaitForPreview(dialog));
        QCOMPARE(dialog.PreviewText(), Utf8("新規 1 枚、変更 9 枚、変更なし 0 枚"));
        QCOMPARE(dialog.ColumnBox(2)->currentText(), Utf8("コメント"));
        QCOMPARE(FromCp932(dialog.Plan().Cards[3].Comment), Utf8("RR, 2進化"));

        // Read as UTF-8 the Shift_JIS titles do not decode: with the columns kept as chosen, every
        // row is refused by its line.
        dialog.EncodingBox()->setCurrentIndex(
            dialog.EncodingBox()->findData(static_cast<int>(TTableEncoding::Utf8)));
        QVERIFY(WaitForPreview(dialog));
        QCOMPARE(dialog.RefusedList()->count(), 10);
        QVERIFY(dialog.RefusedList()->item(0)->text().startsWith(Utf8("2 行目: ")));

        // Semicolons split nothing here: one column, the whole line the number.
        dialog.EncodingBox()->setCurrentIndex(
            dialog.EncodingBox()->findData(static_cast<int>(TTableEncoding::Cp932)));
        dialog.DelimiterBox()->setCurrentIndex(
            dialog.DelimiterBox()->findData(static_cast<int>(TTableDelimiter::Semicolon)));
        QVERIFY(WaitForPreview(dialog));
        QCOMPARE(dialog.Table().ColumnCount(), std::size_t(1));
        QVERIFY(dialog.ColumnBox(1) == nullptr);
    }

    void pastedTextIsReadLikeAFile() {
        struct Case {
            const char* text;
            std::vector<std::pair<const char*, const char*>> cards;  // number, title
        };
        const std::vector<Case> cases = {
            {"023 炎の剣士\n024\u3000氷の 剣士\n", {{"023", "炎の剣士"}, {"024", "氷の 剣士"}}},
            {"001\t炎の剣士\tC\r\n002\t氷\tU\r\n", {{"001", "炎の剣士"}, {"002", "氷"}}},
        };
        for (const Case& c : cases) {
            TChecklistImportForm dialog(nullptr);
            dialog.SetText(Utf8(c.text), {});
            QVERIFY(WaitForPreview(dialog));
            QVERIFY(!dialog.EncodingBox()->isEnabled());
            const TCardInfos& cards = dialog.Plan().Cards;
            QCOMPARE(cards.size(), c.cards.size());
            for (std::size_t i = 0; i < cards.size(); ++i) {
                QCOMPARE(cards[i].Number, Sjis(c.cards[i].first));
                QCOMPARE(cards[i].Title, Sjis(c.cards[i].second));
            }
        }
    }

    // Half a million rows are read while the dialog keeps answering: another encoding chosen
    // meanwhile reads again with it, closing stops the work, a file that does not read is
    // reported, and the dialog takes the next file as usual.
    void aLargeFileIsReadWithoutFreezingAndCanBeStopped() {
        TempDir dir;
        const std::filesystem::path large = dir / "large.csv";
        std::string text = "No,Title\n";
        for (int i = 0; i < 500'000; ++i)
            text += std::to_string(i) + ",Card " + std::to_string(i) + "\n";
        WriteFileBytes(large, text);
        TChecklistImportForm dialog(nullptr);
        auto* progress = dialog.findChild<QProgressBar*>();
        QCOMPARE(progress->accessibleName(), Utf8("読み込みの進み具合"));
        QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        int ticksWhileReading = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ticksWhileReading += dialog.IsReading(); });
        ticker.start(10);
        dialog.show();

        dialog.EncodingBox()->setFocus();  // to be chosen from the keyboard while the read runs
        dialog.SetFile(large, {});
        QVERIFY(dialog.IsReading());
        QVERIFY(!dialog.DelimiterBox()->isEnabled() && !ok->isEnabled());
        dialog.EncodingBox()->setCurrentIndex(
            dialog.EncodingBox()->findData(static_cast<int>(TTableEncoding::Cp932)));
        QTRY_VERIFY(progress->isVisible());
        QVERIFY(WaitForPreview(dialog));
        QCOMPARE(dialog.Table().Encoding, TTableEncoding::Cp932);
        QCOMPARE(dialog.Plan().New, std::size_t(500'000));
        QVERIFY(ticksWhileReading > 5);
        QVERIFY(!progress->isVisible() && ok->isEnabled() && dialog.DelimiterBox()->isEnabled());
        QCOMPARE(dialog.focusWidget(), dialog.EncodingBox());

        dialog.SetFile(large, {});
        dialog.reject();
        QVERIFY(!dialog.IsReading());
        QTRY_COMPARE(dialog.findChild<QThreadPool*>()->activeThreadCount(), 0);

        QVERIFY_THROWS_EXCEPTION(VastrelleError, dialog.SetFile(dir / "missing.csv", {}));
        // Gone before another encoding is chosen.
        const std::filesystem::path gone = dir / "gone.csv";
        std::filesystem::copy_file(kChecklists / "spreadsheet-cp932.csv", gone);
        dialog.SetFile(gone, {});
        QVERIFY(WaitForPreview(dialog));
        std::filesystem::remove(gone);
        QSignalSpy rejected(&dialog, &QDialog::rejected);
        QString said;
        AnswerBox(Utf8("OK"), [&said](QMessageBox* box) { said = box->text(); });
        dialog.EncodingBox()->setCurrentIndex(
            dialog.EncodingBox()->findData(static_cast<int>(TTableEncoding::Utf8)));
        QVERIFY(WaitForPreview(dialog));
        QVERIFY(said.endsWith(Utf8("gone.csv は開けません.")));
        QCOMPARE(rejected.count(), 1);

        dialog.SetFile(kChecklists / "spreadsheet-cp932.csv", {});
        QVERIFY(WaitForPreview(dialog));
        QCOMPARE(dialog.PreviewText(), Utf8("新規 10 枚、変更 0 枚、変更なし 0 枚"));
    }
};

QTEST_MAIN(ChecklistImportDlgTest)
#include "ChecklistImportDlgTest.moc"
