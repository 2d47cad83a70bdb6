// Arena chunks: small ones from operator new, large ones mapped and advised to use huge pages.
#include "arena.h"

#include "allocation.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#define KOLT_ARENA_MAPS 1
#endif

namespace kolt::detail {

// Sits at the start of every chunk.
struct Arena::Chunk {
    Chunk* previous;
    void* base;         // what operator new or mmap returned
    std::size_t mapped; // length of the mapping; 0 for operator new
};

namespace {

constexpr std::size_t kFirstChunk = std::size_t(8) << 10;
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kLargestChunk = std::size_t(32) << 20;
// The chunk header, rounded up so that what follows is aligned for any object.
constexpr std::size_t kHeader =
    (sizeof(void*) * 3 + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);

// Maps `size` bytes on a huge-page boundary and asks for huge pages; null when the
// system refuses (the caller then falls back to operator new).
void* mapHuge(std::size_t size, void*& base, std::size_t& mapped) noexcept {
#if KOLT_ARENA_MAPS && defined(MADV_HUGEPAGE)
    const std::size_t length = (size + kHugePage - 1) & ~(kHugePage - 1);
    void* raw =
        ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    // Unmap the unaligned head and the tail beyond the aligned length.
    if (aligned > start) {
        ::munmap(raw, aligned - start);
    }
    const std::uintptr_t tail = aligned + length;
    const std::uintptr_t end = start + length + kHugePage;
    if (end > tail) {
        ::munmap(reinterpret_cast<void*>(tail), end - tail);
    }
    base = reinterpret_cast<void*>(aligned);
    mapped = length;
    ::madvise(base, length, MADV_HUGEPAGE); // advice only: ignored where unsupported
    return base;
#else
    (void)size;
    (void)base;
    (void)mapped;
    return nullptr;
#endif
}

} // namespace

Arena::~Arena() {
    for (Chunk* c = _chunks; c;) {
        Chunk* previous = c->previous;
#if KOLT_ARENA_MAPS
        if (c->mapped) {
            ::munmap(c->base, c->mapped);
            c = previous;
            continue;
        }
#endif
        freeBytes(c->base);
        c = previous;
    }
}

void* Arena::allocateSlow(std::size_t size) {
    if (_nextChunkSize == 0) {
        _nextChunkSize = kFirstChunk;
    }
    // A request larger than a quarter of the next chunk gets a chunk of its own, so
    // that the space left in the current chunk is not thrown away.
    const bool own = size > _nextChunkSize / 4;
    const std::size_t total = own ? kHeader + size : _nextChunkSize;
    const std::size_t usable = total - kHeader;
    void* base = nullptr;
    std::size_t mapped = 0;
    void* memory = total >= kHugePage ? mapHuge(total, base, mapped) : nullptr;
    if (!memory) {
        memory = base = allocateBytes(total);
        mapped = 0;
        if (!memory) {
            throw std::bad_alloc();
        }
    }
    auto* chunk = new (memory) Chunk{_chunks, base, mapped};
    _chunks = chunk;
    _reserved += mapped ? mapped : total;
    char* data = static_cast<char*>(memory) + kHeader;
    if (own) {
        return data; // the current chunk stays current
    }
    _next = data;
    _end = data + usable;
    // Four times larger each time up to a huge page, then doubling to a bound.
    _nextChunkSize =
        _nextChunkSize < kHugePage ? _nextChunkSize * 4 : std::min(_nextChunkSize * 2, kLargestChunk);
    void* p = _next;
    _next += size;
    return p;
}

} // namespace kolt::detail
