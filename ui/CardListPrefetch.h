#pragma once

#include <filesystem>
#include <future>
#include <optional>

#include "cardlist/CardList.h"
#include "cardlist/CardListFastReader.h"
#include "save/CardStore.h"

// The first read of a card list as a window loads it: a small one read whole; a large one (see
// kShowWhileReadingFrom) its text and a look at it, for the window to show its first cards while
// a worker reads the rest.
struct TFirstRead {
    std::optional<TCardsAsRead> Whole;
    TCardListText Text;
    TCardListPreview Preview;
};
// Throws VastrelleError as the card list's reader does.
TFirstRead ReadCardListFirst(const std::filesystem::path& file);

// The first read of the card type that the program folder's settings remember, started on a
// worker while the window builds its controls: on two cores the read no longer comes after them.
class TCardListPrefetch {
public:
    explicit TCardListPrefetch(const std::filesystem::path& programFolder);
    // Waits for the worker.
    ~TCardListPrefetch() = default;
    TCardListPrefetch(const TCardListPrefetch&) = delete;
    TCardListPrefetch& operator=(const TCardListPrefetch&) = delete;

    // The read of `file`, waited for, when it is the file read and has not changed since;
    // nullopt otherwise, also when the read failed (read again, it reports the failure).
    std::optional<TFirstRead> Take(const std::filesystem::path& file);

private:
    struct TRead {
        std::filesystem::path File;  // empty when no card type is remembered
        TFirstRead First;
    };
    std::future<TRead> m_read;
};
