#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <future>
#include <semaphore>
#include <thread>

#include "cardlist/CardList.h"
#include "save/CardStore.h"

// The whole read of a card list on a worker thread at low priority, for a window that shows the
// first cards meanwhile: the window's own start-up and first paint keep the processor first.
class TBackgroundCardRead {
public:
    // Starts reading the text at Go, or a moment after; `done` is then posted to `context`'s
    // thread.
    TBackgroundCardRead(TCardListText text, QObject* context, std::function<void()> done);
    // Waits for the worker (the jthread joins): it holds the text until it has read it.
    ~TBackgroundCardRead() { Go(); }
    TBackgroundCardRead(const TBackgroundCardRead&) = delete;
    TBackgroundCardRead& operator=(const TBackgroundCardRead&) = delete;

    // The window has painted its first rows: the read no longer takes the processor from them.
    void Go();
    bool IsFinished() const;
    struct TResult {
        TCardsAsRead Read;  // the cards with the identity of the file read
        // Whether every card reads back as written, checked on the worker, so that the first
        // save of a large card list need not check every card on the window's thread.
        bool ReadsBack = false;
    };
    // Waits for the read: its result, or what it threw.
    TResult Take();

private:
    std::binary_semaphore m_go{0};
    std::atomic<bool> m_went{false};
    std::future<TResult> m_result;
    std::jthread m_worker;
};
