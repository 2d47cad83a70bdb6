// Decoding of the five predefined XML entities, in place or into a manager's arena.
#include "../host/huge_pages.h"
#include "arena.h"
#include "text.h"

#include <new>

namespace kolt::detail {

namespace {

// True when the text `expected` (without its NUL) follows at s[at], within n. The
// length is a constant, so the comparison compiles to a few word compares.
template <std::size_t N>
inline bool follows(const char* s, std::size_t n, std::size_t at, const char (&expected)[N]) noexcept {
    return n - at >= N - 1 && std::memcmp(s + at, expected, N - 1) == 0;
}

// Copies the run from in[r] up to the next ampersand (or the end) to out[w] and
// advances both positions; w never passes r, so `out` may be `in`. Entity-dense texts
// have runs of a few bytes, copied here one by one; longer runs go to memchr and memmove.
inline void copyRun(const char* in, char* out, std::size_t n, std::size_t& r, std::size_t& w) noexcept {
    for (const std::size_t shortEnd = n - r < 16 ? n : r + 16; r < shortEnd; ++r, ++w) {
        if (in[r] == '&') {
            return;
        }
        out[w] = in[r];
    }
    if (r == n) {
        return;
    }
    const auto* next = static_cast<const char*>(std::memchr(in + r, '&', n - r));
    const std::size_t end = next ? static_cast<std::size_t>(next - in) : n;
    if (out + w != in + r) {
        std::memmove(out + w, in + r, end - r);
    }
    w += end - r;
    r = end;
}

// The first row, &amp;, replaced everywhere, left to right, from `in` into `out` (which
// may be `in`). This equals searching again from the start after each replacement: the
// text before the write position holds no occurrence, and the ampersand just written
// begins a new one exactly when "amp;" follows ("&amp;amp;" gives "&").
std::size_t decodeAmpersands(const char* in, std::size_t n, char* out) noexcept {
    std::size_t r = 0;
    std::size_t w = 0;
    copyRun(in, out, n, r, w);
    while (r < n) { // in[r] is an ampersand
        if (follows(in, n, r + 1, "amp;")) {
            r += 5;
            while (follows(in, n, r, "amp;")) {
                r += 4;
            }
        } else {
            ++r;
        }
        out[w++] = '&';
        copyRun(in, out, n, r, w);
    }
    out[w] = '\0';
    return w;
}

// The four other rows (&lt; &gt; &quot; &apos;) in one scan, in place. Applying them
// one after the other gives the same: no two occurrences overlap (each holds one
// ampersand, its first byte), and the characters they write appear in no entity, so a
// replacement never completes or begins another occurrence.
std::size_t decodeOthers(char* s, std::size_t n) noexcept {
    std::size_t r = 0;
    std::size_t w = 0;
    copyRun(s, s, n, r, w);
    while (r < n) { // s[r] is an ampersand
        char c = '&';
        std::size_t length = 1;
        if (follows(s, n, r + 1, "lt;")) {
            c = '<', length = 4;
        } else if (follows(s, n, r + 1, "gt;")) {
            c = '>', length = 4;
        } else if (follows(s, n, r + 1, "quot;")) {
            c = '"', length = 6;
        } else if (follows(s, n, r + 1, "apos;")) {
            c = '\'', length = 6;
        }
        s[w++] = c;
        r += length;
        copyRun(s, s, n, r, w);
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
    return decodeOthers(text, decodeAmpersands(text, length, text));
}

char* decodeEntities(char* text) noexcept {
    if (text && *text) {
        decodeEntities(text, std::strlen(text));
    }
    return text;
}

char* TextBuffer::reserve(std::size_t size) {
    if (size > _capacity) {
        const std::size_t capacity = size > 2 * _capacity ? size : 2 * _capacity;
        char* grown = static_cast<char*>(std::malloc(capacity));
        if (!grown) {
            throw std::bad_alloc();
        }
        std::free(_data);
        _data = grown;
        _capacity = capacity;
        adviseHugePages(_data, _capacity); // a long text is written through once
    }
    return _data;
}

std::size_t TextBuffer::decode(const char* text, std::size_t length) {
    char* out = reserve(length + 1);
    // The first pass copies while it decodes; the second works in place.
    return decodeOthers(out, decodeAmpersands(text, length, out));
}

char* decodedCopy(Arena& arena, TextBuffer& buffer, const char* text) {
    if (!text) {
        return nullptr;
    }
    const std::size_t length = std::strlen(text);
    if (!std::memchr(text, '&', length)) {
        return arena.copy(text, length); // most texts: nothing to decode
    }
    return arena.copy(buffer.data(), buffer.decode(text, length));
}

} // namespace kolt::detail
