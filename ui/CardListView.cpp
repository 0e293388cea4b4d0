#include "CardListView.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>

#include "CardFilterModel.h"
#include "CardListModel.h"
#include "QtText.h"

namespace {

constexpr int kSmallSide = 50;
constexpr int kLargeSide = 100;

// Every icon cell keeps the room of a thumbnail, with or without one. The view sizes all cells
// alike from its last row, so a last card without a picture would otherwise cut every thumbnail
// down to the size of a bare number. A card not owned shows its thumbnail faded, an owned one
// carries a mark in the thumbnail's corner.
class TIconCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (!index.data(TCardListModel::kOwnedRole).toBool()) return;
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        QRect icon = style->subElementRect(QStyle::SE_ItemViewItemDecoration, &cell, widget);
        int side = icon.height() >= kLargeSide ? 16 : 11;
        QRect mark(icon.right() - side, icon.top() + 1, side, side);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(Qt::white, 1.5));
        painter->setBrush(QColor(0x1e, 0x8e, 0x3e));
        painter->drawEllipse(mark);
        if (int copies = index.data(TCardListModel::kCopiesRole).toInt(); copies > 1)
            DrawCopies(painter, icon, copies, side);
        painter->restore();
    }

    // "×3" on a dark tag in the thumbnail's bottom right corner.
    static void DrawCopies(QPainter* painter, const QRect& icon, int copies, int side) {
        QFont font = painter->font();
        font.setPixelSize(side - 2);
        font.setBold(true);
        painter->setFont(font);
        QString text = Tr("×") + QString::number(copies);
        QRect tag = painter->fontMetrics().boundingRect(text).adjusted(-2, 0, 2, 0);
        tag.moveBottomRight(icon.bottomRight());
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(0, 0, 0, 170));
        painter->drawRoundedRect(tag, 2, 2);
        painter->setPen(Qt::white);
        painter->drawText(tag, Qt::AlignCenter, text);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features |= QStyleOptionViewItem::HasDecoration;
        QVariant icon = index.data(TCardListModel::kIconDecorationRole);
        option->icon = icon.isValid() ? QIcon(icon.value<QPixmap>()) : QIcon();
    }
};

}  // namespace

TCardListView::TCardListView(TCardListModel* model, TCardFilterModel* rows, QWidget* parent)
    : QStackedWidget(parent),
      m_model(model),
      m_rows(rows),
      m_report(new QTableView(this)),
      m_icons(new QListView(this)),
      m_countColumn(new QAction(Tr("枚数"), this)) {
    m_report->setModel(rows);
    m_report->setShowGrid(true);
    m_report->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_report->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_report->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_report->setWordWrap(false);
    m_report->setIconSize(QSize(kSmallSide, kSmallSide));
    m_report->verticalHeader()->hide();
    // Fixed row heights keep a report of 100,000 rows from measuring every row.
    m_report->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_report->verticalHeader()->setDefaultSectionSize(kSmallSide + 2);
    QHeaderView* header = m_report->horizontalHeader();
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A click sorts, the next reverses, the third goes back to file order.
    header->setSectionsClickable(true);
    header->setSortIndicatorClearable(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    m_report->setSortingEnabled(true);
    m_countColumn->setObjectName(QStringLiteral("CountColumnAction"));
    m_countColumn->setCheckable(true);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, [this, header](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(m_countColumn);
        menu.exec(header->mapToGlobal(at));
    });

    m_icons->setModel(rows);
    m_icons->setSelectionModel(m_report->selectionModel());
    m_icons->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_icons->setSelectionMode(QAbstractItemView::ExtendedSelection);
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
         {static_cast<QAbstractItemView*>(m_report), static_cast<QAbstractItemView*>(m_icons)}) {
        connect(view, &QAbstractItemView::doubleClicked, this, &TCardListView::RowDoubleClicked);
        view->installEventFilter(this);
    }
    connect(m_report, &QAbstractItemView::clicked, this, &TCardListView::ReportClicked);
    connect(m_selection, &QItemSelectionModel::selectionChanged, this,
            &TCardListView::SelectionChanged);
    connect(header, &QHeaderView::sectionResized, this, [this](int, int, int) {
        if (m_applyingWidths) return;
        QHeaderView* header = m_report->horizontalHeader();
        m_userWidths.clear();
        for (int i = 0; i < header->count(); ++i) m_userWidths.push_back(header->sectionSize(i));
    });
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

// The widths were set for the columns shown then: one that was not (枚数 shown later) gets its
// own width.
void TCardListView::ApplyColumnWidths() {
    const TColumnDatas& columns = m_model->Columns();
    m_applyingWidths = true;
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        auto at = static_cast<std::size_t>(i);
        m_report->horizontalHeader()->resizeSection(
            i, at < m_userWidths.size() ? m_userWidths[at] : columns[at].Width);
    }
    m_applyingWidths = false;
    if (m_pendingSort && !columns.empty()) {
        auto [column, descending] = *m_pendingSort;
        m_pendingSort.reset();
        ApplySort(column, descending);
    }
}

