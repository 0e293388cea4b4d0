#pragma once

#include <filesystem>
#include <memory>

// The hidden file in a card type folder that writers lock; the program's own, never a card
// type's data (the listing, the history, the clean-ups and the conflict copies pass it by).
inline constexpr const char* kCardTypeLockFileName = ".vastrelle.lock";

// Holds the card type's advisory lock (flock on the hidden lock file in the card type folder) for
// its lifetime, waiting for other writers; the kernel releases it when a process dies, so a killed
// writer never blocks the next one. Nested holders in one thread share it (no self-deadlock);
// another thread of the process waits as another process does. Where the lock file cannot be made
// or the file system refuses the lock (some network shares), saving goes on without it, silently.
class TCardTypeLock {
public:
    explicit TCardTypeLock(const std::filesystem::path& cardTypeFolder);
    ~TCardTypeLock();
    TCardTypeLock(TCardTypeLock&& other) noexcept;
    TCardTypeLock& operator=(TCardTypeLock&&) = delete;
    TCardTypeLock(const TCardTypeLock&) = delete;
    TCardTypeLock& operator=(const TCardTypeLock&) = delete;

    // Whether the lock is really held (false where the file system refused it).
    bool Held() const;

    struct TEntry;

private:
    std::shared_ptr<TEntry> m_entry;
};

namespace cardtypelock::testing {
// From now on every lock is refused with `error` (0: locks work again), as on a file system
// without locks.
void RefuseLocks(int error);
}  // namespace cardtypelock::testing
