#pragma once

#include <QSortFilterProxyModel>
#include <string>
#include <vector>

class TCardListModel;

// The card list as the user narrowed and ordered it: rows whose number, title or comment holds
// the search text (in search form), optionally only the cards not owned, only those with spare
// copies and only the wanted ones (all that are asked for at once); sorted by a column with
// numbers in natural order and ties in file order. Qt::UserRole still gives the card's index in
// the card array. The filter and the order survive every reset of the card list.
class TCardFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TCardFilterModel(TCardListModel* cards, QObject* parent = nullptr);

    void SetFilterText(const QString& text);
    void SetMissingOnly(bool missingOnly);
    bool MissingOnly() const { return m_missingOnly; }
    // Only cards of two or more copies.
    void SetSparesOnly(bool sparesOnly);
    // Only cards marked wanted.
    void SetWantedOnly(bool wantedOnly);
    // Some rows of the card list are hidden by the filter.
    bool IsFiltering() const {
        return m_missingOnly || m_sparesOnly || m_wantedOnly || m_unmatchable || !m_needle.empty();
    }
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    void Refilter();
    void SettleCards();
    void EnsureKeys(int column) const;

    TCardListModel* m_cards;
    std::string m_needle;  // CP932, in search form
    // The text has a character CP932 lacks, so no card can hold it.
    bool m_unmatchable = false;
    mutable std::vector<std::string> m_keys;  // natural sort keys by card index, of m_keyColumn
    mutable int m_keyColumn = -1;
    bool m_missingOnly = false;
    bool m_sparesOnly = false;
    bool m_wantedOnly = false;
};
