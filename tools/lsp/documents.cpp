// Open documents and their edits.
#include "documents.h"

#include <algorithm>

namespace kolt::lsp {

Document::Document(std::string uri, std::int64_t version, std::string text)
    : _uri(std::move(uri)), _version(version), _text(std::move(text)), _lines(_text) {}

Span Document::span(const Range& r, Encoding e) const {
    const std::size_t begin = offset(r.start, e);
    return {begin, std::max(begin, offset(r.end, e))};
}

void Document::change(const std::optional<Range>& range, std::string_view text, Encoding e) {
    if (!range) {
        _text.assign(text);
    } else {
        const Span s = span(*range, e);
        _text.replace(s.begin, s.end - s.begin, text);
    }
    _lines = LineIndex(_text);
}

Document& DocumentStore::open(const std::string& uri, std::int64_t version, std::string text) {
    _documents.erase(uri);
    return _documents.emplace(uri, Document(uri, version, std::move(text))).first->second;
}

Document* DocumentStore::find(std::string_view uri) {
    const auto it = _documents.find(uri);
    return it == _documents.end() ? nullptr : &it->second;
}

bool DocumentStore::close(std::string_view uri) {
    const auto it = _documents.find(uri);
    if (it == _documents.end()) {
        return false;
    }
    _documents.erase(it);
    return true;
}

} // namespace kolt::lsp
