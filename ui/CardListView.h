#pragma once

#include <QStackedWidget>
#include <optional>

class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QTableView;
class TCardListModel;

// The three view styles of the card list.
enum class TViewStyle { Report, SmallIcon, Icon };

// ListView1: one model shown either as a report (header, grid lines, whole-row selection) or as
// small or large icons labelled with the card number. Both views share one selection.
class TCardListView : public QStackedWidget {
    Q_OBJECT
public:
    TCardListView(TCardListModel* model, QWidget* parent = nullptr);

    void SetViewStyle(TViewStyle style);
    TViewStyle ViewStyle() const { return m_style; }
    QAbstractItemView* CurrentView() const;
    QTableView* ReportView() const { return m_report; }
    QListView* IconView() const { return m_icons; }

    // Applies the column widths of the model's definitions to the report header.
    void ApplyColumnWidths();
    std::optional<int> SelectedRow() const;
    // Selects the row, makes it the current (focused) one and scrolls it wholly into view.
    void SelectRow(int row);

signals:
    void RowDoubleClicked();
    void SelectionChanged();

private:
    TCardListModel* m_model;
    QTableView* m_report;
    QListView* m_icons;
    QItemSelectionModel* m_selection;
    TViewStyle m_style = TViewStyle::Report;
};
