#include "save/CardTypeLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace fs = std::filesystem;

// One card type folder's lock as this process holds it: the thread that holds it and how many
// holders it has there.
struct TCardTypeLock::TEntry {
    std::string Key;
    std::thread::id Owner;
    int Depth = 0;
    int Fd = -1;
    bool Held = false;
};

namespace {

std::atomic<int> g_refusal{0};

struct TRegistry {
    std::mutex Mutex;
    std::condition_variable Released;
    std::map<std::string, std::shared_ptr<TCardTypeLock::TEntry>> Entries;
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

// The folder by device and inode, so that two spellings of one folder share a lock.
std::string KeyOf(const fs::path& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0)
        return std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino);
    return fs::absolute(folder).lexically_normal().string();
}

int OpenLockFile(const fs::path& folder) {
    const fs::path path = folder / kCardTypeLockFileName;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    // A lock file someone made read-only locks as well through a read-only descriptor.
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    return fd;
}

bool Flock(int fd) {
    if (int error = g_refusal.load()) {
        errno = error;
        return false;
    }
    for (;;) {
        if (::flock(fd, LOCK_EX) == 0) return true;
        if (errno != EINTR) return false;
    }
}

}  // namespace

TCardTypeLock::TCardTypeLock(const fs::path& cardTypeFolder) {
    TRegistry& registry = Registry();
    const std::string key = KeyOf(cardTypeFolder);
    const std::thread::id self = std::this_thread::get_id();
    {
        std::unique_lock guard(registry.Mutex);
        for (;;) {
            auto it = registry.Entries.find(key);
            if (it == registry.Entries.end()) break;
            if (it->second->Owner == self) {
                ++it->second->Depth;
                m_entry = it->second;
                return;
            }
            registry.Released.wait(guard);
        }
        m_entry = std::make_shared<TEntry>();
        m_entry->Key = key;
        m_entry->Owner = self;
        m_entry->Depth = 1;
        registry.Entries.emplace(key, m_entry);
    }
    // Waiting for another process happens outside the registry's mutex: other folders' locks
    // are not held up, and other threads wanting this one wait on the entry.
    m_entry->Fd = OpenLockFile(cardTypeFolder);
    m_entry->Held = m_entry->Fd >= 0 && Flock(m_entry->Fd);
}

TCardTypeLock::TCardTypeLock(TCardTypeLock&& other) noexcept : m_entry(std::move(other.m_entry)) {}

TCardTypeLock::~TCardTypeLock() {
    if (!m_entry) return;
    TRegistry& registry = Registry();
    std::lock_guard guard(registry.Mutex);
    if (--m_entry->Depth > 0) return;
    // Closing the descriptor releases the lock.
    if (m_entry->Fd >= 0) ::close(m_entry->Fd);
    registry.Entries.erase(m_entry->Key);
    registry.Released.notify_all();
}

bool TCardTypeLock::Held() const { return m_entry && m_entry->Held; }

void cardtypelock::testing::RefuseLocks(int error) { g_refusal.store(error); }
