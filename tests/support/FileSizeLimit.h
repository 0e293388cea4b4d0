#pragma once

#include <sys/resource.h>
#include <sys/types.h>

// Makes every write beyond `bytes` fail as a full disk does, even for root: RLIMIT_FSIZE with
// SIGXFSZ ignored. False when the limit cannot be set.
bool LimitFileSize(off_t bytes);

// The limit for as long as the object lives, in this process.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(off_t bytes);
    ~TFileSizeLimit();
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit m_old{};
};
