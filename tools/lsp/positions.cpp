// Conversions between LSP positions and byte offsets.
#include "positions.h"

#include "support/escape.h"

#include <algorithm>

namespace kolt::lsp {

namespace {

struct Character {
    std::size_t bytes;   // 1 for a byte that starts no well-formed sequence
    std::size_t units16; // 2 above U+FFFF
};

// The character at `i`; a byte that begins no well-formed UTF-8 sequence is one.
Character characterAt(std::string_view text, std::size_t i) {
    const kolt::tool::Utf8Char c = kolt::tool::decodeUtf8(text.substr(i));
    return {c.length ? c.length : 1, c.code > 0xFFFF ? 2u : 1u};
}

std::size_t units(const Character& c, Encoding e) {
    switch (e) {
    case Encoding::Utf8:
        return c.bytes;
    case Encoding::Utf16:
        return c.units16;
    case Encoding::Utf32:
        break;
    }
    return 1;
}

} // namespace

LineIndex::LineIndex(std::string_view text) {
    bool ascii = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            _ascii.back() = ascii;
            _starts.push_back(i + 1);
            _ascii.push_back(true);
            ascii = true;
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
        }
    }
    _ascii.back() = ascii;
}

std::size_t LineIndex::lineEnd(std::string_view text, std::size_t line) const {
    std::size_t end = line + 1 < _starts.size() ? _starts[line + 1] : text.size();
    end = std::min(end, text.size());
    if (end > _starts[line] && line + 1 < _starts.size()) {
        --end; // "\n" or "\r"
        if (end > _starts[line] && text[end] == '\n' && text[end - 1] == '\r') {
            --end;
        }
    }
    return end;
}

std::size_t LineIndex::offset(std::string_view text, Position p, Encoding e) const {
    if (p.line >= _starts.size()) {
        return text.size();
    }
    const std::size_t start = std::min(_starts[p.line], text.size());
    const std::size_t end = lineEnd(text, p.line);
    if (_ascii[p.line]) {
        return start + std::min<std::size_t>(p.character, end - start);
    }
    std::size_t counted = 0;
    std::size_t i = start;
    while (i < end) {
        const Character c = characterAt(text, i);
        const std::size_t next = counted + units(c, e);
        if (next > p.character) {
            break;
        }
        counted = next;
        i += c.bytes;
    }
    return std::min(i, end);
}

Position LineIndex::position(std::string_view text, std::size_t offset, Encoding e) const {
    offset = std::min(offset, text.size());
    const auto after = std::upper_bound(_starts.begin(), _starts.end(), offset);
    const std::size_t line = static_cast<std::size_t>(after - _starts.begin()) - 1;
    const std::size_t start = _starts[line];
    const std::size_t end = std::min(offset, lineEnd(text, line));
    std::size_t counted = 0;
    if (_ascii[line]) {
        counted = end - start;
    } else {
        for (std::size_t i = start; i < end;) {
            const Character c = characterAt(text, i);
            if (i + c.bytes > end) {
                break; // the offset is inside this character
            }
            counted += units(c, e);
            i += c.bytes;
        }
    }
    return {static_cast<std::uint32_t>(line), static_cast<std::uint32_t>(counted)};
}

} // namespace kolt::lsp
