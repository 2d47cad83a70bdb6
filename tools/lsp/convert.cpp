// The LSP shapes of the feature structs.
#include "convert.h"

#include <limits>

namespace kolt::lsp {

namespace {

[[noreturn]] void invalid(const char* key, const char* what) {
    throw RpcError{ErrorCode::InvalidParams, std::string("'") + key + "' must be " + what};
}

std::uint32_t coordinate(const Json& object, const char* key) {
    const Json& v = member(object, key);
    if (v.is_number_unsigned()) {
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(v.get<std::uint64_t>(), UINT32_MAX));
    }
    invalid(key, "an integer, 0 or more");
}

// CompletionItemKind, SymbolKind.
int kindOf(CompletionItem::Kind k) {
    switch (k) {
    case CompletionItem::Kind::Element:
        return 7; // Class
    case CompletionItem::Kind::Attribute:
        return 10; // Property
    case CompletionItem::Kind::Value:
        break;
    }
    return 12; // Value
}

int kindOf(Symbol::Kind k) {
    switch (k) {
    case Symbol::Kind::Section:
        return 2; // Module
    case Symbol::Kind::Group:
        return 3; // Namespace
    case Symbol::Kind::List:
        break;
    }
    return 18; // Array
}

Json position(Position p) {
    return {{"line", p.line}, {"character", p.character}};
}

} // namespace

const Json& member(const Json& object, const char* key) {
    if (!object.is_object()) {
        throw RpcError{ErrorCode::InvalidParams, std::string("an object with '") + key + "' is required"};
    }
    const auto it = object.find(key);
    if (it == object.end()) {
        throw RpcError{ErrorCode::InvalidParams, std::string("'") + key + "' is missing"};
    }
    return *it;
}

std::string stringMember(const Json& object, const char* key) {
    const Json& v = member(object, key);
    if (!v.is_string()) {
        invalid(key, "a string");
    }
    return v.get<std::string>();
}

std::int64_t integerMember(const Json& object, const char* key) {
    const Json& v = member(object, key);
    if (!v.is_number_integer() || (v.is_number_unsigned() && v.get<std::uint64_t>() > INT64_MAX)) {
        invalid(key, "an integer");
    }
    return v.get<std::int64_t>();
}

Position positionOf(const Json& value) {
    return {coordinate(value, "line"), coordinate(value, "character")};
}

Range rangeOf(const Json& value) {
    return {positionOf(member(value, "start")), positionOf(member(value, "end"))};
}

Json Converter::range(Span s) const {
    const Range r = _d.range(s, _e);
    return {{"start", position(r.start)}, {"end", position(r.end)}};
}

Json Converter::edit(const TextEdit& e) const {
    return {{"range", range(e.span)}, {"newText", e.newText}};
}

Json Converter::diagnostic(const Diagnostic& d) const {
    Json out = {{"range", range(d.span)},
                {"severity", static_cast<int>(d.severity)},
                {"code", d.code},
                {"source", "kolt-settings"},
                {"message", d.hint.empty() ? d.message : d.message + "; " + d.hint}};
    for (const Related& r : d.related) {
        out["relatedInformation"].push_back(
            {{"location", {{"uri", _d.uri()}, {"range", range(r.span)}}}, {"message", r.message}});
    }
    return out;
}

Diagnostic Converter::diagnosticFrom(const Json& value) const {
    Diagnostic d;
    try {
        d.span = _d.span(rangeOf(member(value, "range")), _e);
    } catch (const RpcError&) {
        return {};
    }
    if (const auto code = value.find("code"); code != value.end() && code->is_string()) {
        d.code = code->get<std::string>();
    }
    return d;
}

Json Converter::completion(const Completion& c) const {
    Json items = Json::array();
    for (std::size_t i = 0; i < c.items.size(); ++i) {
        const CompletionItem& item = c.items[i];
        Json out = {{"label", item.label},
                    {"kind", kindOf(item.kind)},
                    {"textEdit", edit(item.edit)},
                    {"insertTextFormat", item.snippet ? 2 : 1},
                    {"sortText", std::to_string(100000 + i)}}; // the vocabulary's order
        if (item.snippet) {
            out["insertTextMode"] = 1; // asIs: the snippet's lines are indented already
        }
        if (!item.documentation.empty()) {
            out["documentation"] = {{"kind", "markdown"}, {"value", item.documentation}};
        }
        items.push_back(std::move(out));
    }
    return {{"isIncomplete", false}, {"items", std::move(items)}};
}

Json Converter::hover(const Hover& h, bool markdown) const {
    return {{"contents", {{"kind", markdown ? "markdown" : "plaintext"}, {"value", h.markdown}}},
            {"range", range(h.span)}};
}

Json Converter::codeAction(const CodeAction& a) const {
    Json edits = Json::array();
    for (const TextEdit& e : a.edits) {
        edits.push_back(edit(e));
    }
    Json diagnostics = Json::array();
    for (const Diagnostic& d : a.diagnostics) {
        diagnostics.push_back(diagnostic(d));
    }
    Json out = {{"title", a.title},
                {"kind", "quickfix"},
                {"diagnostics", std::move(diagnostics)},
                {"isPreferred", a.preferred},
                {"edit", {{"changes", {{_d.uri(), std::move(edits)}}}}}};
    if (!a.disabled.empty()) {
        out["disabled"] = {{"reason", a.disabled}};
    }
    return out;
}

Json Converter::symbol(const Symbol& s) const {
    Json children = Json::array();
    for (const Symbol& c : s.children) {
        children.push_back(symbol(c));
    }
    Json out = {{"name", s.name},
                {"kind", kindOf(s.kind)},
                {"range", range(s.span)},
                {"selectionRange", range(s.selection)},
                {"children", std::move(children)}};
    if (!s.detail.empty()) {
        out["detail"] = s.detail;
    }
    return out;
}

} // namespace kolt::lsp
