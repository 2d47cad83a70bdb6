// Header parsing and body extraction.
#include "framing.h"

#include <algorithm>
#include <cctype>

namespace kolt::lsp {

namespace {

// A header line longer than this is no header: the stream is not what it should be.
constexpr std::size_t kMaxHeaderLine = 8192;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::size_t findIgnoringCase(std::string_view haystack, std::string_view needle) {
    for (std::size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        if (equalsIgnoringCase(haystack.substr(i, needle.size()), needle)) {
            return i;
        }
    }
    return std::string_view::npos;
}

} // namespace

void MessageReader::compact() {
    // Drop consumed bytes once they are the larger part, so a long stream costs linear time.
    if (_read > 4096 && _read * 2 > _buffer.size()) {
        _buffer.erase(0, _read);
        _read = 0;
    }
}

MessageReader::Result MessageReader::endOfHeaders(std::string& out) {
    if (!_sawHeader) {
        return Result::None; // a stray line end between messages
    }
    _sawHeader = false;
    out = std::move(_headerError);
    _headerError.clear();
    if (!_haveLength) {
        if (out.empty()) {
            out = "message header without Content-Length";
        }
        return Result::Error;
    }
    if (_length > _maxBody) {
        out = "message of " + std::to_string(_length) + " bytes is larger than the limit of " +
              std::to_string(_maxBody) + " bytes";
        _state = State::Skip;
        return Result::Error;
    }
    // A usable length frames the body even after a bad header line: report the line, read
    // the body.
    _state = State::Body;
    return out.empty() ? Result::None : Result::Error;
}

void MessageReader::headerLine(std::string_view line) {
    _sawHeader = true;
    const auto flag = [&](std::string message) {
        if (_headerError.empty()) {
            _headerError = std::move(message);
        }
    };
    const std::size_t name = findIgnoringCase(line, "content-length");
    if (name == std::string_view::npos) {
        if (line.find(':') == std::string_view::npos) {
            flag("malformed message header line");
        }
        return; // Content-Type and others: the body is UTF-8 JSON regardless
    }
    if (name > 0) {
        // What is left of a broken message runs into the next header: resynchronise there.
        flag("unexpected bytes before a message header");
    }
    std::string_view value = trim(line.substr(name + 14));
    if (value.empty() || value.front() != ':') {
        flag("malformed Content-Length header");
        return;
    }
    value = trim(value.substr(1));
    std::size_t length = 0;
    bool valid = !value.empty() && value.size() <= 18;
    for (const char c : value) {
        valid = valid && c >= '0' && c <= '9';
        length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    if (!valid) {
        flag("invalid Content-Length '" + std::string(value.substr(0, 40)) + "'");
        return;
    }
    _length = length;
    _haveLength = true;
}

MessageReader::Result MessageReader::next(std::string& out) {
    for (;;) {
        compact();
        const std::size_t available = _buffer.size() - _read;
        switch (_state) {
        case State::Body:
            if (available < _length) {
                return Result::None;
            }
            out.assign(_buffer, _read, _length);
            _read += _length;
            _state = State::Headers;
            _haveLength = false;
            return Result::Message;
        case State::Skip: {
            const std::size_t n = std::min(available, _length);
            _read += n;
            _length -= n;
            if (_length > 0) {
                return Result::None;
            }
            _state = State::Headers;
            _haveLength = false;
            continue;
        }
        case State::Headers:
            break;
        }
        const std::size_t newline = _buffer.find('\n', _read);
        if (newline == std::string::npos) {
            if (available > kMaxHeaderLine) {
                // No line end in sight: drop all but a tail that may begin the next header.
                _read = _buffer.size() - 32;
                _sawHeader = true;
                if (_headerError.empty()) {
                    _headerError = "message header line too long";
                }
            }
            return Result::None;
        }
        const std::string_view line = trim(std::string_view(_buffer).substr(_read, newline - _read));
        _read = newline + 1;
        if (!line.empty()) {
            headerLine(line);
        } else if (endOfHeaders(out) == Result::Error) {
            return Result::Error;
        }
    }
}

} // namespace kolt::lsp
