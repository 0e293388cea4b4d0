#pragma once

#include <QStackedWidget>
#include <optional>
#include <vector>

class QAbstractItemView;
class QAction;
class QItemSelectionModel;
class QListView;
class QTableView;
class TCardFilterModel;
class TCardListModel;

// The three view styles of the card list.
enum class TViewStyle { Report, SmallIcon, Icon };

// ListView1: the filtered and sorted card list shown either as a report (header, grid lines,
// whole-row selection, sorting by a header click) or as small or large icons labelled with the
// card number, cards not owned faded and owned ones marked, "×3" on cards of several copies. Both
// views share one selection and one order. Row positions are those shown; card indexes those of the
// card array.
class TCardListView : public QStackedWidget {
    Q_OBJECT
public:
    TCardListView(TCardListModel* model, TCardFilterModel* rows, QWidget* parent = nullptr);

    void SetViewStyle(TViewStyle style);
    TViewStyle ViewStyle() const { return m_style; }
    QAbstractItemView* CurrentView() const;
    QTableView* ReportView() const { return m_report; }
    QListView* IconView() const { return m_icons; }

    // Applies the column widths the user set, or else those of the model's definitions.
    void ApplyColumnWidths();
    // The widths the user set by dragging a header divider (all columns), empty when none.
    const std::vector<int>& UserColumnWidths() const { return m_userWidths; }
    void SetUserColumnWidths(std::vector<int> widths);
    // The sort column (-1: file order) and whether it is descending, as the header shows them.
    int SortColumn() const;
    bool SortDescending() const;
    void SortBy(int column, bool descending);
    // The check of "枚数" in the header's context menu; the window adds the column when it is on.
    QAction* CountColumnAction() const { return m_countColumn; }

    // The current row when it is selected, else the first selected row: the one card that
    // editing takes while several are selected.
    std::optional<int> SelectedRow() const;
    // Selects the row alone, makes it the current (focused) one and scrolls it wholly into view.
    void SelectRow(int row);
    std::optional<std::size_t> SelectedCardIndex() const;
    // The cards of every selected row, in the order shown.
    std::vector<std::size_t> SelectedCardIndexes() const;
    std::size_t CardIndexOfRow(int row) const;
    // Selects the row of that card when the filter shows it; false when it does not.
    bool SelectCard(std::size_t cardIndex);
    // Selects the rows of those cards that the filter shows, `current` (when shown) becoming the
    // current row; false when none is shown.
    bool SelectCards(const std::vector<std::size_t>& cardIndexes,
                     std::optional<std::size_t> current);

signals:
    void RowDoubleClicked();
    void SelectionChanged();
    // A click in a row's 所持 cell.
    void OwnedToggleRequested(std::size_t cardIndex);
    // Space while rows are selected.
    void SelectedOwnedToggleRequested();
    // Enter and Delete on a selected row, when the list itself takes the key.
    void EditRequested();
    void DeleteRequested();
    // + or - on the list: one copy more or fewer of the selected cards.
    void CopiesChangeRequested(int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ReportClicked(const QModelIndex& index);
    void ApplySort(int column, bool descending);

    TCardListModel* m_model;
    TCardFilterModel* m_rows;
    QTableView* m_report;
    QListView* m_icons;
    QItemSelectionModel* m_selection;
    QAction* m_countColumn;
    TViewStyle m_style = TViewStyle::Report;
    std::vector<int> m_userWidths;
    bool m_applyingWidths = false;
    // A sort asked for before the first columns exist, applied once they do.
    std::optional<std::pair<int, bool>> m_pendingSort;
};
