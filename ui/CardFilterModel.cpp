#include "CardFilterModel.h"

#include "CardListModel.h"
#include "QtText.h"
#include "text/NaturalOrder.h"
#include "text/SearchText.h"

TCardFilterModel::TCardFilterModel(TCardListModel* cards, QObject* parent)
    : QSortFilterProxyModel(parent), m_cards(cards) {
    setSourceModel(cards);
    // Before the proxy rebuilds its order from the new cards.
    connect(cards, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_keys.clear();
        m_keyColumn = -1;
    });
}

void TCardFilterModel::SetFilterText(const QString& text) {
    std::optional<std::string> cp932 = ToCp932(text);
    std::string needle = cp932 ? SearchForm(*cp932) : std::string();
    if (needle == m_needle && m_unmatchable == !cp932) return;
    m_needle = std::move(needle);
    m_unmatchable = !cp932;
    Refilter();
}

void TCardFilterModel::SetMissingOnly(bool missingOnly) {
    if (missingOnly == m_missingOnly) return;
    m_missingOnly = missingOnly;
    Refilter();
}

void TCardFilterModel::SetSparesOnly(bool sparesOnly) {
    if (sparesOnly == m_sparesOnly) return;
    m_sparesOnly = sparesOnly;
    Refilter();
}

void TCardFilterModel::SetWantedOnly(bool wantedOnly) {
    if (wantedOnly == m_wantedOnly) return;
    m_wantedOnly = wantedOnly;
    Refilter();
}

// One new layout rather than the removal and insertion of every range of rows: a filter that
// hides scattered cards of 100,000 would otherwise tell the views of thousands of ranges.
void TCardFilterModel::Refilter() {
    SettleCards();
    invalidate();
}

void TCardFilterModel::sort(int column, Qt::SortOrder order) {
    SettleCards();
    QSortFilterProxyModel::sort(column, order);
}

// A list shown by its first cards while the rest are read gets the rest here, before the proxy
// asks for any card: its rows then come in as rows inserted, not while the proxy lays them out.
void TCardFilterModel::SettleCards() { (void)m_cards->Cards(); }

bool TCardFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    // Without a filter no card is looked at, so a list still being read is not waited for.
    if (!IsFiltering()) return true;
    const TCardInfo& card = m_cards->Cards()[static_cast<std::size_t>(sourceRow)];
    if (m_missingOnly && card.Owned) return false;
    if (m_sparesOnly && Copies(card) < 2) return false;
    if (m_wantedOnly && !card.Want) return false;
    if (m_unmatchable) return false;
    return m_needle.empty() || ContainsSearchForm(m_cards->SearchText(sourceRow), m_needle);
}

// The sort keys of one column are made once per column and card list: comparing two texts
// in natural order directly for every step of sorting 100,000 cards takes ten times as long.
void TCardFilterModel::EnsureKeys(int column) const {
    const TCardInfos& cards = m_cards->Cards();
    if (m_keyColumn == column && m_keys.size() == cards.size()) return;
    const std::string& caption = m_cards->Columns()[static_cast<std::size_t>(column)].Caption;
    m_keys.clear();
    m_keys.reserve(cards.size());
    for (const TCardInfo& card : cards) {
        if (caption == caption::kOwned)
            m_keys.push_back(card.Owned ? "1" : "0");
        else if (caption == caption::kCount)
            m_keys.push_back(NaturalSortKey(std::to_string(Copies(card))));
        else if (caption == caption::kTitle)
            m_keys.push_back(NaturalSortKey(card.Title));
        else if (caption == caption::kComment)
            m_keys.push_back(NaturalSortKey(card.Comment));
        else
            m_keys.push_back(NaturalSortKey(card.Number));
    }
    m_keyColumn = column;
}

// Equal keys: the proxy sorts the rows in their previous order, so ties are put in file order
// here, in either direction (descending asks lessThan(right, left)).
bool TCardFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    int column = left.column();
    if (!left.isValid() || !right.isValid() ||
        column >= static_cast<int>(m_cards->Columns().size()))
        return false;
    EnsureKeys(column);
    int order = m_keys[static_cast<std::size_t>(left.row())].compare(
        m_keys[static_cast<std::size_t>(right.row())]);
    if (order != 0) return order < 0;
    return sortOrder() == Qt::AscendingOrder ? left.row() < right.row() : left.row() > right.row();
}
