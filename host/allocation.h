// The allocation functions behind the library's own buffers.
#ifndef KOLTSETTINGS_HOST_ALLOCATION_H
#define KOLTSETTINGS_HOST_ALLOCATION_H

#include <cstddef>
#include <new>

namespace kolt::detail {

// Buffers the library manages by hand (index arrays and names, arena chunks, texts) come
// from the global operator new, as its objects and containers do: a program that
// replaces operator new, to count memory or to make it fail in tests, sees it all.
// Only the document buffer and pugixml's nodes come from pugixml's allocator, and the
// largest arena chunks from the system's mappings.
inline void* allocateBytes(std::size_t size) noexcept {
    return ::operator new(size, std::nothrow);
}

inline void freeBytes(void* block) noexcept {
    ::operator delete(block);
}

} // namespace kolt::detail

#endif
