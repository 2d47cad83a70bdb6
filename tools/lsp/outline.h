// A forgiving scan of a settings document's elements: where names, attributes and tags
// are, for text an author is still typing. No entity decoding and no validation; cheap
// enough to run on every request.
#ifndef KOLTSETTINGS_TOOLS_LSP_OUTLINE_H
#define KOLTSETTINGS_TOOLS_LSP_OUTLINE_H

#include "features.h"

#include <string>
#include <string_view>
#include <vector>

namespace kolt::lsp {

// A byte that may stand in an XML name (any byte of a character beyond ASCII counts).
bool isNameByte(char c) noexcept;

inline std::string_view slice(std::string_view text, Span s) {
    return s.begin <= s.end && s.end <= text.size() ? text.substr(s.begin, s.end - s.begin)
                                                    : std::string_view();
}

// Whether `offset` is in `s` or at either end of it.
inline bool within(std::size_t offset, Span s) {
    return s.begin <= offset && offset <= s.end;
}

// Where the line of `at` begins (lines end at LF, CR LF or CR).
std::size_t lineBegin(std::string_view text, std::size_t at);
// The blanks that begin the line of `at`.
std::string indentOf(std::string_view text, std::size_t at);
// What one level of nesting adds to the indentation: what `inner` has beyond `outer`,
// else two spaces.
std::string indentUnit(const std::string& inner, const std::string& outer);

struct OutlineAttribute {
    Span name;
    Span value; // inside the quotes; empty at the name's end when there is no value
};

struct OutlineElement {
    Span name;           // in the start tag
    Span tag;            // "<" up to and including ">" (or where an unfinished tag stops)
    Span endName;        // in the end tag; empty at tag.end when there is none
    std::size_t end = 0; // after the end tag, or where the element was closed implicitly
    bool selfClosing = false;
    int parent = -1; // index into elements(), -1 at the top
    std::vector<int> children;
    std::vector<OutlineAttribute> attributes;

    bool contains(std::size_t offset) const { return offset > tag.begin && offset <= end; }
};

class Outline {
public:
    explicit Outline(std::string_view text);

    const std::vector<OutlineElement>& elements() const noexcept { return _elements; }
    // Top-level elements (well-formed documents have one).
    const std::vector<int>& roots() const noexcept { return _roots; }
    // The innermost element whose content holds `offset` (after its start tag, up to its
    // end tag); -1 outside every element.
    int enclosing(std::size_t offset) const;
    // The innermost element whose start tag holds `offset`; -1 if none.
    int tagAt(std::size_t offset) const;
    // The element whose start-tag name is exactly `name`; -1 if none.
    int withName(Span name) const;
    std::string_view name(int element) const;

private:
    std::string_view _text;
    std::vector<OutlineElement> _elements;
    std::vector<int> _roots;
};

} // namespace kolt::lsp

#endif
