// The main window following the files: the list after each reload of the loaded card type (kept
// in place when another program changed the card list), the card type box after card type
// folders were made or removed outside, and the notice of conflicting copies.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <set>

#include "CardFilterModel.h"
#include "CardListView.h"
#include "CardTypeDocument.h"
#include "Main.h"
#include "QtText.h"

namespace {

// The view style each view item selects, in the order of ViewItem.
constexpr TViewStyle kViewStyles[kViewItemCount] = {TViewStyle::Report, TViewStyle::SmallIcon,
                                                    TViewStyle::SmallIcon, TViewStyle::Icon,
                                                    TViewStyle::Icon};

// The card as the list showed it, found again in the card list as it is now: at the same
// position with the same number and title, or else as the only card with them.
std::optional<std::size_t> FindCard(const TCardInfos& cards, const TShownCard& shown) {
    auto same = [&shown](const TCardInfo& card) {
        return card.Number == shown.Number && card.Title == shown.Title;
    };
    if (shown.Index < cards.size() && same(cards[shown.Index])) return shown.Index;
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < cards.size(); ++i) {
        if (!same(cards[i])) continue;
        if (found) return std::nullopt;
        found = i;
    }
    return found;
}

}  // namespace

void TVastrelleMainForm::CardsAboutToReset(bool outside) {
    m_rememberedRow = m_listView->SelectedRow();
    m_shownCard.reset();
    if (!outside) return;
    if (std::optional<std::size_t> index = SelectedCardIndex())
        m_shownCard = TShownCard{*index, Cards()[*index].Number, Cards()[*index].Title};
    QAbstractItemView* view = m_listView->CurrentView();
    m_scroll = {view->horizontalScrollBar()->value(), view->verticalScrollBar()->value()};
}

void TVastrelleMainForm::CardsReset(bool read, bool outside) {
    m_listView->ApplyColumnWidths();
    UpdateMenuStates();
    UpdateHistoryStates();
    UpdateShownCount();
    if (!read) return;

    ShowOwnedCount();
    if (std::optional<ViewItem> view = CheckedView())
        m_listView->SetViewStyle(kViewStyles[static_cast<std::size_t>(*view)]);

    // After another program's change the same card stays selected where it still is, and the
    // list stays where it was scrolled to.
    std::optional<std::size_t> card;
    if (outside && m_shownCard) card = FindCard(Cards(), *m_shownCard);
    if (!card || !m_listView->SelectCard(*card)) {
        // A row past the first cards of a list still being read comes with the rest of them.
        if (m_rememberedRow && *m_rememberedRow >= m_filter->rowCount()) (void)Cards();
        if (m_rememberedRow && *m_rememberedRow < m_filter->rowCount())
            m_listView->SelectRow(*m_rememberedRow);
    }
    if (outside) {
        QAbstractItemView* view = m_listView->CurrentView();
        view->doItemsLayout();
        view->horizontalScrollBar()->setValue(m_scroll.first);
        view->verticalScrollBar()->setValue(m_scroll.second);
    }
    UpdateMenuStates();
}

void TVastrelleMainForm::ShowOwnedCount() {
    SetStatusLine(QString::fromStdString(
        ::StatusLineText(m_document->OwnedCount(), m_document->CardCount())));
}

// All the cards of a large card list, shown before they were read, are read now.
void TVastrelleMainForm::CardsSettled() {
    ShowOwnedCount();
    UpdateMenuStates();
    UpdateHistoryStates();
}

// Card type folders made, removed or renamed by other programs: the box keeps its order, drops
// what is gone and appends what is new. The loaded card type's own files are its document's to
// follow.
void TVastrelleMainForm::FollowCardTypes() {
    std::vector<std::string> names = ListCardTypes(m_programFolder);
    std::string chosen = CurrentCardTypeName();
    auto itemName = [this](int index) {
        QByteArray name = m_comboBox1->itemData(index).toByteArray();
        return std::string(name.constData(), static_cast<std::size_t>(name.size()));
    };
    std::set<std::string> listed(names.begin(), names.end());
    std::set<std::string> shown;
    for (int i = m_comboBox1->count() - 1; i >= 0; --i) {
        if (listed.count(itemName(i)) == 0)
            m_comboBox1->removeItem(i);
        else
            shown.insert(itemName(i));
    }
    for (const std::string& name : names)
        if (shown.count(name) == 0)
            m_comboBox1->addItem(FromCp932(name),
                                 QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    int index = -1;
    for (int i = 0; i < m_comboBox1->count() && !chosen.empty(); ++i)
        if (itemName(i) == chosen) index = i;
    m_comboBox1->setCurrentIndex(index);
}

// Nothing is merged: the user compares the copies and keeps what they want.
void TVastrelleMainForm::ShowConflictCopies() {
    QStringList lines;
    for (const std::string& name : m_document->ConflictCopies())
        lines << Tr("競合コピーがあります: ") + QString::fromStdString(name);
    m_notice->setText(lines.join(QLatin1Char('\n')));
    m_notice->setVisible(!lines.isEmpty());
}
