#include "CardListView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QStyledItemDelegate>
#include <QTableView>

#include "CardListModel.h"

namespace {

constexpr int kSmallSide = 50;
constexpr int kLargeSide = 100;

// Every icon cell keeps the room of a thumbnail, with or without one. The view sizes all cells
// alike from its last row, so a last card without a picture would otherwise cut every thumbnail
// down to the size of a bare number.
class TIconCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features |= QStyleOptionViewItem::HasDecoration;
    }
};

}  // namespace

TCardListView::TCardListView(TCardListModel* model, QWidget* parent)
    : QStackedWidget(parent),
      m_model(model),
      m_report(new QTableView(this)),
      m_icons(new QListView(this)) {
    m_report->setModel(model);
    m_report->setShowGrid(true);
    m_report->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_report->setSelectionMode(QAbstractItemView::SingleSelection);
    m_report->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_report->setWordWrap(false);
    m_report->setIconSize(QSize(kSmallSide, kSmallSide));
    m_report->verticalHeader()->hide();
    // Fixed row heights keep a report of 100,000 rows from measuring every row.
    m_report->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_report->verticalHeader()->setDefaultSectionSize(kSmallSide + 2);
    m_report->horizontalHeader()->setSectionsClickable(false);
    m_report->horizontalHeader()->setHighlightSections(false);
    m_report->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_icons->setModel(model);
    m_icons->setSelectionModel(m_report->selectionModel());
    m_icons->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_icons->setSelectionMode(QAbstractItemView::SingleSelection);
    m_icons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_icons->setMovement(QListView::Static);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setWrapping(true);
    // Every cell has the same size, so laying out 100,000 items needs no per-item measuring.
    m_icons->setUniformItemSizes(true);
    m_icons->setItemDelegate(new TIconCellDelegate(m_icons));
    m_selection = m_report->selectionModel();

    addWidget(m_report);
    addWidget(m_icons);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_report), static_cast<QAbstractItemView*>(m_icons)})
        connect(view, &QAbstractItemView::doubleClicked, this, &TCardListView::RowDoubleClicked);
    connect(m_selection, &QItemSelectionModel::selectionChanged, this,
            &TCardListView::SelectionChanged);
}

void TCardListView::SetViewStyle(TViewStyle style) {
    m_style = style;
    if (style == TViewStyle::Report) {
        setCurrentWidget(m_report);
        return;
    }
    bool large = style == TViewStyle::Icon;
    m_icons->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    m_icons->setFlow(QListView::LeftToRight);
    m_icons->setWrapping(true);
    m_icons->setIconSize(large ? QSize(kLargeSide, kLargeSide) : QSize(kSmallSide, kSmallSide));
    // Icon mode puts the number under the picture, small icons beside it.
    m_icons->setGridSize(large ? QSize(kLargeSide + 24, kLargeSide + 24) : QSize());
    m_icons->setSpacing(large ? 0 : 2);
    m_icons->setMovement(QListView::Static);
    setCurrentWidget(m_icons);
}

QAbstractItemView* TCardListView::CurrentView() const {
    return m_style == TViewStyle::Report ? static_cast<QAbstractItemView*>(m_report) : m_icons;
}

void TCardListView::ApplyColumnWidths() {
    const TColumnDatas& columns = m_model->Columns();
    for (int i = 0; i < static_cast<int>(columns.size()); ++i)
        m_report->horizontalHeader()->resizeSection(i, columns[i].Width);
}

std::optional<int> TCardListView::SelectedRow() const {
    const QModelIndexList rows = m_selection->selectedRows();
    if (rows.isEmpty()) return std::nullopt;
    return rows.front().row();
}

void TCardListView::SelectRow(int row) {
    QModelIndex index = m_model->index(row, 0);
    m_selection->setCurrentIndex(index,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    CurrentView()->scrollTo(index, QAbstractItemView::EnsureVisible);
}
