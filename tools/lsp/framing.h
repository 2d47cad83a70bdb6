// The base protocol's framing: header lines, an empty line, then Content-Length bytes.
#ifndef KOLTSETTINGS_TOOLS_LSP_FRAMING_H
#define KOLTSETTINGS_TOOLS_LSP_FRAMING_H

#include <cstddef>
#include <string>
#include <string_view>

namespace kolt::lsp {

// Splits a byte stream into message bodies, whatever pieces it arrives in. A header
// block without a usable Content-Length is a framing error; so is one announcing more
// than the limit, whose body is then skipped without being kept. Reading goes on with the
// next header block, found even when the remains of a broken message run into it.
class MessageReader {
public:
    explicit MessageReader(std::size_t maxBody) : _maxBody(maxBody) {}

    void feed(std::string_view bytes) { _buffer.append(bytes); }

    enum class Result { None, Message, Error };
    // The next body or framing error, if the bytes fed so far hold one; `out` receives the
    // body or the error's description.
    Result next(std::string& out);

private:
    enum class State { Headers, Body, Skip };
    Result endOfHeaders(std::string& out);
    void headerLine(std::string_view line);
    void compact();

    std::size_t _maxBody;
    std::string _buffer;
    std::size_t _read = 0; // bytes of _buffer consumed
    State _state = State::Headers;
    bool _sawHeader = false;
    std::string _headerError; // first problem of the current header block
    std::size_t _length = 0;  // of the body being read or skipped
    bool _haveLength = false;
};

} // namespace kolt::lsp

#endif
