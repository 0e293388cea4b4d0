// The main window's checklist import: from a file into a new card type or the loaded one, and
// from the clipboard into the loaded one. The dialog previews; the core writes.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "CardListModel.h"
#include "CardListView.h"
#include "CardTypeDocument.h"
#include "ChecklistImportDlg.h"
#include "Main.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "checklist/ChecklistImport.h"

namespace {

constexpr const char* kChooseCaption = "チェックリストを開く";
constexpr const char* kChooseFilter = "チェックリスト (*.csv *.tsv *.txt);;すべてのファイル (*)";
constexpr const char* kWhereQuestion =
    "チェックリストから新しいカード種類を作りますか？\n"
    "それとも、読み込み中のカード種類「%1」に取り込みますか？";
constexpr const char* kNewCardType = "新しいカード種類(&N)";
constexpr const char* kIntoLoaded = "このカード種類に取込(&L)";
constexpr const char* kEmptyClipboard =
    "クリップボードに文字がありません。表計算ソフトやWebページの表をコピーしてから貼り付けてくださ"
    "い。";

enum class TTarget { NewCardType, Loaded, None };

// Asks where a checklist goes when a card type is loaded: a new card type or the loaded one.
TTarget AskTarget(QWidget* parent, const QString& loadedName) {
    QMessageBox box(QMessageBox::Question, Tr("チェックリスト取込"),
                    Tr(kWhereQuestion).arg(loadedName), QMessageBox::NoButton, parent);
    QPushButton* newType = box.addButton(Tr(kNewCardType), QMessageBox::AcceptRole);
    QPushButton* loaded = box.addButton(Tr(kIntoLoaded), QMessageBox::AcceptRole);
    box.addButton(Tr("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(newType);
    box.exec();
    if (box.clickedButton() == newType) return TTarget::NewCardType;
    if (box.clickedButton() == loaded) return TTarget::Loaded;
    return TTarget::None;
}

}  // namespace

TChecklistImportForm* TVastrelleMainForm::ChecklistDialog() {
    if (m_checklistDialog == nullptr) m_checklistDialog = new TChecklistImportForm(this);
    return m_checklistDialog;
}

void TVastrelleMainForm::ImportChecklistClick() {
    RunGuarded(this, [this] {
        if (m_cardTypeDialog == nullptr || !m_folderWritable) return;
        if (m_checklistFileDialog == nullptr) {
            m_checklistFileDialog =
                new QFileDialog(this, Tr(kChooseCaption), QString(), Tr(kChooseFilter));
            m_checklistFileDialog->setObjectName(QStringLiteral("ChecklistFileDialog"));
            m_checklistFileDialog->setOption(QFileDialog::DontUseNativeDialog);
            m_checklistFileDialog->setAcceptMode(QFileDialog::AcceptOpen);
            m_checklistFileDialog->setFileMode(QFileDialog::ExistingFile);
        }
        if (m_checklistFileDialog->exec() != QDialog::Accepted) return;
        const QStringList files = m_checklistFileDialog->selectedFiles();
        if (files.isEmpty()) return;
        const std::filesystem::path file = ToPath(files.front());

        TTarget target = TTarget::NewCardType;
        if (IsCardTypeWritable()) target = AskTarget(this, FromCp932(CurrentCardTypeName()));
        if (target == TTarget::None) return;

        TChecklistImportForm* dialog = ChecklistDialog();
        dialog->SetFile(file, target == TTarget::Loaded ? m_document->Cards() : TCardInfos());
        if (dialog->exec() != QDialog::Accepted) return;
        if (target == TTarget::Loaded) {
            m_document->MergeChecklist(dialog->Rows());
            return;
        }
        std::optional<std::string> name =
            AskCardTypeName(QString::fromStdString(file.stem().string()));
        if (!name) return;
        ImportChecklistAsCardType(m_programFolder, *name, dialog->Rows());
        AddComboItem(*name);
    });
}

void TVastrelleMainForm::PasteChecklistClick() {
    RunGuarded(this, [this] {
        if (!IsCardTypeWritable()) return;
        const QString text = QApplication::clipboard()->text();
        if (text.trimmed().isEmpty()) {
            ShowMessage(this, MessageKind::Warning, Tr(kEmptyClipboard));
            return;
        }
        TChecklistImportForm* dialog = ChecklistDialog();
        dialog->SetText(text, m_document->Cards());
        if (dialog->exec() != QDialog::Accepted) return;
        m_document->MergeChecklist(dialog->Rows());
    });
}
