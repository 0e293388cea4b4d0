#include "FileSizeLimit.h"

#include <csignal>

bool LimitFileSize(off_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_cur > limit.rlim_max)
        limit.rlim_cur = limit.rlim_max;
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

TFileSizeLimit::TFileSizeLimit(off_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &m_old);
    LimitFileSize(bytes);
}

TFileSizeLimit::~TFileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_old); }
