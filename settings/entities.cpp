// Decoding of the five predefined XML entities, in place or into a manager's arena.
#include "entities.h"
#include "../host/arena.h"
#include "../host/huge_pages.h"

#include <cstring>
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

// Decodes from `in` into `out` (which may be `in`) in one left-to-right scan, with the
// result of applying the five rows one after the other, each from the start of the text
// again after every replacement:
// - &amp; first: the ampersand it writes begins a new &amp; exactly when "amp;" follows
//   ("&amp;amp;" gives "&"), so the whole chain is consumed at once;
// - then the four others, on the text &amp; left: every ampersand there, as written or
//   as &amp; gave it, is followed by the original bytes, which &amp; never changes
//   (they hold no ampersand) and which are the bytes the others look at. No two of
//   their occurrences overlap, and the characters they write appear in no entity, so
//   one scan settles them all, and never feeds &amp; again ("&lt;amp;" gives "<amp;").
std::size_t decodeText(const char* in, std::size_t n, char* out) noexcept {
    std::size_t r = 0;
    std::size_t w = 0;
    copyRun(in, out, n, r, w);
    while (r < n) { // in[r] is an ampersand
        ++r;
        if (follows(in, n, r, "amp;")) {
            r += 4;
            while (follows(in, n, r, "amp;")) {
                r += 4;
            }
        }
        char c = '&';
        if (r < n) {
            switch (in[r]) {
            case 'l':
                if (follows(in, n, r, "lt;")) {
                    c = '<', r += 3;
                }
                break;
            case 'g':
                if (follows(in, n, r, "gt;")) {
                    c = '>', r += 3;
                }
                break;
            case 'q':
                if (follows(in, n, r, "quot;")) {
                    c = '"', r += 5;
                }
                break;
            case 'a':
                if (follows(in, n, r, "apos;")) {
                    c = '\'', r += 5;
                }
                break;
            default:
                break;
            }
        }
        out[w++] = c;
        copyRun(in, out, n, r, w);
    }
    out[w] = '\0';
    return w;
}

} // namespace

std::size_t decodeEntities(char* text, std::size_t length) noexcept {
    if (!std::memchr(text, '&', length)) {
        return length;
    }
    return decodeText(text, length, text);
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
        char* grown = static_cast<char*>(allocateBytes(capacity));
        if (!grown) {
            throw std::bad_alloc();
        }
        freeBytes(_data);
        _data = grown;
        _capacity = capacity;
        adviseHugePages(_data, _capacity); // a long text is written through once
    }
    return _data;
}

std::size_t TextBuffer::decode(const char* text, std::size_t length) {
    return decodeText(text, length, reserve(length + 1));
}

char* decodedCopy(Arena& arena, TextBuffer& buffer, const char* text) {
    if (!text) {
        return nullptr;
    }
    const std::size_t length = std::strlen(text);
    if (!std::memchr(text, '&', length)) {
        return arena.copy(text, length); // most texts: nothing to decode
    }
    // Decoded first: decoding may move the buffer, and argument order is unspecified.
    const std::size_t decoded = buffer.decode(text, length);
    return arena.copy(buffer.data(), decoded);
}

} // namespace kolt::detail
