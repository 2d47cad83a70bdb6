// The features over today's engine: the loader with its diagnostic observer and the
// explained messages of kolt-settings check, the element model, and a scan of the text.
#include "features.h"
#include "outline.h"

#include "support/findings.h"
#include "support/hints.h"
#include "support/schema.h"

#include <koltSettings/koltSettings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace kolt::lsp {

namespace {

using kolt::tool::ElementModel;
using kolt::tool::Schema;

std::string_view slice(std::string_view text, Span s) {
    return s.begin <= s.end && s.end <= text.size() ? text.substr(s.begin, s.end - s.begin)
                                                    : std::string_view();
}

bool within(std::size_t offset, Span s) {
    return s.begin <= offset && offset <= s.end;
}

std::string code(std::string_view name) {
    return "`" + std::string(name) + "`";
}

std::string codeList(const std::vector<std::string>& names, const char* last = " or ") {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        out += (i == 0 ? "" : i + 1 == names.size() ? last : ", ") + code(names[i]);
    }
    return out;
}

// The model of an element name: an element of the vocabulary or a prefix-named list.
const ElementModel* modelOf(std::string_view name) {
    const Schema& schema = Schema::instance();
    const ElementModel* m = schema.find(name);
    return m ? m : schema.listModel(name);
}

// What an element is, from the element model: where it stands, what it holds, its
// attributes.
std::string describeElement(std::string_view name) {
    const ElementModel* m = modelOf(name);
    if (!m) {
        return {};
    }
    const Schema& schema = Schema::instance();
    std::string out = "**" + std::string(name) + "**";
    std::vector<std::string> parents;
    for (const ElementModel* p : schema.parentsOf(m->name)) {
        parents.push_back(p == &schema.root() ? "the root element" : p->name);
    }
    if (m == &schema.root()) {
        out += " (the root element)";
    } else if (!parents.empty()) {
        out += " in " + codeList(parents);
    }
    out += "\n\n";
    switch (m->content) {
    case ElementModel::Empty:
        out += "No content.";
        break;
    case ElementModel::Text:
        out += "Holds a text.";
        break;
    case ElementModel::Elements:
    case ElementModel::Fields:
        out += m->oneKind
                   ? "Holds " + codeList(m->children) + " elements, all of one kind (the first decides)."
                   : "Holds " + codeList(m->children, " and ") + ".";
        if (!m->required.empty()) {
            out += " Required: " + codeList(m->required, " and ") + ".";
        }
        break;
    }
    for (const auto& a : m->attributes) {
        out += "\n\n" + code(a.name) + (a.required ? " (required)" : "") +
               (a.values.empty() ? "" : ": " + codeList(a.values));
    }
    return out;
}

std::string describeAttribute(std::string_view element, std::string_view attribute) {
    const ElementModel* m = modelOf(element);
    const auto* a = m ? m->attribute(attribute) : nullptr;
    if (!a) {
        return {};
    }
    return "**" + std::string(attribute) + "** on " + code(element) + (a->required ? ", required" : "") +
           (a->values.empty() ? "" : "\n\nTakes " + codeList(a->values) + ".");
}

// The child elements accepted inside `parent` (an outline index, -1 outside every element).
std::vector<std::string> childrenOf(const Outline& o, int parent) {
    const Schema& schema = Schema::instance();
    if (parent < 0) {
        return {schema.root().name};
    }
    if (o.elements()[static_cast<std::size_t>(parent)].parent < 0) {
        return schema.root().children; // the root may have any name
    }
    const ElementModel* m = modelOf(o.name(parent));
    return m ? m->children : std::vector<std::string>();
}

// Where the attribute a value diagnostic is about is named, by code; KS006 names its
// attribute in the message.
struct AttributeSubject {
    koltDiagnosticCode code;
    const char* attribute; // null: the one the message names
    bool value;            // the value rather than the name
};
const AttributeSubject kAttributeSubjects[] = {
    {koltDiagnosticCode::TypeOfRunInvalid, "TypeOfRun", true},
    {koltDiagnosticCode::ReportTestFwInvalid, "ReportTestFw", true},
    {koltDiagnosticCode::ReportActivateInvalid, "Activate", true},
    {koltDiagnosticCode::ProhibitedValueInvalid, "prohibited", true},
    {koltDiagnosticCode::ClassUseRefused, "use", true},
    {koltDiagnosticCode::InterfaceUseRefused, "use", true},
    {koltDiagnosticCode::UnexpectedAttribute, nullptr, false},
};

// The text between the first pair of single quotes after `lead`, or "".
std::string quotedAfter(std::string_view text, std::string_view lead) {
    const std::size_t at = text.find(lead);
    if (at == std::string_view::npos) {
        return {};
    }
    const std::size_t open = at + lead.size();
    const std::size_t close = text.find('\'', open);
    return close == std::string_view::npos ? std::string() : std::string(text.substr(open, close - open));
}

