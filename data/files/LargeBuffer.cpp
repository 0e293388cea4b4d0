#include "files/LargeBuffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Below this a buffer comes from the allocator: a mapping of its own would cost more.
constexpr std::size_t kOwnMappingFrom = kHugePage;

std::size_t RoundUp(std::size_t size) { return (size + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void AdviseHugePages(void* data, std::size_t size) {
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t from = (begin + kHugePage - 1) / kHugePage * kHugePage;
    const std::uintptr_t to = (begin + size) / kHugePage * kHugePage;
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

char* AllocateLargeBuffer(std::size_t size) {
    if (size < kOwnMappingFrom) return new char[size ? size : 1];
    // One huge page more than needed, so that the buffer can start on a huge page; the slack on
    // either side is given back at once.
    const std::size_t length = RoundUp(size);
    void* mapped = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto begin = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (begin + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > begin) ::munmap(mapped, aligned - begin);
    const std::uintptr_t end = begin + length + kHugePage;
    if (end > aligned + length)
        ::munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
    // Only the huge pages the buffer fills: a last one it fills in part would be resident whole.
    if (size >= kHugePage)
        ::madvise(reinterpret_cast<void*>(aligned), size / kHugePage * kHugePage, MADV_HUGEPAGE);
    return reinterpret_cast<char*>(aligned);
}

void FreeLargeBuffer(char* data, std::size_t size) noexcept {
    if (size < kOwnMappingFrom) {
        delete[] data;
        return;
    }
    ::munmap(data, RoundUp(size));
}
