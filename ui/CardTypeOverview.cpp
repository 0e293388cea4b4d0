#include "CardTypeOverview.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include "FileWatch.h"
#include "ProgressChart.h"
#include "QtText.h"
#include "UiFont.h"
#include "WaitCursor.h"
#include "cardlist/CardCount.h"
#include "cardlist/Common.h"
#include "cardlist/Progress.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/ConflictCopies.h"
#include "files/VastrelleError.h"

namespace {

enum Column { kName, kOwned, kTotal, kPercent, kProgress, kCopies, kColumnCount };
constexpr int kSortRole = Qt::UserRole + 1;
constexpr int kNameRole = Qt::UserRole + 2;      // the CP932 name
constexpr int kProgressRole = Qt::UserRole + 3;  // percent, absent for an unreadable file

// Draws the percentage as a progress bar; a row without one shows its text (the failure).
class TProgressDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QVariant percent = index.data(kProgressRole);
        if (!percent.isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionProgressBar bar;
        bar.rect = option.rect.adjusted(2, 2, -2, -2);
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = percent.toInt();
        bar.state = option.state | QStyle::State_Horizontal;
        bar.textVisible = false;
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
    }
};

QStandardItem* NumberItem(std::size_t value) {
    auto* item = new QStandardItem(QString::number(value));
    item->setData(static_cast<qlonglong>(value), kSortRole);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

// The name cell of a card type whose folder holds conflicting copies of its card list.
void MarkConflictCopies(QStandardItem* name, const std::filesystem::path& folder) {
    std::vector<std::string> copies;
    try {
        copies = FindConflictCopies(folder);
    } catch (const VastrelleError&) {
    }
    if (copies.empty()) return;
    QStringList lines;
    for (const std::string& copy : copies)
        lines << Tr("競合コピーがあります: ") + QString::fromStdString(copy);
    name->setIcon(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
    name->setToolTip(lines.join(QLatin1Char('\n')));
    name->setData(lines.join(QLatin1Char('\n')), Qt::AccessibleDescriptionRole);
}

}  // namespace

TCardTypeOverviewForm::TCardTypeOverviewForm(const std::filesystem::path& programFolder,
                                             QWidget* parent)
    : QDialog(parent),
      m_programFolder(programFolder),
      m_model(new QStandardItemModel(0, kColumnCount, this)),
      m_list(new QTableView(this)),
      m_watch(new TFileWatch(this)),
      m_chart(new TProgressChart(this)),
      m_recent(new QStandardItemModel(0, 3, this)),
      m_recentList(new QTableView(this)) {
    setObjectName(QStringLiteral("CardTypeOverview"));
    setWindowTitle(Tr("カード種類一覧"));
    setFont(UiFont(12));
    resize(640, 560);

    m_model->setHorizontalHeaderLabels(
        {Tr("カード種類"), Tr("所持"), Tr("総数"), Tr("達成率"), Tr("進捗"), Tr("枚数")});
    m_model->setSortRole(kSortRole);
    m_list->setObjectName(QStringLiteral("CardTypeList"));
    m_list->setAccessibleName(Tr("カード種類一覧"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setItemDelegateForColumn(kProgress, new TProgressDelegate(m_list));
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setSectionResizeMode(kProgress, QHeaderView::Stretch);
    m_list->setColumnWidth(kName, 200);
    m_list->setColumnWidth(kOwned, 60);
    m_list->setColumnWidth(kTotal, 60);
    m_list->setColumnWidth(kPercent, 60);
    m_list->setColumnWidth(kCopies, 60);
    m_list->setSortingEnabled(true);
    m_list->sortByColumn(-1, Qt::AscendingOrder);

    auto* close = new QPushButton(Tr("閉じる"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    // Enter in the list chooses a card type; it must not press this button.
    close->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    m_recent->setHorizontalHeaderLabels({Tr("入手日"), Tr("No."), Tr("タイトル")});
    m_recentList->setObjectName(QStringLiteral("RecentCards"));
    m_recentList->setAccessibleName(Tr("最近入手したカード"));
    m_recentList->setModel(m_recent);
    m_recentList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_recentList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_recentList->verticalHeader()->hide();
    m_recentList->horizontalHeader()->setStretchLastSection(true);
    m_recentList->setColumnWidth(0, 80);
    m_recentList->setColumnWidth(1, 60);
    auto* chartBox = new QGroupBox(Tr("入手の推移"), this);
    (new QVBoxLayout(chartBox))->addWidget(m_chart);
    auto* recentBox = new QGroupBox(Tr("最近入手したカード"), this);
    (new QVBoxLayout(recentBox))->addWidget(m_recentList);
    auto* progress = new QHBoxLayout;
    progress->addWidget(chartBox, 3);
    progress->addWidget(recentBox, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(progress, 1);
    layout->addLayout(buttons);

    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QAbstractItemView::activated, this, &TCardTypeOverviewForm::Choose);
    connect(m_watch, &TFileWatch::Changed, this, &TCardTypeOverviewForm::Follow);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TCardTypeOverviewForm::ShowProgress);
}

void TCardTypeOverviewForm::Recount() {
    Fill();
    m_list->sortByColumn(-1, Qt::AscendingOrder);
    if (m_model->rowCount() > 0) m_list->selectRow(0);
}

void TCardTypeOverviewForm::Follow() {
    if (!isVisible()) return;
    QModelIndex current = m_list->currentIndex();
    QByteArray chosen = current.isValid()
                            ? m_model->index(current.row(), kName).data(kNameRole).toByteArray()
                            : QByteArray();
    Fill();
    QHeaderView* header = m_list->horizontalHeader();
    if (header->sortIndicatorSection() >= 0)
        m_model->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
    for (int row = 0; row < m_model->rowCount(); ++row)
        if (m_model->index(row, kName).data(kNameRole).toByteArray() == chosen)
            m_list->selectRow(row);
}

void TCardTypeOverviewForm::Fill() {
    std::vector<TCardTypeCount> counts;
    {
        TWaitCursor wait;
        counts = CountCardTypes(m_programFolder);
    }
    m_model->removeRows(0, m_model->rowCount());
    std::vector<std::filesystem::path> watched{m_programFolder};
    int listed = 0;
    for (const TCardTypeCount& entry : counts) {
        auto* name = new QStandardItem(FromCp932(entry.Name));
        name->setData(QByteArray(entry.Name.data(), static_cast<qsizetype>(entry.Name.size())),
                      kNameRole);
        // Sorting by name goes back to the listing order, which is that of the CP932 bytes.
        name->setData(qlonglong(listed++), kSortRole);
        CurrentCardTypePaths paths;
        if (paths.Set(m_programFolder, entry.Name)) {
            watched.push_back(paths.CardTypeFolder());
            watched.push_back(paths.CardTypeFolder() / kCardListFileName);
            MarkConflictCopies(name, paths.CardTypeFolder());
        }
        QList<QStandardItem*> row{name};
        if (entry.Readable) {
            std::size_t percent =
                entry.Count.Total == 0 ? 0 : entry.Count.Owned * 100 / entry.Count.Total;
            row << NumberItem(entry.Count.Owned) << NumberItem(entry.Count.Total);
            QStandardItem* percentItem = NumberItem(percent);
            percentItem->setText(QString::number(percent) + Tr("%"));
            auto* bar = new QStandardItem;
            bar->setData(static_cast<int>(percent), kProgressRole);
            bar->setData(static_cast<qlonglong>(percent), kSortRole);
            bar->setToolTip(
                QString::fromStdString(StatusLineText(entry.Count.Owned, entry.Count.Total)));
            // Copies in all, beside the percentage of cards owned that completion is.
            row << percentItem << bar << NumberItem(entry.Count.Copies);
        } else {
            // Unreadable files sort below every readable one.
            auto blank = [] {
                auto* item = new QStandardItem;
                item->setData(qlonglong(-1), kSortRole);
                return item;
            };
            auto* reason = new QStandardItem(QString::fromStdString(OneLine(entry.Failure)));
            reason->setData(qlonglong(-1), kSortRole);
            reason->setToolTip(QString::fromStdString(entry.Failure));
            reason->setForeground(QColor(0xb0, 0x20, 0x20));
            row << blank() << blank() << blank() << reason << blank();
        }
        m_model->appendRow(row);
    }
    m_watch->SetPaths(watched);
}

void TCardTypeOverviewForm::Choose(const QModelIndex& index) {
    if (!index.isValid()) return;
    QByteArray name = m_model->index(index.row(), kName).data(kNameRole).toByteArray();
    emit CardTypeChosen(std::string(name.constData(), static_cast<std::size_t>(name.size())));
    accept();
}

void TCardTypeOverviewForm::ShowProgress() {
    m_recent->removeRows(0, m_recent->rowCount());
    const QModelIndex current = m_list->currentIndex();
    QByteArray name = current.isValid()
                          ? m_model->index(current.row(), kName).data(kNameRole).toByteArray()
                          : QByteArray();
    TCardInfos cards;
    CurrentCardTypePaths paths;
    if (!name.isEmpty() &&
        paths.Set(m_programFolder, std::string(name.constData(), std::size_t(name.size())))) {
        try {
            TWaitCursor wait;
            ReadCardList(paths.CardTypeFolder() / kCardListFileName, cards);
        } catch (const VastrelleError&) {
            // The list above shows why it cannot be read.
            cards.clear();
        }
    }
    const TCardProgress progress = ProgressOfCards(cards);
    m_chart->SetProgress(progress);
    for (const TAcquisition& recent : progress.Recent) {
        const TCardInfo& card = cards[recent.CardIndex];
        m_recent->appendRow(
            {new QStandardItem(
                 QString::fromStdString(recent.Date).replace(QLatin1Char('-'), QLatin1Char('/'))),
             new QStandardItem(FromCp932(card.Number)), new QStandardItem(FromCp932(card.Title))});
    }
}
