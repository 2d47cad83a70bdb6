// Lines, columns and spans in a document's bytes.
#include "source.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace kolt::tool {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Whether the parser reads these bytes as UTF-8: no byte order mark of UTF-16 or UTF-32,
// no NUL among the first bytes, and no declaration of Latin-1 (the encodings it converts).
bool readAsUtf8(std::string_view bytes) {
    const std::string_view head = bytes.substr(0, 4);
    if (head.substr(0, 2) == "\xFE\xFF" || head.substr(0, 2) == "\xFF\xFE" ||
        head.find('\0') != std::string_view::npos) {
        return false;
    }
    const std::size_t start = bytes.substr(0, 3) == kByteOrderMark ? 3 : 0;
    if (bytes.substr(start, 5) != "<?xml") {
        return true;
    }
    std::string declaration(bytes.substr(start, bytes.find("?>", start) - start));
    for (char& c : declaration) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const char* latin1 : {"iso-8859-1", "iso_8859-1", "latin1"}) {
        if (declaration.find(latin1) != std::string::npos) {
            return false;
        }
    }
    return true;
}

bool isContinuation(char c) noexcept {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

Source::Source(std::string_view bytes) : _bytes(bytes), _utf8(readAsUtf8(bytes)) {
    _lineStarts.push_back(0);
    bool loneCarriageReturn = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))) {
            loneCarriageReturn = loneCarriageReturn || bytes[i] == '\r';
            _lineStarts.push_back(i + 1);
        }
    }
    if (!loneCarriageReturn) {
        _lfStarts = _lineStarts;
    }
}

Source::Position Source::position(std::size_t offset) const {
    offset = std::min(offset, _bytes.size());
    const auto it = std::upper_bound(_lineStarts.begin(), _lineStarts.end(), offset);
    const auto line = static_cast<std::size_t>(it - _lineStarts.begin());
    std::size_t from = lineStart(line);
    int column = 1;
    if (static_cast<std::size_t>(_last.line) == line && _lastOffset <= offset) {
        from = _lastOffset; // go on from the last answer
        column = _last.column;
    }
    if (line == 1 && _bytes.substr(0, 3) == kByteOrderMark) {
        from = std::max<std::size_t>(from, 3); // column 1 up to the end of the mark
    }
    for (std::size_t i = from; i < offset; ++i) {
        column += isContinuation(_bytes[i]) ? 0 : 1;
    }
    _last = {static_cast<int>(line), column};
    _lastOffset = offset;
    return _last;
}

std::size_t Source::offset(int line, int column) const {
    const std::size_t l =
        std::clamp<std::size_t>(static_cast<std::size_t>(std::max(line, 1)), 1, _lineStarts.size());
    std::size_t end = l < _lineStarts.size() ? lineStart(l + 1) : _bytes.size();
    while (end > lineStart(l) && (_bytes[end - 1] == '\n' || _bytes[end - 1] == '\r')) {
        --end;
    }
    std::size_t at = lineStart(l);
    int current = 1;
    if (static_cast<std::size_t>(_last.line) == l && _last.column <= column) {
        at = _lastOffset;
        current = _last.column;
    }
    if (l == 1 && _bytes.substr(0, 3) == kByteOrderMark) {
        at = std::max<std::size_t>(at, 3);
    }
    for (; current < column && at < end; ++current) {
        do {
            ++at;
        } while (at < end && isContinuation(_bytes[at]));
    }
    _last = {static_cast<int>(l), current};
    _lastOffset = at;
    return at;
}

std::size_t Source::loaderOffset(int line, int byteColumn) const {
    if (_lfStarts.empty()) {
        _lfStarts.push_back(0);
        for (std::size_t i = 0; i < _bytes.size(); ++i) {
            if (_bytes[i] == '\n') {
                _lfStarts.push_back(i + 1);
            }
        }
    }
    const std::size_t l =
        std::clamp<std::size_t>(static_cast<std::size_t>(std::max(line, 1)), 1, _lfStarts.size());
    return std::min(_bytes.size(), _lfStarts[l - 1] + static_cast<std::size_t>(std::max(byteColumn, 1)) - 1);
}

std::optional<Source::Attribute> Source::attribute(std::size_t at) const {
    const std::string_view b = _bytes;
    std::size_t i = at;
    while (i < b.size() && !isBlank(b[i]) && b[i] != '=' && b[i] != '>' && b[i] != '/') {
        ++i;
    }
    while (i < b.size() && isBlank(b[i])) {
        ++i;
    }
    if (i >= b.size() || b[i] != '=') {
        return std::nullopt;
    }
    ++i;
    while (i < b.size() && isBlank(b[i])) {
        ++i;
    }
    if (i >= b.size() || (b[i] != '"' && b[i] != '\'')) {
        return std::nullopt;
    }
    const std::size_t close = b.find(b[i], i + 1);
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Attribute{{i + 1, close}, {at, close + 1}};
}

Span Source::text(std::size_t at, bool cdata) const {
    const std::size_t end = _bytes.find(cdata ? "]]>" : "<", at);
    return {at, end == std::string_view::npos ? _bytes.size() : end};
}

std::size_t Source::inText(std::size_t at, std::size_t index) const {
    for (; index > 0 && at < _bytes.size(); --index) {
        at += _bytes.compare(at, 2, "\r\n") == 0 ? 2 : 1;
    }
    return at;
}

std::optional<Span> Source::endTagName(std::size_t at) const {
    const std::string_view b = _bytes;
    // Past the end of the tag that begins at `from` (a '<'), quoted values skipped; npos
    // when it does not end. `empty` tells an empty-element tag.
    auto tagEnd = [&](std::size_t from, bool& empty) {
        for (std::size_t i = from; i < b.size(); ++i) {
            if (b[i] == '"' || b[i] == '\'') {
                i = b.find(b[i], i + 1);
                if (i == std::string_view::npos) {
                    break;
                }
            } else if (b[i] == '>') {
                empty = b[i - 1] == '/';
                return i + 1;
            }
        }
        return std::string_view::npos;
    };
    bool empty = false;
    std::size_t i = tagEnd(at, empty);
    if (i == std::string_view::npos || empty) {
        return std::nullopt;
    }
    // Markup that may hold '<' or '>' of its own, and where it ends.
    static constexpr std::pair<std::string_view, std::string_view> kSkipped[] = {
        {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}, {"<!", ">"}};
    for (int depth = 1; (i = b.find('<', i)) != std::string_view::npos;) {
        bool skipped = false;
        for (const auto& [open, close] : kSkipped) {
            if (b.compare(i, open.size(), open) == 0) {
                const std::size_t end = b.find(close, i + open.size());
                if (end == std::string_view::npos) {
                    return std::nullopt;
                }
                i = end + close.size();
                skipped = true;
                break;
            }
        }
        if (skipped) {
            continue;
        }
        if (b.compare(i, 2, "</") == 0) {
            if (--depth == 0) {
                std::size_t end = i + 2;
                while (end < b.size() && !isBlank(b[end]) && b[end] != '>') {
                    ++end;
                }
                return Span{i + 2, end};
            }
            i = b.find('>', i);
            continue;
        }
        i = tagEnd(i + 1, empty);
        if (i == std::string_view::npos) {
            return std::nullopt;
        }
        depth += empty ? 0 : 1;
    }
    return std::nullopt;
}

} // namespace kolt::tool
