// Huge-page advice for large buffers (Linux only; elsewhere a no-op).
#include "huge_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kolt::detail {

void adviseHugePages(void* buffer, std::size_t size) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
    if (!buffer || size < 2 * kHugePage) {
        return;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(buffer);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (start + size) & ~(kHugePage - 1);
    if (last > first) {
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE); // advice only
    }
#else
    (void)buffer;
    (void)size;
#endif
}

} // namespace kolt::detail