void TCardListView::SetUserColumnWidths(std::vector<int> widths) {
    m_userWidths = std::move(widths);
    ApplyColumnWidths();
}

int TCardListView::SortColumn() const {
    return m_pendingSort ? m_pendingSort->first : m_rows->sortColumn();
}

bool TCardListView::SortDescending() const {
    if (m_pendingSort) return m_pendingSort->second;
    return m_rows->sortColumn() >= 0 && m_rows->sortOrder() == Qt::DescendingOrder;
}

// The proxy cannot take a sort column that the model does not have yet.
void TCardListView::SortBy(int column, bool descending) {
    if (m_model->columnCount() == 0)
        m_pendingSort = std::pair(column, descending);
    else
        ApplySort(column, descending);
}

void TCardListView::ApplySort(int column, bool descending) {
    m_report->horizontalHeader()->setSortIndicator(
        column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

std::optional<int> TCardListView::SelectedRow() const {
    const QModelIndex current = m_selection->currentIndex();
    if (current.isValid() && m_selection->isRowSelected(current.row())) return current.row();
    const QModelIndexList rows = m_selection->selectedRows();
    if (rows.isEmpty()) return std::nullopt;
    return std::min_element(
               rows.begin(), rows.end(),
               [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); })
        ->row();
}

std::vector<std::size_t> TCardListView::SelectedCardIndexes() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_selection->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<std::size_t> cards;
    cards.reserve(rows.size());
    for (int row : rows) cards.push_back(CardIndexOfRow(row));
    return cards;
}

bool TCardListView::SelectCards(const std::vector<std::size_t>& cardIndexes,
                                std::optional<std::size_t> current) {
    QItemSelection selection;
    QModelIndex currentIndex;
    const auto count = static_cast<std::size_t>(m_model->rowCount());
    for (std::size_t card : cardIndexes) {
        if (card >= count) continue;
        QModelIndex shown = m_rows->mapFromSource(m_model->index(static_cast<int>(card), 0));
        if (!shown.isValid()) continue;
        selection.select(shown, shown);
        if (current == card || !currentIndex.isValid()) currentIndex = shown;
    }
    if (selection.isEmpty()) return false;
    m_selection->setCurrentIndex(currentIndex, QItemSelectionModel::NoUpdate);
    m_selection->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    CurrentView()->scrollTo(currentIndex, QAbstractItemView::EnsureVisible);
    return true;
}

void TCardListView::SelectRow(int row) {
    QModelIndex index = m_rows->index(row, 0);
    m_selection->setCurrentIndex(index,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    CurrentView()->scrollTo(index, QAbstractItemView::EnsureVisible);
}

std::size_t TCardListView::CardIndexOfRow(int row) const {
    return static_cast<std::size_t>(m_rows->index(row, 0).data(Qt::UserRole).toInt());
}

std::optional<std::size_t> TCardListView::SelectedCardIndex() const {
    std::optional<int> row = SelectedRow();
    if (!row) return std::nullopt;
    return CardIndexOfRow(*row);
}

bool TCardListView::SelectCard(std::size_t cardIndex) {
    if (cardIndex >= static_cast<std::size_t>(m_model->rowCount())) return false;
    QModelIndex shown = m_rows->mapFromSource(m_model->index(static_cast<int>(cardIndex), 0));
    if (!shown.isValid()) return false;
    SelectRow(shown.row());
    return true;
}

void TCardListView::ReportClicked(const QModelIndex& index) {
    int owned = m_model->OwnedColumn();
    if (owned >= 0 && index.column() == owned)
        emit OwnedToggleRequested(CardIndexOfRow(index.row()));
}

// Enter and Delete are the keys of the edit and delete items; the list claims them (and Space)
// before the window's shortcuts see them, so that they act on the selected rows only while the
// list has the focus. Ctrl+A, Shift and Ctrl with clicks and arrows are the views' own.
bool TCardListView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QStackedWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    int code = key->key();
    // + is a shifted key on many layouts.
    bool copies = (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier) &&
                  (code == Qt::Key_Plus || code == Qt::Key_Minus);
    bool ours = copies ||
                (modifiers == Qt::NoModifier && (code == Qt::Key_Space || code == Qt::Key_Return ||
                                                 code == Qt::Key_Enter || code == Qt::Key_Delete));
    if (!ours) return QStackedWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (copies) {
        if (SelectedRow()) emit CopiesChangeRequested(code == Qt::Key_Plus ? 1 : -1);
    } else if (code == Qt::Key_Space) {
        if (SelectedRow()) emit SelectedOwnedToggleRequested();
    } else if (SelectedRow()) {
        if (code == Qt::Key_Delete)
            emit DeleteRequested();
        else
            emit EditRequested();
    }
    return true;
}
