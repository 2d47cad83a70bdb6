// Positions in a document: LSP's (line, character) in the negotiated code units, and
// byte offsets into the UTF-8 text. The one place that converts between the two.
#ifndef KOLTSETTINGS_TOOLS_LSP_POSITIONS_H
#define KOLTSETTINGS_TOOLS_LSP_POSITIONS_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kolt::lsp {

// What a position's character counts; UTF-16 unless the client offers another.
enum class Encoding { Utf8, Utf16, Utf32 };

struct Position {
    std::uint32_t line = 0;
    std::uint32_t character = 0;
    bool operator==(const Position& o) const { return line == o.line && character == o.character; }
};

// Line starts of a text. Lines end at "\n", "\r\n" or "\r", as the protocol counts them.
// A byte that is not part of a well-formed UTF-8 sequence counts as one character (the
// replacement character an editor shows for it).
class LineIndex {
public:
    LineIndex() = default;
    explicit LineIndex(std::string_view text);

    // The byte offset of a position. A character past the end of its line means the end
    // of the line, a line past the last one the end of the text; a position inside a
    // character (between the two halves of a surrogate pair) means its start.
    std::size_t offset(std::string_view text, Position p, Encoding e) const;
    // The position of a byte offset (past the end: the end of the text). An offset inside
    // a character or a line end counts from the character's start or the line's end.
    Position position(std::string_view text, std::size_t offset, Encoding e) const;

private:
    std::size_t lineEnd(std::string_view text, std::size_t line) const;

    std::vector<std::size_t> _starts{0};
    std::vector<bool> _ascii{true}; // per line: no byte above 0x7F, so units are bytes
};

} // namespace kolt::lsp

#endif