// Collects the loader's diagnostics with the explained messages of check, while their
// node is at hand.
class Collector : public koltDiagnosticObserver {
public:
    Collector(std::string_view text, std::ostringstream& sink) : _text(text), _sink(sink) {}

    void onDiagnostic(const koltDiagnostic& d) override {
        _sink.str(std::string()); // the loader's own lines are not wanted here
        const auto e = kolt::tool::explain(d);
        Diagnostic out;
        out.code = d.codeName;
        out.message = e.message;
        out.hint = e.hint;
        out.span = nameSpan(d);
        for (const AttributeSubject& s : kAttributeSubjects) {
            if (s.code == d.code) {
                attributeSpan(out, s.attribute ? s.attribute : d.subject, s.value);
            }
        }
        if (const std::string match = quotedAfter(out.hint, "did you mean '"); !match.empty()) {
            out.data = {{"name", std::string(slice(_text, out.span))},
                        {"replacement", match},
                        {"offset", std::to_string(out.span.begin)}};
        }
        diagnostics.push_back(std::move(out));
    }

    std::vector<Diagnostic> diagnostics;

private:
    Span nameSpan(const koltDiagnostic& d) const {
        const char* tag = d.node.GetTag();
        const std::ptrdiff_t offset = d.node.GetOffset();
        if (tag && offset >= 0 && slice(_text, {std::size_t(offset), offset + std::strlen(tag)}) == tag) {
            return {std::size_t(offset), offset + std::strlen(tag)};
        }
        return {}; // the parser converted the text (a declared encoding): no place to point at
    }

    void attributeSpan(Diagnostic& out, const std::string& attribute, bool value) {
        if (!_outline) {
            _outline = std::make_unique<Outline>(_text);
        }
        const int e = _outline->withName(out.span);
        if (e < 0) {
            return;
        }
        for (const OutlineAttribute& a : _outline->elements()[static_cast<std::size_t>(e)].attributes) {
            if (slice(_text, a.name) == attribute) {
                out.span = value ? a.value : a.name;
                return;
            }
        }
    }

    std::string_view _text;
    std::ostringstream& _sink;
    std::unique_ptr<Outline> _outline;
};

// The byte offset of the loader's 1-based line and byte column (lines end at "\n").
std::size_t offsetOf(std::string_view text, int line, int column) {
    std::size_t offset = 0;
    for (int l = 1; l < line; ++l) {
        const std::size_t newline = text.find('\n', offset);
        if (newline == std::string_view::npos) {
            return text.size();
        }
        offset = newline + 1;
    }
    return std::min(text.size(), offset + static_cast<std::size_t>(std::max(column, 1) - 1));
}

// The text up to the end of the tag at `offset`: all that completion and hover look at,
// so that they cost less the nearer the cursor is to the start of a large document.
std::string_view through(std::string_view text, std::size_t offset) {
    const std::size_t close = text.find('>', offset);
    return text.substr(0, close == std::string_view::npos ? text.size() : close + 1);
}

} // namespace

std::vector<Diagnostic> Features::diagnostics(const Snapshot& s) {
    std::ostringstream sink;
    Collector collector(s.text, sink);
    koltSettingManager manager;
    manager.setDiagnosticObserver(&collector);
    {
        rzStreamRedirect redirect(rzStderr, sink);
        const std::string name(s.uri);
        (void)manager.loadFromXmlMemory(s.text.data(), s.text.size(), name.c_str());
    }
    std::vector<Diagnostic> out = std::move(collector.diagnostics);
    const koltLoadReport& report = manager.lastLoadReport();
    if (report.outcome == koltLoadReport::Malformed || report.outcome == koltLoadReport::OutOfMemory) {
        Diagnostic d;
        const bool malformed = report.outcome == koltLoadReport::Malformed;
        d.code = malformed ? kolt::tool::kMalformed.code : kolt::tool::kOutOfMemory.code;
        d.message = malformed ? "not well-formed XML: " + report.parseError : "out of memory";
        const std::size_t at = offsetOf(s.text, report.parseErrorLine, report.parseErrorColumn);
        d.span = {at, std::min(at + 1, s.text.size())};
        out.push_back(std::move(d));
    }
    return out;
}

