// A document's bytes as editors see them: lines and character columns, and the extent
// of the names, values and texts that the loader's parser points at.
#ifndef KOLTSETTINGS_TOOLS_SOURCE_H
#define KOLTSETTINGS_TOOLS_SOURCE_H

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace kolt::tool {

// XML white space: space, tab, CR, LF.
constexpr bool isBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A range of bytes, [begin, end).
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

class Source {
public:
    // Keeps a view: `bytes` must outlive the object.
    explicit Source(std::string_view bytes);

    std::string_view bytes() const noexcept { return _bytes; }
    // Whether the loader's parser reads these bytes as they are. It converts UTF-16,
    // UTF-32 and Latin-1 to UTF-8 first, and its offsets then count in the converted text.
    bool utf8() const noexcept { return _utf8; }

    // 1-based line and character column of a byte offset. Lines end at LF, CR LF or CR,
    // as XML and editors count them; a byte order mark is no character. Cheapest when
    // asked in increasing order.
    struct Position {
        int line = 0;
        int column = 0;
    };
    Position position(std::size_t offset) const;
    // The byte offset of a 1-based line and character column, clamped to the line.
    std::size_t offset(int line, int column) const;
    // The byte offset of a 1-based line and byte column as the loader's parser counts
    // them (lines end at LF only).
    std::size_t loaderOffset(int line, int byteColumn) const;

    // The attribute whose name begins at `at`: its value, between the quotes, and the
    // whole of it, name to closing quote. Empty when the bytes there are no attribute.
    struct Attribute {
        Span value;
        Span whole;
    };
    std::optional<Attribute> attribute(std::size_t at) const;
    // The raw text that begins at `at`: up to the next '<', or up to "]]>" in a CDATA
    // section.
    Span text(std::size_t at, bool cdata) const;
    // The byte offset of `index` in a text the parser read from `at`: the parser turns
    // each CR LF and CR into one LF.
    std::size_t inText(std::size_t at, std::size_t index) const;
    // The name in the end tag of the element whose name begins at `at`; none for an
    // empty-element tag or when no end tag matches.
    std::optional<Span> endTagName(std::size_t at) const;

private:
    std::size_t lineStart(std::size_t line) const { return _lineStarts[line - 1]; }

    std::string_view _bytes;
    bool _utf8 = true;
    std::vector<std::size_t> _lineStarts;       // per line (XML line ends)
    mutable std::vector<std::size_t> _lfStarts; // per LF-ended line, when they differ
    mutable Position _last;                     // the last answer of position()
    mutable std::size_t _lastOffset = 0;
};

} // namespace kolt::tool

#endif
