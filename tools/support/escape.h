// Safe forms of names and values for the tool's outputs: nothing read from a settings
// file or a command line may move a terminal's cursor, break a line, pass for a CI log
// command, or make an XML output ill-formed.
#ifndef KOLTSETTINGS_TOOLS_ESCAPE_H
#define KOLTSETTINGS_TOOLS_ESCAPE_H

#include <cstddef>
#include <string>
#include <string_view>

namespace kolt::tool {

// The character that begins `text`: its code point and UTF-8 length, or length 0 when
// the first byte begins no well-formed UTF-8 sequence (overlong forms, surrogates,
// code points past U+10FFFF and cut sequences included) or `text` is empty.
struct Utf8Char {
    char32_t code = 0;
    std::size_t length = 0;
};
Utf8Char decodeUtf8(std::string_view text) noexcept;

// Whether a terminal or a log viewer may act on `c` instead of showing it: C0 and C1
// controls, DEL, the line and paragraph separators (U+2028, U+2029), and the
// bidirectional embeddings, overrides and isolates (U+202A to U+202E, U+2066 to U+2069).
bool isControlCharacter(char32_t c) noexcept;

// Where a CI log command that `text` holds begins a "##name[" command (Azure Pipelines,
// and the older form GitHub Actions reads anywhere in a line): the index of its first
// '#', or npos.
std::size_t findLogCommand(std::string_view text, std::size_t from = 0) noexcept;

// `text` for one line of the tool's text output (gnu lines, its own messages): each
// byte of a control character or of a sequence that is not UTF-8 becomes \xNN (two
// lower-case hex digits), a backslash becomes \\ (unless `text` is escaped that way
// already: !escapeBackslash), and the first '#' of a "##name[" command becomes \x23.
// With `startsLine`, a leading "::" (after blanks: a GitHub Actions workflow command)
// becomes \x3a: as well. The result holds no line break.
std::string escapeForLine(std::string_view text, bool startsLine = false, bool escapeBackslash = true);

// `text` for Markdown, in a paragraph or a table cell (a pull-request comment): first
// escapeForLine, then a backslash before every ASCII punctuation character, so that no
// emphasis, code span, link, autolink, HTML, table cell end, mention (@) or reference (#)
// can begin; Markdown shows each as the character itself.
std::string escapeForMarkdown(std::string_view text);

// Whether an XML 1.0 document can hold `text` at all: well-formed UTF-8 whose characters
// are all XML characters (tab, line feed, carriage return, U+0020 to U+D7FF, U+E000 to
// U+FFFD, U+10000 to U+10FFFF). What fails cannot be written even as a character
// reference.
bool isXmlWritable(std::string_view text) noexcept;

// Whether `text` is an XML 1.0 Name (fifth edition), as element and attribute names
// must be.
bool isXmlName(std::string_view text) noexcept;

// Makes one line of XML output safe to show in a terminal or CI log and keeps it well
// formed whatever the context (names, text, attribute values, CDATA, comments): every
// character isXmlWritable refuses or isControlCharacter names (tab and line feed
// excepted), every byte that is not UTF-8, a line feed that would begin a line with "::"
// (after blanks) and the first '#' of a "##name[" command become U+FFFD, itself an XML
// name character. Returns whether anything was replaced.
bool replaceUnsafeXml(std::string& markup);

} // namespace kolt::tool

#endif