Completion Features::completion(const Snapshot& s, std::size_t offset) {
    offset = std::min(offset, s.text.size());
    const Outline o(through(s.text, offset));
    Completion out;
    const auto add = [&](const std::string& label, CompletionItem::Kind kind, Span replaced,
                         std::string doc) {
        CompletionItem item;
        item.label = label;
        item.kind = kind;
        item.documentation = std::move(doc);
        item.edit = {replaced, label};
        out.items.push_back(std::move(item));
    };
    const auto elements = [&](int parent, Span replaced) {
        for (const std::string& name : childrenOf(o, parent)) {
            add(name, CompletionItem::Kind::Element, replaced, describeElement(name));
        }
    };
    if (const int t = o.tagAt(offset); t >= 0) {
        const OutlineElement& e = o.elements()[static_cast<std::size_t>(t)];
        const ElementModel* m = modelOf(o.name(t));
        if (offset <= e.name.end) {
            elements(e.parent, e.name);
            return out;
        }
        for (const OutlineAttribute& a : e.attributes) {
            const bool quoted = a.value.begin > a.name.end && a.value.begin > 0 &&
                                (s.text[a.value.begin - 1] == '"' || s.text[a.value.begin - 1] == '\'');
            const auto* model = m ? m->attribute(slice(s.text, a.name)) : nullptr;
            if (quoted && within(offset, a.value)) {
                for (const std::string& v : model ? model->values : std::vector<std::string>()) {
                    add(v, CompletionItem::Kind::Value, a.value, {});
                }
                return out;
            }
            if (within(offset, a.name)) {
                break; // the name being typed: offer them all
            }
        }
        for (const auto& a : m ? m->attributes : std::vector<kolt::tool::AttributeModel>()) {
            const bool present = std::any_of(e.attributes.begin(), e.attributes.end(), [&](const auto& have) {
                return slice(s.text, have.name) == a.name && !within(offset, have.name);
            });
            if (!present) {
                std::size_t begin = offset;
                while (begin > e.name.end && s.text[begin - 1] != ' ' && s.text[begin - 1] != '\t' &&
                       s.text[begin - 1] != '\n' && s.text[begin - 1] != '\r') {
                    --begin;
                }
                add(a.name, CompletionItem::Kind::Attribute, {begin, offset},
                    describeAttribute(o.name(t), a.name));
            }
        }
        return out;
    }
    // In content: only right after "<" (a name not begun yet) or "</".
    if (offset > 0 && s.text[offset - 1] == '<') {
        elements(o.enclosing(offset), {offset, offset});
    } else if (offset > 1 && s.text[offset - 1] == '/' && s.text[offset - 2] == '<') {
        if (const int open = o.enclosing(offset - 2); open >= 0) {
            add(std::string(o.name(open)), CompletionItem::Kind::Element, {offset, offset}, {});
        }
    }
    return out;
}

std::optional<Hover> Features::hover(const Snapshot& s, std::size_t offset) {
    const Outline o(through(s.text, offset));
    const auto& all = o.elements();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const OutlineElement& e = all[i];
        if (e.tag.begin > offset) {
            break;
        }
        const std::string_view name = o.name(static_cast<int>(i));
        for (const Span n : {e.name, e.endName}) {
            if (n.begin <= offset && offset < n.end) {
                if (std::string text = describeElement(name); !text.empty()) {
                    return Hover{n, std::move(text)};
                }
            }
        }
        for (const OutlineAttribute& a : e.attributes) {
            if ((a.name.begin <= offset && offset < a.name.end) || within(offset, a.value)) {
                if (std::string text = describeAttribute(name, slice(s.text, a.name)); !text.empty()) {
                    return Hover{within(offset, a.value) ? a.value : a.name, std::move(text)};
                }
            }
        }
    }
    return std::nullopt;
}

std::vector<CodeAction> Features::codeActions(const Snapshot& s, Span,
                                              const std::vector<Diagnostic>& diagnostics) {
    std::vector<CodeAction> out;
    std::unique_ptr<Outline> o;
    for (const Diagnostic& d : diagnostics) {
        const auto name = d.data.find("name");
        const auto replacement = d.data.find("replacement");
        const auto offset = d.data.find("offset");
        if (name == d.data.end() || replacement == d.data.end()) {
            continue; // not ours
        }
        // Where the name was when the diagnostic was published, unless the text has moved
        // since: then where the client shows it. (Some clients hand ranges back in other
        // units than they received them.)
        Span at = d.span;
        if (offset != d.data.end()) {
            const std::size_t begin = std::strtoull(offset->second.c_str(), nullptr, 10);
            if (slice(s.text, {begin, begin + name->second.size()}) == name->second) {
                at = {begin, begin + name->second.size()};
            }
        }
        if (slice(s.text, at) != name->second) {
            continue; // the text has changed since
        }
        CodeAction a;
        a.title = "Replace '" + name->second + "' with '" + replacement->second + "'";
        a.diagnostics = {d};
        a.edits = {{at, replacement->second}};
        a.preferred = true;
        if (!o) {
            o = std::make_unique<Outline>(s.text);
        }
        // An element's end tag is renamed with its start tag.
        if (const int e = o->withName(at); e >= 0) {
            const Span end = o->elements()[static_cast<std::size_t>(e)].endName;
            if (end.end > end.begin && slice(s.text, end) == name->second) {
                a.edits.push_back({end, replacement->second});
            }
        }
        out.push_back(std::move(a));
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
        if (section.name == "ReportSet") {
            section.detail = count(children.size(), "report");
        } else if (section.name == "OptionLists") {
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
