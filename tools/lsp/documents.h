// The documents the client has open: their text, version and line index.
#ifndef KOLTSETTINGS_TOOLS_LSP_DOCUMENTS_H
#define KOLTSETTINGS_TOOLS_LSP_DOCUMENTS_H

#include "features.h"
#include "positions.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kolt::lsp {

struct Range {
    Position start;
    Position end;
};

class Document {
public:
    Document(std::string uri, std::int64_t version, std::string text);

    // Replaces `range` (null: the whole text) with `text`. A range whose end comes before
    // its start is taken as the empty range at its start.
    void change(const std::optional<Range>& range, std::string_view text, Encoding e);
    void setVersion(std::int64_t version) noexcept { _version = version; }

    std::size_t offset(Position p, Encoding e) const { return _lines.offset(_text, p, e); }
    Position position(std::size_t offset, Encoding e) const { return _lines.position(_text, offset, e); }
    Span span(const Range& r, Encoding e) const;
    Range range(Span s, Encoding e) const { return {position(s.begin, e), position(s.end, e)}; }

    Snapshot snapshot() const { return {_uri, _version, _text}; }
    std::int64_t version() const noexcept { return _version; }
    const std::string& uri() const noexcept { return _uri; }
    const std::string& text() const noexcept { return _text; }

private:
    std::string _uri;
    std::int64_t _version;
    std::string _text;
    LineIndex _lines;
};

// Open documents by URI (compared as given: clients send the same URI for a document).
class DocumentStore {
public:
    // Opening a document that is open replaces it.
    Document& open(const std::string& uri, std::int64_t version, std::string text);
    Document* find(std::string_view uri);
    bool close(std::string_view uri);

private:
    std::map<std::string, Document, std::less<>> _documents;
};

} // namespace kolt::lsp

#endif
