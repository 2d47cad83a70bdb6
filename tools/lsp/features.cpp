// Diagnostics and quick fixes from the check engine of kolt-settings check, and the
// outline of a document.
#include "features.h"
#include "model.h"

#include "support/check.h"
#include "support/hints.h"
#include "support/source.h"

#include "optionlists/vocabulary.h"

#include <algorithm>

namespace kolt::lsp {

using kolt::tool::Finding;
using kolt::tool::Suggestion;

struct Features::Checked {
    std::string uri;
    std::string text;
    std::vector<Finding> findings;
    std::vector<Diagnostic> diagnostics; // one per finding
};

namespace {

bool lineEnd(char c) {
    return c == '\n' || c == '\r';
}

bool blank(char c) {
    return c == ' ' || c == '\t';
}

// A point widened to what it points at: the reference it follows ("&nbsp;", "&#0;"), the
// name of the tag it follows, the name it ends or begins, else the character there or,
// at a line's end, the one before. At the end of the text, what comes last.
Span widen(std::string_view text, std::size_t at) {
    at = std::min(at, text.size());
    if (at == text.size()) { // the end of data: what was left unfinished
        while (at > 0 && (blank(text[at - 1]) || lineEnd(text[at - 1]))) {
            --at;
        }
    }
    if (at > 1 && text[at - 1] == '>' && isNameByte(text[at - 2])) {
        --at; // libxml2 may have read past the '>' of a tag whose name it reports
    }
    if (at > 1 && text[at - 1] == ';') {
        std::size_t b = at - 1;
        while (b > 0 && (isNameByte(text[b - 1]) || text[b - 1] == '#')) {
            --b;
        }
        if (b > 0 && b + 1 < at && text[b - 1] == '&') {
            return {b - 1, at};
        }
    }
    std::size_t b = at;
    std::size_t e = at;
    while (b > 0 && isNameByte(text[b - 1])) {
        --b;
    }
    while (e < text.size() && isNameByte(text[e])) {
        ++e;
    }
    if (b < e) {
        return {b, e}; // bytes of characters beyond ASCII are name bytes: whole characters
    }
    if (at < text.size() && !lineEnd(text[at])) {
        return {at, at + 1};
    }
    if (at > 0 && !lineEnd(text[at - 1])) {
        return {at - 1, at};
    }
    return {at, at};
}

Diagnostic diagnosticOf(const Finding& f, std::string_view text, std::optional<kolt::tool::Source>& source) {
    const auto offset = [&](int line, int column) {
        if (!source) {
            source.emplace(text);
        }
        return source->offset(line, column);
    };
    Diagnostic d;
    d.severity = f.severity == kolt::tool::Severity::Warning ? Severity::Warning : Severity::Error;
    d.code = f.code;
    d.message = f.message;
    d.hint = f.hint;
    if (f.hasSpan) {
        d.span = f.begin < f.end ? Span{f.begin, f.end} : widen(text, f.begin);
    } else if (f.line > 0) {
        d.span = widen(text, offset(f.line, f.column));
    } // else: the start of the document (what the loader read after converting it)
    for (const kolt::tool::Related& r : f.related) {
        if (r.file == f.file && r.line > 0) {
            d.related.push_back({widen(text, offset(r.line, r.column)), r.message});
        }
    }
    return d;
}

bool blanksOnly(std::string_view text, std::size_t begin, std::size_t end) {
    return std::all_of(text.begin() + begin, text.begin() + end, blank);
}

// Where the line of `at` ends, its line end included, if only blanks come before it.
std::optional<std::size_t> restOfLine(std::string_view text, std::size_t at) {
    while (at < text.size() && blank(text[at])) {
        ++at;
    }
    if (at < text.size() && text[at] == '\r') {
        ++at;
    }
    if (at < text.size() && text[at] == '\n') {
        ++at;
    } else if (at < text.size() && !lineEnd(text[at - 1])) {
        return std::nullopt;
    }
    return at;
}

// `block` with each later line's `from` indentation made `to`.
std::string reindent(std::string_view block, const std::string& from, const std::string& to) {
    std::string out;
    for (std::size_t at = 0; at < block.size();) {
        const std::size_t end = std::min(block.find('\n', at), block.size());
        std::string_view line = block.substr(at, end - at);
        if (at > 0) {
            out += '\n';
            if (line.substr(0, from.size()) == from) {
                line.remove_prefix(from.size());
                out += to;
            }
        }
        out += line;
        at = end + (end < block.size());
    }
    return out;
}

bool complete(const OutlineElement& e) {
    return e.selfClosing || e.endName.end > e.endName.begin;
}

// Moving an element into the element named `target` ("": the root): into the last one
// among the children of its nearest ancestor that takes `target`, else into a new one
// there, around it. No edits when its tags or those of the place are not all there.
struct Move {
    std::vector<TextEdit> edits;
    bool intoNew = false;
};

std::optional<Move> moveInto(std::string_view text, const Outline& o, int element,
                             const std::string& target) {
    const auto& all = o.elements();
    const auto at = [&](int i) -> const OutlineElement& {
        return all[static_cast<std::size_t>(i)];
    };
    const OutlineElement& e = at(element);
    int holder = e.parent;
    while (holder >= 0) {
        const auto* model = modelOf(o, holder);
        if (target.empty() ? at(holder).parent < 0 : model && model->accepts(target)) {
            break;
        }
        holder = at(holder).parent;
    }
    if (!complete(e) || holder < 0 || at(holder).selfClosing || !complete(at(holder))) {
        return std::nullopt;
    }
    const Span whole{e.tag.begin, e.end};
    const std::string indent = indentOf(text, whole.begin);
    const std::string unit = indentUnit(indent, indentOf(text, at(e.parent).tag.begin));
    const std::string newline = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    const auto afterLine = restOfLine(text, whole.end);
    const bool ownLines = blanksOnly(text, lineBegin(text, whole.begin), whole.begin) && afterLine;
    const Span removed = ownLines ? Span{lineBegin(text, whole.begin), *afterLine} : whole;
    const std::string_view moved = slice(text, whole);
    const auto nested = [&](const std::string& to) {
        return to + reindent(moved, indent, to);
    };
    // In a new `target`: on lines of their own indented from `outer`, or inline.
    const auto wrapped = [&](const std::string& outer) {
        return "<" + target + ">" + newline + nested(outer + unit) + newline + outer + "</" + target + ">";
    };
    const auto inlined = [&] {
        return "<" + target + ">" + std::string(moved) + "</" + target + ">";
    };

    Move m;
    // The place: before the end tag of an existing `target`, or of the root.
    int into = target.empty() ? holder : -1;
    for (const int c : at(holder).children) {
        if (!target.empty() && c != element && o.name(c) == target && !at(c).selfClosing && complete(at(c))) {
            into = c;
        }
    }
    std::size_t place = 0;
    std::string inserted;
    if (into >= 0) {
        const std::size_t endTag = at(into).endName.begin - 2;
        if (ownLines && blanksOnly(text, lineBegin(text, endTag), endTag)) {
            place = lineBegin(text, endTag);
            inserted = nested(indentOf(text, endTag) + unit) + newline;
        } else {
            place = endTag;
            inserted = std::string(moved);
        }
    } else if (holder == e.parent) { // around it, where it is
        m.intoNew = true;
        const Span line{lineBegin(text, whole.begin), whole.end};
        m.edits.push_back(ownLines ? TextEdit{line, indent + wrapped(indent)} : TextEdit{whole, inlined()});
        return m;
    } else { // a new one after the child of the holder it is in
        m.intoNew = true;
        int branch = element;
        while (at(branch).parent != holder) {
            branch = at(branch).parent;
        }
        if (!complete(at(branch))) {
            return std::nullopt;
        }
        place = at(branch).end;
        const std::string outer = indentOf(text, at(branch).tag.begin);
        inserted = ownLines && restOfLine(text, place) ? newline + outer + wrapped(outer) : inlined();
    }
    if (removed.begin < place && place < removed.end) {
        return std::nullopt;
    }
    m.edits = {{removed, ""}, {{place, place}, inserted}};
    return m;
}

// A use the loader reports at its rule: the use attributes below the rule that hold it.
std::vector<TextEdit> useEdits(std::string_view text, const Outline& o, int rule, const Finding& f,
                               const std::string& replacement) {
    std::vector<TextEdit> edits;
    std::vector<int> pending{rule};
    while (!pending.empty()) {
        const OutlineElement& e = o.elements()[static_cast<std::size_t>(pending.back())];
        pending.pop_back();
        pending.insert(pending.end(), e.children.begin(), e.children.end());
        for (const OutlineAttribute& a : e.attributes) {
            if (slice(text, a.name) == kolt::detail::attributes::Use && slice(text, a.value) == f.subject) {
                edits.push_back({a.value, replacement});
            }
        }
    }
    return edits;
}

std::string quoted(std::string_view text) {
    std::string out = "'";
    for (const char c : text.substr(0, 60)) {
        out += lineEnd(c) || c == '\t' ? ' ' : c;
    }
    return out + (text.size() > 60 ? "...'" : "'");
}

// The quick fixes of a finding: one per suggestion, and for the places it belongs in that
// no edit reaches safely, one that says where to move it, disabled.
std::vector<CodeAction> fixes(std::string_view text, const Outline& o, const Finding& f) {
    const int element = o.withName({f.begin, f.end});
    const std::string name = quoted(slice(text, {f.begin, f.end}));
    std::vector<CodeAction> out;
    std::vector<std::string> stranded;
    for (const Suggestion& s : f.suggestions) {
        CodeAction a;
        for (const kolt::tool::Edit& e : s.edits) {
            if (e.begin <= e.end && e.end <= text.size()) {
                a.edits.push_back({{e.begin, e.end}, e.text});
            }
        }
        switch (s.kind) {
        case Suggestion::Kind::Rename:
            a.title = "Rename " + name + " to " + quoted(s.text);
            break;
        case Suggestion::Kind::Replace:
            if (a.edits.empty() && element >= 0) {
                a.edits = useEdits(text, o, element, f, s.text);
            }
            if (a.edits.empty()) {
                continue;
            }
            a.title = "Replace " + quoted(slice(text, a.edits[0].span)) + " with " +
                      quoted(a.edits[0].newText) +
                      (a.edits.size() > 1 ? " and " + std::to_string(a.edits.size() - 1) + " more" : "");
            break;
        case Suggestion::Kind::MoveInto: {
            const std::string where = s.text.empty() ? "the root element" : quoted(s.text);
            const auto move = element >= 0 ? moveInto(text, o, element, s.text) : std::nullopt;
            if (!move) {
                stranded.push_back(where);
                continue;
            }
            a.title = "Move " + name + " into " + (move->intoNew ? "a new " : "") + where;
            a.edits = move->edits;
            break;
        }
        }
        if (!a.edits.empty()) {
            out.push_back(std::move(a));
        }
    }
    if (!stranded.empty() && std::none_of(out.begin(), out.end(), [](const CodeAction& a) {
            return a.title.compare(0, 5, "Move ") == 0;
        })) {
        CodeAction a;
        a.title = "Move " + name + " into " + kolt::tool::enumerate(stranded, 3, false);
        a.disabled = "no such element around it to move it into: move it by hand";
        out.push_back(std::move(a));
    }
    return out;
}

bool touches(Span a, Span b) {
    return a.begin <= b.end && b.begin <= a.end;
}

} // namespace

Features::Features() = default;
Features::~Features() = default;

const Features::Checked& Features::check(const Snapshot& s) {
    if (_last && _last->uri == s.uri && _last->text == s.text) {
        return *_last;
    }
    auto checked = std::make_unique<Checked>();
    checked->uri = s.uri;
    checked->text = s.text;
    checked->findings = kolt::tool::checkDocument(s.text, checked->uri);
    std::optional<kolt::tool::Source> source;
    for (const Finding& f : checked->findings) {
        checked->diagnostics.push_back(diagnosticOf(f, s.text, source));
    }
    _last = std::move(checked);
    return *_last;
}

std::vector<Diagnostic> Features::diagnostics(const Snapshot& s) {
    return check(s).diagnostics;
}

std::vector<CodeAction> Features::codeActions(const Snapshot& s, Span range,
                                              const std::vector<Diagnostic>& given) {
    const Checked& checked = check(s);
    std::vector<CodeAction> out;
    std::optional<Outline> outline;
    // Clients hand diagnostics back in the units they showed them in, not always the ones
    // they were sent in: the line is what they agree on.
    std::vector<std::pair<std::string_view, Span>> lines; // code, line
    for (const Diagnostic& g : given) {
        const std::size_t at = std::min(g.span.begin, s.text.size());
        lines.emplace_back(
            g.code, Span{lineBegin(s.text, at), std::min(s.text.find_first_of("\r\n", at), s.text.size())});
    }
    for (std::size_t i = 0; i < checked.findings.size(); ++i) {
        const Finding& f = checked.findings[i];
        const Diagnostic& d = checked.diagnostics[i];
        const auto handedBack = [&](const auto& line) {
            return line.first == d.code && within(d.span.begin, line.second);
        };
        if (f.suggestions.empty() ||
            (!touches(range, d.span) && std::none_of(lines.begin(), lines.end(), handedBack))) {
            continue;
        }
        if (!outline) {
            outline.emplace(s.text);
        }
        std::vector<CodeAction> found = fixes(s.text, *outline, f);
        for (CodeAction& a : found) {
            a.diagnostics = {d};
            a.preferred = found.size() == 1 && a.disabled.empty();
            out.push_back(std::move(a));
        }
    }
    return out;
}

std::vector<Symbol> Features::documentSymbols(const Snapshot& s) {
    const Outline o(s.text);
    if (o.roots().empty()) {
        return {};
    }
    const auto symbol = [&](int index, Symbol::Kind kind) {
        const OutlineElement& e = o.elements()[static_cast<std::size_t>(index)];
        Symbol sym;
        sym.name = std::string(o.name(index));
        sym.kind = kind;
        sym.span = {e.tag.begin, e.end};
        sym.selection = e.name;
        return sym;
    };
    const auto count = [](std::size_t n, const char* what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    std::vector<Symbol> out;
    for (const int top : o.elements()[static_cast<std::size_t>(o.roots().front())].children) {
        Symbol section = symbol(top, Symbol::Kind::Section);
        const auto& children = o.elements()[static_cast<std::size_t>(top)].children;
        if (section.name == kolt::detail::elements::ReportSet) {
            section.detail = count(children.size(), "report");
        } else if (section.name == kolt::detail::elements::OptionLists) {
            for (const int g : children) {
                Symbol group = symbol(g, Symbol::Kind::Group);
                const auto& lists = o.elements()[static_cast<std::size_t>(g)].children;
                group.detail = count(lists.size(), "list");
                for (const int l : lists) {
                    Symbol list = symbol(l, Symbol::Kind::List);
                    list.detail = count(o.elements()[static_cast<std::size_t>(l)].children.size(), "item");
                    group.children.push_back(std::move(list));
                }
                section.children.push_back(std::move(group));
            }
        }
        out.push_back(std::move(section));
    }
    return out;
}

} // namespace kolt::lsp
