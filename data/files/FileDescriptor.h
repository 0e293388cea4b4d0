#pragma once

#include <unistd.h>

#include <utility>

#include "files/FileOps.h"

// Owns one open file descriptor. Close() reports the result that a written file depends on; the
// destructor closes silently, for the paths where the file is given up anyway.
class TFileDescriptor {
public:
    TFileDescriptor() = default;
    explicit TFileDescriptor(int fd) : m_fd(fd) {}
    ~TFileDescriptor() noexcept {
        if (m_fd >= 0) ::close(m_fd);
    }
    TFileDescriptor(TFileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept {
        if (this != &other) {
            if (m_fd >= 0) ::close(m_fd);
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    bool Valid() const { return m_fd >= 0; }
    int Get() const { return m_fd; }

    // False when the close failed: data written may not have reached the file.
    bool Close() { return m_fd >= 0 && fileops::Close(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd = -1;
};
