#include "CardListModel.h"

#include "QtText.h"

TCardListModel::TCardListModel(const TCardInfos& cards, QObject* parent)
    : QAbstractTableModel(parent), m_cards(cards) {}

void TCardListModel::SetListColumn(const TColumnDatas& columns) {
    beginResetModel();
    m_columns.clear();
    for (const TColumnData& column : columns)
        if (column.Shown) m_columns.push_back(column);
    m_rowCount = 0;
    m_thumbnails.Clear();
    endResetModel();
}

void TCardListModel::Fill(const std::filesystem::path& imageFolder, TThumbnailKind kind) {
    beginResetModel();
    m_rowCount = m_columns.empty() ? 0 : static_cast<int>(m_cards.size());
    m_thumbnails.Reset(imageFolder, kind);
    endResetModel();
}

int TCardListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rowCount;
}

int TCardListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant TCardListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const TCardInfo& card = m_cards[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return FromCp932(GetColumnValue(card, m_columns[index.column()].Caption));
        case Qt::DecorationRole:
            if (index.column() != 0) return {};
            if (QPixmap pixmap = m_thumbnails.Get(index.row(), card); !pixmap.isNull())
                return pixmap;
            return {};
        case Qt::UserRole:
            return index.row();
        default:
            return {};
    }
}

QVariant TCardListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return FromCp932(m_columns[section].Caption);
    return {};
}

Qt::ItemFlags TCardListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
