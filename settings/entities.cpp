// Decoding of the five predefined XML entities, in place or into a manager's arena.
#include "arena.h"
#include "text.h"

namespace kolt::detail {

namespace {

struct EntityRow {
    const char* text;
    std::size_t length;
    char character;
};

// Order matters: each row is applied to the whole text before the next one starts.
constexpr EntityRow kEntities[] = {
    {"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''},
};

// Replaces every occurrence of one row, left to right, compacting the text. The result
// equals searching again from the start after each replacement: the text before the
// write position holds no occurrence, and the only character a replacement writes that
// can begin a new occurrence is the ampersand of the &amp; row, at the position just
// written ("&amp;amp;" gives "&"). A row never contains its own character elsewhere,
// so no occurrence can straddle the write position otherwise.
std::size_t applyRow(char* s, std::size_t n, const EntityRow& row) noexcept {
    const char* first = static_cast<const char*>(std::memchr(s, '&', n));
    if (!first) {
        return n;
    }
    std::size_t r = static_cast<std::size_t>(first - s);
    std::size_t w = r;
    auto matchesAt = [&](std::size_t at, std::size_t skip) {
        return n - at >= row.length - skip && std::memcmp(s + at, row.text + skip, row.length - skip) == 0;
    };
    while (r < n) {
        if (s[r] == '&' && matchesAt(r, 0)) {
            r += row.length;
            if (row.character == '&') {
                // The ampersand just written followed by "amp;" forms a new occurrence.
                while (matchesAt(r, 1)) {
                    r += row.length - 1;
                }
            }
            s[w++] = row.character;
        } else {
            s[w++] = s[r++];
        }
    }
    s[w] = '\0';
    return w;
}

} // namespace

std::size_t decodeEntities(char* text, std::size_t length) noexcept {
    if (!std::memchr(text, '&', length)) {
        return length;
    }
    for (const EntityRow& row : kEntities) {
        length = applyRow(text, length, row);
    }
    return length;
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
