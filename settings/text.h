// Owned C texts, as records and rules keep them, and entity decoding.
#ifndef KOLTSETTINGS_SETTINGS_TEXT_H
#define KOLTSETTINGS_SETTINGS_TEXT_H

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace kolt::detail {

// A heap copy released with free (null stays null). Throws std::bad_alloc when out of
// memory, which the load entry points turn into a failed load.
inline char* copyText(const char* text) {
    if (!text) {
        return nullptr;
    }
    const std::size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(std::malloc(size));
    if (!copy) {
        throw std::bad_alloc();
    }
    return static_cast<char*>(std::memcpy(copy, text, size));
}

inline void freeText(char*& text) noexcept {
    std::free(text);
    text = nullptr;
}

struct FreeText {
    void operator()(char* text) const noexcept { std::free(text); }
};
using OwnedText = std::unique_ptr<char, FreeText>;

// Decodes &amp; &lt; &gt; &quot; &apos; in place, in that order, in linear time. Null
// and empty texts are returned untouched.
char* decodeEntities(char* text) noexcept;
// The same on the `length` bytes at `text` (NUL-terminated); returns the new length.
std::size_t decodeEntities(char* text, std::size_t length) noexcept;

// A heap copy of `text` with its entities decoded (null stays null).
inline char* decodedCopy(const char* text) {
    return decodeEntities(copyText(text));
}

class Arena;
// A copy in `arena` of `text` with its entities decoded, of the decoded length (null
// stays null); `scratch` holds a text that has entities while it is decoded.
char* decodedCopy(Arena& arena, std::string& scratch, const char* text);

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
