#include "CardFilterModel.h"

#include "CardListModel.h"
#include "NaturalOrder.h"
#include "SearchText.h"

TCardFilterModel::TCardFilterModel(TCardListModel* cards, QObject* parent)
    : QSortFilterProxyModel(parent), m_cards(cards) {
    setSourceModel(cards);
}

void TCardFilterModel::SetFilterText(const QString& text) {
    QString needle = NormalizeForSearch(text);
    if (needle == m_needle) return;
    m_needle = needle;
    invalidateFilter();
}

void TCardFilterModel::SetMissingOnly(bool missingOnly) {
    if (missingOnly == m_missingOnly) return;
    m_missingOnly = missingOnly;
    invalidateFilter();
}

bool TCardFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const TCardInfo& card = m_cards->Cards()[static_cast<std::size_t>(sourceRow)];
    if (m_missingOnly && card.Owned) return false;
    return m_needle.isEmpty() || m_cards->SearchText(sourceRow).contains(m_needle);
}

// Compared on the card fields themselves: converting each text for every comparison would make
// sorting 100,000 cards take seconds. The proxy sorts the rows in their previous order, so equal
// keys are put in file order here, in either direction (descending asks lessThan(right, left)).
bool TCardFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const TColumnDatas& columns = m_cards->Columns();
    if (!left.isValid() || !right.isValid() || left.column() >= static_cast<int>(columns.size()))
        return false;
    const TCardInfos& cards = m_cards->Cards();
    const TCardInfo& a = cards[static_cast<std::size_t>(left.row())];
    const TCardInfo& b = cards[static_cast<std::size_t>(right.row())];
    const std::string& caption = columns[static_cast<std::size_t>(left.column())].Caption;
    int order = 0;
    if (caption == caption::kOwned)
        order = static_cast<int>(a.Owned) - static_cast<int>(b.Owned);
    else if (caption == caption::kTitle)
        order = NaturalCompare(a.Title, b.Title);
    else if (caption == caption::kComment)
        order = NaturalCompare(a.Comment, b.Comment);
    else
        order = NaturalCompare(a.Number, b.Number);
    if (order != 0) return order < 0;
    return sortOrder() == Qt::AscendingOrder ? left.row() < right.row() : left.row() > right.row();
}
