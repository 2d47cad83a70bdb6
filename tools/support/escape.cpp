// Escaping for text lines and XML output.
#include "escape.h"

namespace kolt::tool {

namespace {

constexpr char kHex[] = "0123456789abcdef";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

struct Range {
    char32_t first;
    char32_t last;
};

bool inRanges(char32_t c, const Range* begin, const Range* end) noexcept {
    for (const Range* r = begin; r != end; ++r) {
        if (c >= r->first && c <= r->last) {
            return true;
        }
    }
    return false;
}

constexpr Range kNameStart[] = {
    {':', ':'},       {'A', 'Z'},       {'_', '_'},       {'a', 'z'},
    {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x2FF},    {0x370, 0x37D},
    {0x37F, 0x1FFF},  {0x200C, 0x200D}, {0x2070, 0x218F}, {0x2C00, 0x2FEF},
    {0x3001, 0xD7FF}, {0xF900, 0xFDCF}, {0xFDF0, 0xFFFD}, {0x10000, 0xEFFFF},
};
constexpr Range kNameRest[] = {
    {'-', '.'}, {'0', '9'}, {0xB7, 0xB7}, {0x300, 0x36F}, {0x203F, 0x2040},
};

bool isXmlChar(char32_t c) noexcept {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// The end of the blanks from `at`.
std::size_t skipBlanks(std::string_view text, std::size_t at) noexcept {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
        ++at;
    }
    return at;
}

} // namespace

Utf8Char decodeUtf8(std::string_view s) noexcept {
    if (s.empty()) {
        return {};
    }
    const auto b = [&](std::size_t i) {
        return static_cast<unsigned char>(s[i]);
    };
    const auto continuation = [&](std::size_t i) {
        return i < s.size() && (b(i) & 0xC0) == 0x80;
    };
    const unsigned char c = b(0);
    if (c < 0x80) {
        return {c, 1};
    }
    if (c >= 0xC2 && c <= 0xDF) {
        return continuation(1) ? Utf8Char{char32_t(c & 0x1F) << 6 | (b(1) & 0x3F), 2} : Utf8Char{};
    }
    if (c >= 0xE0 && c <= 0xEF) {
        // No overlong forms, no surrogates.
        if (!continuation(1) || !continuation(2) || (c == 0xE0 && b(1) < 0xA0) ||
            (c == 0xED && b(1) >= 0xA0)) {
            return {};
        }
        return {char32_t(c & 0x0F) << 12 | char32_t(b(1) & 0x3F) << 6 | (b(2) & 0x3F), 3};
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!continuation(1) || !continuation(2) || !continuation(3) || (c == 0xF0 && b(1) < 0x90) ||
            (c == 0xF4 && b(1) >= 0x90)) {
            return {};
        }
        return {char32_t(c & 0x07) << 18 | char32_t(b(1) & 0x3F) << 12 | char32_t(b(2) & 0x3F) << 6 |
                    (b(3) & 0x3F),
                4};
    }
    return {};
}

bool isControlCharacter(char32_t c) noexcept {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::size_t findLogCommand(std::string_view text, std::size_t from) noexcept {
    for (std::size_t at = text.find("##", from); at != std::string_view::npos; at = text.find("##", at + 1)) {
        std::size_t i = at + 2;
        while (i < text.size() &&
               ((text[i] >= 'a' && text[i] <= 'z') || (text[i] >= 'A' && text[i] <= 'Z'))) {
            ++i;
        }
        if (i < text.size() && text[i] == '[') {
            return at;
        }
    }
    return std::string_view::npos;
}

std::string escapeForLine(std::string_view text, bool startsLine, bool escapeBackslash) {
    std::string out;
    out.reserve(text.size());
    const auto hexByte = [&](unsigned char c) {
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    };
    const std::size_t workflowCommand = startsLine && text.compare(skipBlanks(text, 0), 2, "::") == 0
                                            ? skipBlanks(text, 0)
                                            : std::string_view::npos;
    std::size_t logCommand = findLogCommand(text);
    for (std::size_t i = 0; i < text.size();) {
        if (i == workflowCommand || i == logCommand) {
            hexByte(static_cast<unsigned char>(text[i]));
            if (i == logCommand) {
                logCommand = findLogCommand(text, i + 2);
            }
            ++i;
            continue;
        }
        const Utf8Char c = decodeUtf8(text.substr(i));
        if (c.length == 0 || isControlCharacter(c.code)) {
            const std::size_t n = c.length == 0 ? 1 : c.length;
            for (std::size_t k = 0; k < n; ++k) {
                hexByte(static_cast<unsigned char>(text[i + k]));
            }
            i += n;
            continue;
        }
        if (text[i] == '\\' && escapeBackslash) {
            out += '\\';
        }
        out.append(text, i, c.length);
        i += c.length;
    }
    return out;
}

std::string escapeForMarkdown(std::string_view text) {
    std::string out;
    for (const char c : escapeForLine(text)) {
        if ((c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
            (c >= '{' && c <= '~')) {
            out += '\\';
        }
        out += c;
    }
    return out;
}

bool isXmlWritable(std::string_view text) noexcept {
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char c = decodeUtf8(text.substr(i));
        if (c.length == 0 || !isXmlChar(c.code)) {
            return false;
        }
        i += c.length;
    }
    return true;
}

bool isXmlName(std::string_view text) noexcept {
    if (text.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char c = decodeUtf8(text.substr(i));
        const bool start = inRanges(c.code, std::begin(kNameStart), std::end(kNameStart));
        if (c.length == 0 ||
            !(start || (i > 0 && inRanges(c.code, std::begin(kNameRest), std::end(kNameRest))))) {
            return false;
        }
        i += c.length;
    }
    return true;
}

bool replaceUnsafeXml(std::string& markup) {
    std::string out;
    bool replaced = false;
    std::size_t logCommand = findLogCommand(markup);
    for (std::size_t i = 0; i < markup.size();) {
        const Utf8Char c = decodeUtf8(std::string_view(markup).substr(i));
        const bool workflowCommand =
            c.code == '\n' && std::string_view(markup).compare(skipBlanks(markup, i + 1), 2, "::") == 0;
        const bool unsafe = c.length == 0 || !isXmlChar(c.code) ||
                            (isControlCharacter(c.code) && c.code != '\t' && c.code != '\n') ||
                            workflowCommand || i == logCommand;
        if (!unsafe) {
            out.append(markup, i, c.length);
            i += c.length;
            continue;
        }
        if (i == logCommand) {
            logCommand = findLogCommand(markup, i + 2);
        }
        out += kReplacement;
        replaced = true;
        i += c.length == 0 ? 1 : c.length;
    }
    if (replaced) {
        markup = std::move(out);
    }
    return replaced;
}

} // namespace kolt::tool
