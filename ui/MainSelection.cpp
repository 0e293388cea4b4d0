// The main window's commands on many selected cards at once, and the scan folder import.
#include <QFileDialog>
#include <QMenu>
#include <algorithm>

#include "CardListView.h"
#include "CardTypeDocument.h"
#include "Main.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "ScanImportDlg.h"

namespace {

constexpr const char* kDeleteMany = "選択した %1 枚のカードを削除してもよろしいですか？";
constexpr const char* kChooseScanFolder = "取り込む画像のフォルダ";

}  // namespace

void TVastrelleMainForm::CreateSelectionItems(QMenu* n8) {
    m_ownedOn = n8->addAction(Tr("所持にする"));
    m_ownedOn->setObjectName(QStringLiteral("OwnedOn1"));
    connect(m_ownedOn, &QAction::triggered, this, [this] { SetSelectedOwned(true); });
    m_ownedOff = n8->addAction(Tr("未所持にする"));
    m_ownedOff->setObjectName(QStringLiteral("OwnedOff1"));
    connect(m_ownedOff, &QAction::triggered, this, [this] { SetSelectedOwned(false); });
    n8->addSeparator();
    m_importScans = n8->addAction(Tr("画像フォルダから取込..."));
    m_importScans->setObjectName(QStringLiteral("ImportScans1"));
    connect(m_importScans, &QAction::triggered, this, &TVastrelleMainForm::ImportScanFolder);
}

void TVastrelleMainForm::UpdateSelectionStates(bool writable) {
    const bool selected = writable && m_listView->SelectedRow().has_value();
    m_ownedOn->setEnabled(selected);
    m_ownedOff->setEnabled(selected);
    m_importScans->setEnabled(writable);
}

std::vector<std::size_t> TVastrelleMainForm::SelectedCardIndexes() const {
    std::vector<std::size_t> indexes = m_listView->SelectedCardIndexes();
    std::erase_if(indexes, [this](std::size_t index) { return index >= Cards().size(); });
    return indexes;
}

void TVastrelleMainForm::SetSelectedOwned(bool owned) {
    RunGuarded(this, [this, owned] {
        if (!IsCardTypeWritable()) return;
        const std::vector<std::size_t> indexes = SelectedCardIndexes();
        if (indexes.empty()) return;
        const std::optional<std::size_t> current = SelectedCardIndex();
        m_document->SetOwned(indexes, owned);
        // The same cards stay selected, so that the next command takes them again; those the
        // filter now hides drop out.
        if (!m_listView->SelectCards(indexes, current) && current) m_listView->SelectCard(*current);
    });
}

// Space on one card inverts its mark; on several, all become owned unless all are already.
void TVastrelleMainForm::ToggleSelectedOwned() {
    const std::vector<std::size_t> indexes = SelectedCardIndexes();
    if (indexes.size() == 1) return ToggleOwned(indexes.front());
    SetSelectedOwned(!std::all_of(indexes.begin(), indexes.end(),
                                  [this](std::size_t i) { return Cards()[i].Owned; }));
}

void TVastrelleMainForm::DeleteSelectedCards(const std::vector<std::size_t>& indexes) {
    if (!AskYesNo(this, Tr(kDeleteMany).arg(static_cast<qulonglong>(indexes.size())))) return;
    m_document->DeleteCards(indexes);
}

void TVastrelleMainForm::ImportScanFolder() {
    RunGuarded(this, [this] {
        if (!IsCardTypeWritable()) return;
        if (m_scanFolderDialog == nullptr) {
            m_scanFolderDialog = new QFileDialog(this, Tr(kChooseScanFolder));
            m_scanFolderDialog->setObjectName(QStringLiteral("ScanFolderDialog"));
            m_scanFolderDialog->setAccessibleName(Tr(kChooseScanFolder));
            m_scanFolderDialog->setFileMode(QFileDialog::Directory);
            m_scanFolderDialog->setOption(QFileDialog::ShowDirsOnly);
        }
        if (m_scanFolderDialog->exec() != QDialog::Accepted) return;
        const QStringList folders = m_scanFolderDialog->selectedFiles();
        if (!folders.isEmpty()) ImportScans(ToPath(folders.front()));
    });
}

void TVastrelleMainForm::ImportScans(const std::filesystem::path& scanFolder) {
    RunGuarded(this, [this, &scanFolder] {
        if (!IsCardTypeWritable()) return;
        TScanImportForm form(CardTypePaths().CardTypeFolder(), scanFolder, this);
        if (form.exec() != QDialog::Accepted || !form.Result()) return;
        m_document->ShowWritten(form.Result()->Cards);
    });
}
