// Owned C texts, as records and rules keep them, and entity decoding.
#ifndef KOLTSETTINGS_SETTINGS_TEXT_H
#define KOLTSETTINGS_SETTINGS_TEXT_H

#include "../host/allocation.h"

#include <cstddef>
#include <cstring>
#include <new>

namespace kolt::detail {

// A heap copy released with freeText (null stays null). Throws std::bad_alloc when out of
// memory, which the load entry points turn into a failed load.
inline char* copyText(const char* text) {
    if (!text) {
        return nullptr;
    }
    const std::size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(allocateBytes(size));
    if (!copy) {
        throw std::bad_alloc();
    }
    return static_cast<char*>(std::memcpy(copy, text, size));
}

inline void freeText(char*& text) noexcept {
    freeBytes(text);
    text = nullptr;
}

// Decodes &amp; &lt; &gt; &quot; &apos; in place, in that order, in linear time. Null
// and empty texts are returned untouched.
char* decodeEntities(char* text) noexcept;
// The same on the `length` bytes at `text` (NUL-terminated); returns the new length.
std::size_t decodeEntities(char* text, std::size_t length) noexcept;

// A heap copy of `text` with its entities decoded (null stays null).
inline char* decodedCopy(const char* text) {
    return decodeEntities(copyText(text));
}

// A reusable buffer for texts being decoded: texts with entities are decoded here, then
// stored at their decoded length.
class TextBuffer {
public:
    TextBuffer() noexcept = default;
    ~TextBuffer() { freeBytes(_data); }
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    // Room for `size` bytes (earlier contents are not kept). Throws std::bad_alloc.
    char* reserve(std::size_t size);
    // Decodes the `length` bytes at `text` into the buffer; returns the decoded length.
    std::size_t decode(const char* text, std::size_t length);
    const char* data() const noexcept { return _data; }

private:
    char* _data = nullptr;
    std::size_t _capacity = 0;
};

class Arena;
// A copy in `arena` of `text` with its entities decoded, of the decoded length (null
// stays null); `buffer` holds a text that has entities while it is decoded.
char* decodedCopy(Arena& arena, TextBuffer& buffer, const char* text);

// Null-safe equality of C texts. Most names compared while loading differ in their
// first byte; that test is made here, and strcmp called only when it passes.
inline bool sameText(const char* a, const char* b) noexcept {
    return a && b && a[0] == b[0] && std::strcmp(a, b) == 0;
}

inline bool isEmpty(const char* text) noexcept {
    return !text || !*text;
}

} // namespace kolt::detail

#endif
