#include "OrphanImagesDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "MessageBoxes.h"
#include "QtText.h"
#include "Thumbnails.h"
#include "UiFont.h"
#include "WaitCursor.h"
#include "cardtypes/CardTypes.h"
#include "pictures/ImageNames.h"
#include "pictures/Orphans.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCaption = "使われていない画像を整理";
constexpr const char* kExplanation =
    "どのカードにも使われていない画像です。削除する画像にチェックを付けてください。"
    "削除した画像は「元に戻す」で戻せます。";
constexpr const char* kNoOrphans = "使われていない画像はありません。";
constexpr const char* kConfirm = "チェックを付けた %1 個の画像を削除してもよろしいですか？";
constexpr int kNameRole = Qt::UserRole + 1;

// The orphan's small thumbnail when it has one, else its large one.
QIcon OrphanIcon(const fs::path& imageFolder, const TOrphan& orphan) {
    for (std::string_view extension : {kSmallThumbnailExtension, kLargeThumbnailExtension})
        for (const fs::path& file : orphan.Files) {
            if (file.extension().native() != extension) continue;
            const QImage image = LoadThumbnail(imageFolder / file, 50);
            if (!image.isNull()) return QIcon(QPixmap::fromImage(image));
        }
    return {};
}

}  // namespace

TOrphanImagesForm::TOrphanImagesForm(QWidget* parent)
    : QDialog(parent), m_model(new QStandardItemModel(this)) {
    setWindowTitle(Tr(kCaption));
    setFont(UiFont(12));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_label = new QLabel(Tr(kExplanation), this);
    m_label->setWordWrap(true);
    layout->addWidget(m_label);

    m_list = new QListView(this);
    m_list->setAccessibleName(Tr("使われていない画像"));
    m_list->setModel(m_model);
    m_list->setIconSize(QSize(50, 50));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setMinimumSize(360, 280);
    layout->addWidget(m_list);

    auto* buttons = new QHBoxLayout();
    auto* checkAll = new QPushButton(Tr("すべてチェック(&A)"), this);
    checkAll->setAccessibleName(Tr("すべてチェック"));
    auto* checkNone = new QPushButton(Tr("チェックを外す(&N)"), this);
    checkNone->setAccessibleName(Tr("チェックを外す"));
    m_removeButton = new QPushButton(Tr("削除(&D)..."), this);
    m_removeButton->setAccessibleName(Tr("チェックした画像を削除"));
    auto* close = new QPushButton(Tr("閉じる"), this);
    close->setAccessibleName(Tr("閉じる"));
    buttons->addWidget(checkAll);
    buttons->addWidget(checkNone);
    buttons->addStretch();
    buttons->addWidget(m_removeButton);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(checkAll, &QPushButton::clicked, this, [this] { SetAllChecked(true); });
    connect(checkNone, &QPushButton::clicked, this, [this] { SetAllChecked(false); });
    connect(m_removeButton, &QPushButton::clicked, this,
            [this] { RunGuarded(this, [this] { RemoveChecked(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_model, &QStandardItemModel::itemChanged, this, [this] { UpdateButtons(); });
    UpdateButtons();
}

void TOrphanImagesForm::SetCardType(const fs::path& cardTypeFolder) {
    m_cardTypeFolder = cardTypeFolder;
    m_removed = false;
    m_model->clear();
    std::vector<TOrphan> orphans;
    {
        TWaitCursor wait;
        try {
            orphans = ListOrphans(cardTypeFolder);
        } catch (const VastrelleError& e) {
            ShowError(this, e);
        }
    }
    const fs::path imageFolder = cardTypeFolder / kImageFolderName;
    for (const TOrphan& orphan : orphans) {
        auto* item = new QStandardItem(OrphanIcon(imageFolder, orphan), FromCp932(orphan.Name));
        item->setCheckable(true);
        item->setCheckState(Qt::Unchecked);
        item->setData(QByteArray::fromStdString(orphan.Name), kNameRole);
        item->setEditable(false);
        m_model->appendRow(item);
    }
    m_label->setText(Tr(orphans.empty() ? kNoOrphans : kExplanation));
    UpdateButtons();
}

std::vector<std::string> TOrphanImagesForm::CheckedNames() const {
    std::vector<std::string> names;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QStandardItem* item = m_model->item(row);
        if (item->checkState() == Qt::Checked)
            names.push_back(item->data(kNameRole).toByteArray().toStdString());
    }
    return names;
}

bool TOrphanImagesForm::RemoveChecked() {
    const std::vector<std::string> names = CheckedNames();
    if (names.empty()) return false;
    if (!AskYesNo(this, Tr(kConfirm).arg(names.size()))) return false;
    {
        TWaitCursor wait;
        RemoveOrphans(m_cardTypeFolder, names);
    }
    SetCardType(m_cardTypeFolder);
    m_removed = true;
    return true;
}

void TOrphanImagesForm::SetAllChecked(bool checked) {
    for (int row = 0; row < m_model->rowCount(); ++row)
        m_model->item(row)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TOrphanImagesForm::UpdateButtons() { m_removeButton->setEnabled(!CheckedNames().empty()); }
