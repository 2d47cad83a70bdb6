// JSON strings and the writer.
#include "json.h"

#include <ostream>

namespace kolt::tool {

namespace {

// Length of the UTF-8 sequence at `s` (1 to 4), or 0 when it is not well-formed.
std::size_t utf8Length(std::string_view s) noexcept {
    const auto b = [&](std::size_t i) {
        return static_cast<unsigned char>(s[i]);
    };
    const unsigned char c = b(0);
    auto continuation = [&](std::size_t i) {
        return i < s.size() && (b(i) & 0xC0) == 0x80;
    };
    if (c < 0x80) {
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        return continuation(1) ? 2 : 0;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        if (!continuation(1) || !continuation(2)) {
            return 0;
        }
        // No overlong forms, no surrogates.
        return (c == 0xE0 && b(1) < 0xA0) || (c == 0xED && b(1) >= 0xA0) ? 0 : 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!continuation(1) || !continuation(2) || !continuation(3)) {
            return 0;
        }
        return (c == 0xF0 && b(1) < 0x90) || (c == 0xF4 && b(1) >= 0x90) ? 0 : 4;
    }
    return 0;
}

} // namespace

void appendJsonString(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (const std::size_t n = utf8Length(text.substr(i))) {
                out.append(text, i, n);
                i += n;
                continue;
            } else {
                out += "\\ufffd";
            }
        }
        ++i;
    }
    out += '"';
}

void JsonWriter::flushTo(std::ostream& out) {
    out << _out;
    _out.clear();
}

void JsonWriter::newline() {
    if (_pretty) {
        _out += '\n';
        _out.append(2 * _empty.size(), ' ');
    }
}

void JsonWriter::beforeValue() {
    if (_afterKey) {
        _afterKey = false;
        return;
    }
    if (!_empty.empty()) {
        if (!_empty.back()) {
            _out += ',';
        }
        _empty.back() = false;
        newline();
    }
}

JsonWriter& JsonWriter::open(char bracket) {
    beforeValue();
    _out += bracket;
    _empty.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::close(char bracket) {
    const bool wasEmpty = _empty.back();
    _empty.pop_back();
    if (!wasEmpty) {
        newline();
    }
    _out += bracket;
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    beforeValue();
    appendJsonString(_out, name);
    _out += _pretty ? ": " : ":";
    _afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
    beforeValue();
    appendJsonString(_out, text);
    return *this;
}

JsonWriter& JsonWriter::value(const char* text) {
    return text ? value(std::string_view(text)) : null();
}

JsonWriter& JsonWriter::value(std::int64_t number) {
    beforeValue();
    _out += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
    beforeValue();
    _out += flag ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::null() {
    beforeValue();
    _out += "null";
    return *this;
}

} // namespace kolt::tool
