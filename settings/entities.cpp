// Decoding of the five predefined XML entities, in place or into a manager's arena.
#include "arena.h"
#include "text.h"

namespace kolt::detail {

namespace {

// True when the `length` bytes of `expected` follow at s[at], within n.
inline bool follows(const char* s, std::size_t n, std::size_t at, const char* expected,
                    std::size_t length) noexcept {
    if (n - at < length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (s[at + i] != expected[i]) {
            return false;
        }
    }
    return true;
}

// Moves the run from s[r] up to the next ampersand (or the end) to s[w]; returns the
// new read and write positions through r and w. Entity-dense texts have runs of a few
// bytes, copied here one by one; longer runs go to memchr and memmove.
inline void copyRun(char* s, std::size_t n, std::size_t& r, std::size_t& w) noexcept {
    for (const std::size_t shortEnd = n - r < 16 ? n : r + 16; r < shortEnd; ++r, ++w) {
        if (s[r] == '&') {
            return;
        }
        s[w] = s[r];
    }
    if (r == n) {
        return;
    }
    const auto* next = static_cast<const char*>(std::memchr(s + r, '&', n - r));
    const std::size_t end = next ? static_cast<std::size_t>(next - s) : n;
    if (w != r) {
        std::memmove(s + w, s + r, end - r);
    }
    w += end - r;
    r = end;
}

// The first row, &amp;, replaced everywhere, left to right. This equals searching again
// from the start after each replacement: the text before the write position holds no
// occurrence, and the ampersand just written begins a new one exactly when "amp;"
// follows ("&amp;amp;" gives "&").
std::size_t decodeAmpersands(char* s, std::size_t n) noexcept {
    const auto* first = static_cast<const char*>(std::memchr(s, '&', n));
    if (!first) {
        return n;
    }
    std::size_t r = static_cast<std::size_t>(first - s);
    std::size_t w = r;
    while (r < n) { // s[r] is an ampersand
        if (follows(s, n, r + 1, "amp;", 4)) {
            r += 5;
            while (follows(s, n, r, "amp;", 4)) {
                r += 4;
            }
        } else {
            ++r;
        }
        s[w++] = '&';
        copyRun(s, n, r, w);
    }
    s[w] = '\0';
    return w;
}

// The four other rows (&lt; &gt; &quot; &apos;) in one scan. Applying them one after
// the other gives the same: no two occurrences overlap (each holds one ampersand, its
// first byte), and the characters they write appear in no entity, so a replacement
// never completes or begins another occurrence.
std::size_t decodeOthers(char* s, std::size_t n) noexcept {
    const auto* first = static_cast<const char*>(std::memchr(s, '&', n));
    if (!first) {
        return n;
    }
    std::size_t r = static_cast<std::size_t>(first - s);
    std::size_t w = r;
    while (r < n) { // s[r] is an ampersand
        char c = '&';
        std::size_t length = 1;
        if (follows(s, n, r + 1, "lt;", 3)) {
            c = '<', length = 4;
        } else if (follows(s, n, r + 1, "gt;", 3)) {
            c = '>', length = 4;
        } else if (follows(s, n, r + 1, "quot;", 5)) {
            c = '"', length = 6;
        } else if (follows(s, n, r + 1, "apos;", 5)) {
            c = '\'', length = 6;
        }
        s[w++] = c;
        r += length;
        copyRun(s, n, r, w);
    }
    s[w] = '\0';
    return w;
}

} // namespace

std::size_t decodeEntities(char* text, std::size_t length) noexcept {
    if (!std::memchr(text, '&', length)) {
        return length;
    }
    // Order matters: an ampersand that &amp; writes may begin any of the others.
    return decodeOthers(text, decodeAmpersands(text, length));
}

char* decodeEntities(char* text) noexcept {
    if (text && *text) {
        decodeEntities(text, std::strlen(text));
    }
    return text;
}

char* decodedCopy(Arena& arena, std::string& scratch, const char* text) {
    if (!text) {
        return nullptr;
    }
    const std::size_t length = std::strlen(text);
    if (!std::memchr(text, '&', length)) {
        return arena.copy(text, length); // most texts: nothing to decode
    }
    scratch.assign(text, length);
    return arena.copy(scratch.data(), decodeEntities(scratch.data(), length));
}

} // namespace kolt::detail
