// Owned C texts, as rules keep them, and the null-safe comparisons the loader makes.
#ifndef KOLTSETTINGS_HOST_TEXT_H
#define KOLTSETTINGS_HOST_TEXT_H

#include "allocation.h"

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
