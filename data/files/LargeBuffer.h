#pragma once

#include <cstddef>

// Memory for large buffers in huge pages where the system offers them. A first touch of memory
// costs a page fault per 4 KiB page, and page faults are slow on the virtual machines this runs
// on: a 33 MB card list read into ordinary pages spends most of its read in them.

// Asks for huge pages over the whole 2 MiB pages inside [data, data + size) that are not yet
// touched; a hint only, ignored where the system declines it.
void AdviseHugePages(void* data, std::size_t size);

// Room for `size` bytes, aligned to a huge page when large, left as the system gives it (zero).
// Freed with FreeLargeBuffer(data, size).
char* AllocateLargeBuffer(std::size_t size);
void FreeLargeBuffer(char* data, std::size_t size) noexcept;

// The deleter of a unique_ptr<char[]> holding such a buffer.
struct TLargeBufferFree {
    std::size_t Size = 0;
    void operator()(char* data) const noexcept { FreeLargeBuffer(data, Size); }
};
