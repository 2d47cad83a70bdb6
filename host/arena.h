// Storage for what a manager keeps until it is destroyed: records, rules and their texts.
#ifndef KOLTSETTINGS_HOST_ARENA_H
#define KOLTSETTINGS_HOST_ARENA_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

namespace kolt::detail {

// Hands out memory from chunks that grow with use (to 2 MiB and beyond, those backed by
// huge pages where the system offers them) and frees it all at once on destruction.
// Nothing is freed before: this suits what loading builds, which lives as long as the
// manager. Fresh pages are expensive to touch; a bump pointer over few large chunks
// touches only the bytes it hands out and pays one fault per huge page.
class Arena {
public:
    Arena() noexcept = default;
    ~Arena();
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    // `size` bytes at a multiple of `align` (a power of two, at most the alignment of
    // any object). Texts ask for 1: packed end to end, they waste no padding. Throws
    // std::bad_alloc.
    void* allocate(std::size_t size, std::size_t align = kAlign) {
        const std::size_t skip = (align - reinterpret_cast<std::uintptr_t>(_next)) & (align - 1);
        if (static_cast<std::size_t>(_end - _next) < skip + size) {
            return allocateSlow(size);
        }
        char* p = _next + skip;
        _next = p + size;
        return p;
    }

    // A value-initialised object that is never destroyed: plain records only.
    template <class T>
    T* make() {
        static_assert(std::is_trivially_destructible_v<T>, "the arena runs no destructor");
        return new (allocate(sizeof(T), alignof(T))) T{};
    }

    // A NUL-terminated copy of the `length` bytes at `text`.
    char* copy(const char* text, std::size_t length) {
        char* out = static_cast<char*>(allocate(length + 1, 1));
        std::memcpy(out, text, length);
        out[length] = '\0';
        return out;
    }

    // Bytes obtained from the system, for tests and measurements.
    std::size_t reservedBytes() const noexcept { return _reserved; }

private:
    static constexpr std::size_t kAlign = alignof(std::max_align_t);
    struct Chunk;

    void* allocateSlow(std::size_t size);

    char* _next = nullptr;
    char* _end = nullptr;
    Chunk* _chunks = nullptr;
    std::size_t _nextChunkSize = 0;
    std::size_t _reserved = 0;
};

} // namespace kolt::detail

#endif
