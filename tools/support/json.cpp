// JSON strings and the writer.
#include "json.h"
#include "escape.h"

#include <ostream>

namespace kolt::tool {

void appendJsonString(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    std::size_t logCommand = findLogCommand(text);
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const Utf8Char u = decodeUtf8(text.substr(i));
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
            if (i == logCommand) { // the same text to a reader, no command to a CI log
                out += "\\u0023";
                logCommand = findLogCommand(text, i + 2);
            } else if (u.length == 0) {
                out += "\\ufffd";
            } else if (isControlCharacter(u.code)) {
                out += "\\u";
                for (int shift = 12; shift >= 0; shift -= 4) {
                    out += hex[(u.code >> shift) & 15];
                }
                i += u.length;
                continue;
            } else {
                out.append(text, i, u.length);
                i += u.length;
                continue;
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
