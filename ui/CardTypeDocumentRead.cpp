// The loaded card type's read: a large card list is shown by its first cards and its counts
// while a worker reads all of it, so that the window is filled as soon as it is painted.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <memory>

#include "BackgroundCardRead.h"
#include "CardListModel.h"
#include "CardListPrefetch.h"
#include "CardTypeDocument.h"

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::Drop:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TabletPress:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::size_t TCardTypeDocument::CardCount() const {
    return m_pendingRead ? m_pendingCards : Cards().size();
}

std::size_t TCardTypeDocument::OwnedCount() const {
    if (m_pendingRead) return m_pendingOwned;
    std::size_t owned = 0;
    for (const TCardInfo& card : Cards())
        if (card.Owned) ++owned;
    return owned;
}

void TCardTypeDocument::ReadOrStartReading(TCardInfos& cards) {
    std::optional<TFirstRead> first;
    if (m_prefetch) {
        // Only the first load can use it: what it read may be old by the next.
        first = m_prefetch->Take(CardListFile());
        m_prefetch.reset();
    }
    if (!first) first = ReadCardListFirst(CardListFile());
    if (first->Whole) {
        cards = std::move(first->Whole->Cards);
        m_identity = first->Whole->Identity;
        return;
    }
    // A filtered or sorted list asks for every card as soon as its rows are laid out.
    if (m_listArranged && m_listArranged()) {
        ReadCardListFromText(std::move(first->Text), cards, &m_identity);
        return;
    }
    // The identity, hash included, comes with the whole read.
    m_identity = {};
    m_pendingCards = first->Preview.Cards;
    m_pendingOwned = first->Preview.Owned;
    cards = std::move(first->Preview.First);
    m_pendingPainted = false;
    m_pendingRead = std::make_unique<TBackgroundCardRead>(std::move(first->Text), this, [this] {
        if (m_pendingRead && m_pendingRead->IsFinished()) SettleRead(false);
    });
    qApp->installEventFilter(this);
}

void TCardTypeDocument::SettleRead(bool nested) {
    if (!m_pendingRead) return;
    std::unique_ptr<TBackgroundCardRead> pending = std::move(m_pendingRead);
    qApp->removeEventFilter(this);
    auto read = std::make_shared<TCardsAsRead>();
    bool readsBack = false;
    std::optional<VastrelleError> failure;
    try {
        TBackgroundCardRead::TResult result = pending->Take();
        *read = std::move(result.Read);
        readsBack = result.ReadsBack;
    } catch (const VastrelleError& error) {
        failure = error;
    } catch (const std::exception& error) {
        failure = VastrelleError(error.what());
    }
    pending.reset();
    auto run = [this, nested](std::function<void()> step) {
        if (nested)
            QTimer::singleShot(0, this, std::move(step));
        else
            step();
    };
    if (!failure && read->Cards.size() == m_pendingCards) {
        m_identity = read->Identity;
        m_cardsReadBack = readsBack;
        m_model->AdoptCards(std::move(read->Cards));
        run([this, loads = m_loads] {
            if (loads == m_loads) emit CardsSettled();
        });
        return;
    }
    // The rows shown are not what the file holds: they are shown again from the whole read, or
    // emptied when it failed, as a load would.
    m_readComplete = false;
    m_model->AdoptCards(TCardInfos(static_cast<std::size_t>(m_model->rowCount())));
    run([this, loads = m_loads, read, readsBack, failure] {
        if (loads != m_loads) return;
        emit CardsAboutToReset(false);
        if (failure) {
            try {
                m_identity = CardListIdentityOf(CardListFile());
            } catch (...) {
                m_identity = {};
            }
            m_failureReported = true;
            m_model->Fill(m_columns, {}, m_paths.ImageFolder(), m_kind);
            emit CardsReset(false, false);
            emit Failed(*failure);
            return;
        }
        m_identity = read->Identity;
        m_cardsReadBack = readsBack;
        m_readComplete = true;
        m_model->Fill(m_columns, std::move(read->Cards), m_paths.ImageFolder(), m_kind);
        emit CardsReset(true, false);
    });
}

bool TCardTypeDocument::eventFilter(QObject*, QEvent* event) {
    if (IsUserInput(event->type())) {
        SettleRead(false);
    } else if (event->type() == QEvent::Paint && !m_pendingPainted) {
        // The read waits for the first paint, which then has the processor to itself, and
        // starts when it is done.
        m_pendingPainted = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_pendingRead) m_pendingRead->Go();
            },
            Qt::QueuedConnection);
    }
    return false;
}
