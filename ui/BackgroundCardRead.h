#pragma once

#include <QObject>
#include <functional>
#include <future>
#include <thread>

#include "cardlist/CardList.h"
#include "save/CardStore.h"

// The whole read of a card list on a worker thread at low priority, for a window that shows the
// first cards meanwhile: the window's own start-up and first paint keep the processor first.
class TBackgroundCardRead {
public:
    // Starts reading the text; `done` is then posted to `context`'s thread.
    TBackgroundCardRead(TCardListText text, QObject* context, std::function<void()> done);
    // Waits for the worker: it holds the text until it has read it.
    ~TBackgroundCardRead();
    TBackgroundCardRead(const TBackgroundCardRead&) = delete;
    TBackgroundCardRead& operator=(const TBackgroundCardRead&) = delete;

    bool IsFinished() const;
    // Waits for the read: its cards with the identity of the file read, or what it threw.
    TCardsAsRead Take();

private:
    std::future<TCardsAsRead> m_result;
    std::jthread m_worker;
};
