#include "CardListModel.h"

#include "QtText.h"
#include "text/SearchText.h"

TCardListModel::TCardListModel(QObject* parent) : QAbstractTableModel(parent) {}

void TCardListModel::Fill(const TColumnDatas& columns, TCardInfos cards,
                          const std::filesystem::path& imageFolder, TThumbnailKind kind) {
    Reset(columns, std::move(cards), imageFolder, kind, nullptr);
}

void TCardListModel::FillPreview(const TColumnDatas& columns, TCardInfos first,
                                 const std::filesystem::path& imageFolder, TThumbnailKind kind,
                                 std::function<void()> settle) {
    Reset(columns, std::move(first), imageFolder, kind, std::move(settle));
}

void TCardListModel::Reset(const TColumnDatas& columns, TCardInfos cards,
                           const std::filesystem::path& imageFolder, TThumbnailKind kind,
                           std::function<void()> settle) {
    beginResetModel();
    m_settle = std::move(settle);
    m_columns.clear();
    for (const TColumnData& column : columns)
        if (column.Shown) m_columns.push_back(column);
    m_rowCount = m_columns.empty() ? 0 : static_cast<int>(cards.size());
    m_cards = std::move(cards);
    m_searchTexts.clear();
    if (imageFolder.empty())
        m_thumbnails.Clear();
    else
        m_thumbnails.Reset(imageFolder, kind);
    endResetModel();
}

void TCardListModel::AdoptCards(TCardInfos cards) {
    m_settle = nullptr;
    const int shown = m_rowCount;
    m_searchTexts.clear();
    if (m_columns.empty() || cards.size() <= static_cast<std::size_t>(shown)) {
        m_cards = std::move(cards);
    } else {
        beginInsertRows(QModelIndex(), shown, static_cast<int>(cards.size()) - 1);
        m_cards = std::move(cards);
        m_rowCount = static_cast<int>(m_cards.size());
        endInsertRows();
    }
    if (shown == 0) return;
    QMetaObject::invokeMethod(
        this,
        [this, shown, rows = m_rowCount] {
            if (rows != m_rowCount) return;  // filled again meanwhile
            emit dataChanged(index(0, 0), index(shown - 1, columnCount() - 1));
        },
        Qt::QueuedConnection);
}

int TCardListModel::OwnedColumn() const {
    for (int i = 0; i < static_cast<int>(m_columns.size()); ++i)
        if (m_columns[i].Caption == caption::kOwned) return i;
    return -1;
}

const std::string& TCardListModel::SearchText(int row) const {
    Settle();
    if (m_searchTexts.empty() && !m_cards.empty()) {
        m_searchTexts.reserve(m_cards.size());
        // A line break cannot be typed into the search field, so no match spans two fields.
        for (const TCardInfo& card : m_cards)
            m_searchTexts.push_back(
                SearchForm(card.Number + '\n' + card.Title + '\n' + card.Comment));
    }
    return m_searchTexts[static_cast<std::size_t>(row)];
}

int TCardListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rowCount;
}

int TCardListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant TCardListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    // A row still being read shows empty; views ask again when its card comes.
    if (static_cast<std::size_t>(index.row()) >= m_cards.size())
        return role == Qt::UserRole ? QVariant(index.row()) : QVariant();
    const TCardInfo& card = m_cards[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return FromCp932(GetColumnValue(card, m_columns[index.column()].Caption));
        case Qt::DecorationRole:
        case kIconDecorationRole: {
            if (index.column() != 0) return {};
            bool faded = role == kIconDecorationRole && !card.Owned;
            if (QPixmap pixmap = m_thumbnails.Get(index.row(), card, faded); !pixmap.isNull())
                return pixmap;
            return {};
        }
        case Qt::ToolTipRole:
            return Tr("No.: ") + FromCp932(card.Number) + Tr("\nタイトル: ") +
                   FromCp932(card.Title) + Tr("\n所持: ") + Tr(card.Owned ? "あり" : "なし");
        case Qt::UserRole:
            return index.row();
        case kOwnedRole:
            return card.Owned;
        case kCopiesRole:
            return Copies(card);
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
