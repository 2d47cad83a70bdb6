// Completion and hover, from the vocabulary tables (the text of the settings guide's
// reference) and the place of the cursor in a forgiving scan of the tags.
#include "features.h"
#include "model.h"

#include "optionlists/vocabulary.h"

#include <algorithm>

namespace kolt::lsp {

namespace {

namespace d = kolt::detail;
using kolt::tool::AttributeModel;
using kolt::tool::ElementModel;
using kolt::tool::Schema;
using kolt::tool::ValueModel;

std::string code(std::string_view name) {
    return "`" + std::string(name) + "`";
}

std::string codeList(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        out += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + code(names[i]);
    }
    return out;
}

bool holds(const std::vector<std::string>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The values an attribute takes: its fixed values, and for `use` those the kind of its
// rule permits.
std::vector<const ValueModel*> valuesOf(std::string_view element, const AttributeModel& a) {
    const Schema& schema = Schema::instance();
    std::vector<const ValueModel*> out;
    for (const ValueModel& v : schema.values()) {
        if (holds(a.values, v.name)) {
            out.push_back(&v);
        }
    }
    for (const d::UseKindRow& kind : d::kUseKinds) {
        if (a.name == d::attributes::Use && element == d::nameOf(kind.use)) {
            const auto uses = schema.usesPermittedBy(d::nameOf(kind.rule));
            out.insert(out.end(), uses.begin(), uses.end());
        }
    }
    return out;
}

// "**Macro2Expand** in `Global_OptionLists`" and the element's description.
std::string describe(std::string_view name, const ElementModel& m) {
    const Schema& schema = Schema::instance();
    std::string out = "**" + std::string(name) + "**";
    std::vector<std::string> parents;
    for (const ElementModel* p : schema.parentsOf(m.name)) {
        parents.push_back(p->name);
    }
    if (&m == &schema.root()) {
        out += ", the root element";
    } else if (name != m.name) {
        out += ", a list of " + code(m.name) + " registered under its own name";
    } else if (!parents.empty()) {
        out += " in " + codeList(parents);
    }
    return out + "\n\n" + m.description;
}

std::string describe(std::string_view element, const AttributeModel& a) {
    std::vector<std::string> values;
    for (const ValueModel* v : valuesOf(element, a)) {
        values.push_back(v->name);
    }
    return "**" + a.name + "** on " + code(element) + (a.required ? ", required" : "") +
           (values.empty() ? "" : ": " + codeList(values)) + "\n\n" + a.description;
}

// "${2|true,false|}", or "$2" for any text.
std::string placeholder(int& n, const std::vector<const ValueModel*>& values) {
    std::string out = values.empty() ? "$" : "${";
    out += std::to_string(n++);
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += (i == 0 ? "|" : ",") + values[i]->name;
    }
    return values.empty() ? out : out + "|}";
}

// The element whole, without its "<", as a snippet: its attributes that are required or
// take fixed values, and its required children; an element of one kind of items gets an
// item.
void snippet(const ElementModel& m, const std::string& indent, const std::string& unit, int& n,
             std::string& out) {
    out += m.name;
    for (const AttributeModel& a : m.attributes) {
        const auto values = valuesOf(m.name, a);
        if (a.required || !values.empty()) {
            out += " " + a.name + "=\"" + placeholder(n, values) + "\"";
        }
    }
    if (m.content == ElementModel::Empty) {
        out += "/>";
        return;
    }
    if (m.content == ElementModel::Text) {
        out += ">$" + std::to_string(n++) + "</" + m.name + ">";
        return;
    }
    std::vector<std::string> inner = m.required;
    if (inner.empty() && m.attributes.empty() && (m.children.size() == 1 || m.oneKind)) {
        inner = {m.children.front()};
    }
    out += ">";
    const std::string deeper = indent + unit;
    if (inner.empty()) {
        out += "\n" + deeper + "$" + std::to_string(n++);
    }
    for (const std::string& child : inner) {
        if (const ElementModel* c = Schema::instance().modelOf(child)) {
            out += "\n" + deeper + "<";
            snippet(*c, deeper, unit, n, out);
        }
    }
    out += "\n" + indent + "</" + m.name + ">";
}

// The child elements `parent` accepts at the cursor (-1: the root), less the fields a
// record has already and the kinds of items its first item ruled out. `self`, the element
// being named, does not count.
std::vector<std::string> childrenOf(const Outline& o, int parent, int self) {
    if (parent < 0) {
        return {Schema::instance().root().name};
    }
    const ElementModel* m = modelOf(o, parent);
    if (!m) {
        return {};
    }
    std::vector<std::string_view> present;
    for (const int c : o.elements()[static_cast<std::size_t>(parent)].children) {
        if (c != self) {
            present.push_back(o.name(c));
        }
    }
    if (m->oneKind && !present.empty() && m->accepts(present.front())) {
        return {std::string(present.front())};
    }
    std::vector<std::string> out;
    for (const std::string& c : m->children) {
        if (m->content != ElementModel::Fields ||
            std::find(present.begin(), present.end(), c) == present.end()) {
            out.push_back(c);
        }
    }
    return out;
}

// The text up to the end of the tag at `offset`: all that completion and hover look at,
// so that they cost less the nearer the cursor is to the start of a large document.
std::string_view through(std::string_view text, std::size_t offset) {
    const std::size_t close = text.find('>', offset);
    return text.substr(0, close == std::string_view::npos ? text.size() : close + 1);
}

} // namespace

Completion Features::completion(const Snapshot& s, std::size_t offset) {
    offset = std::min(offset, s.text.size());
    const Outline o(through(s.text, offset));
    Completion out;
    const auto add = [&](std::string label, CompletionItem::Kind kind, Span replaced, std::string doc,
                         std::string snippet = {}) {
        CompletionItem item;
        item.kind = kind;
        item.documentation = std::move(doc);
        item.snippet = !snippet.empty();
        item.edit = {replaced, item.snippet ? std::move(snippet) : label};
        item.label = std::move(label);
        out.items.push_back(std::move(item));
    };
    // Element names; whole elements as snippets where nothing of the tag follows the name.
    const auto elements = [&](int parent, int self, Span replaced, bool whole) {
        const std::string indent = indentOf(s.text, replaced.begin);
        const std::string unit = indentUnit(
            indent, parent >= 0 ? indentOf(s.text, o.elements()[std::size_t(parent)].tag.begin) : "");
        for (const std::string& name : childrenOf(o, parent, self)) {
            const ElementModel* m = Schema::instance().modelOf(name);
            std::string text;
            if (whole && _client.snippets && m) {
                int n = 1;
                snippet(*m, indent, unit, n, text);
            }
            add(name, CompletionItem::Kind::Element, replaced, m ? m->description : "", std::move(text));
        }
    };
    if (const int t = o.tagAt(offset); t >= 0) {
        const OutlineElement& e = o.elements()[static_cast<std::size_t>(t)];
        const ElementModel* m = modelOf(o, t);
        if (offset <= e.name.end) {
            const bool finished = s.text[e.tag.end - 1] == '>';
            elements(e.parent, t, e.name, !finished && e.attributes.empty());
            return out;
        }
        const OutlineAttribute* typing = nullptr;
        for (const OutlineAttribute& a : e.attributes) {
            const bool quoted = a.value.begin > a.name.end && a.value.begin > 0 &&
                                (s.text[a.value.begin - 1] == '"' || s.text[a.value.begin - 1] == '\'');
            const AttributeModel* model = m ? m->attribute(slice(s.text, a.name)) : nullptr;
            if (quoted && within(offset, a.value)) {
                for (const ValueModel* v :
                     model ? valuesOf(o.name(t), *model) : std::vector<const ValueModel*>()) {
                    add(v->name, CompletionItem::Kind::Value, a.value, v->description);
                }
                return out;
            }
            if (within(offset, a.name)) {
                typing = &a;
            }
        }
        std::size_t begin = offset;
        while (begin > e.name.end && isNameByte(s.text[begin - 1])) {
            --begin;
        }
        const bool valued = typing && typing->value.begin > typing->name.end;
        for (const AttributeModel& a : m ? m->attributes : std::vector<AttributeModel>()) {
            const bool present = std::any_of(e.attributes.begin(), e.attributes.end(), [&](const auto& have) {
                return &have != typing && slice(s.text, have.name) == a.name;
            });
            if (!present) {
                int n = 1;
                add(a.name, CompletionItem::Kind::Attribute, {begin, typing ? typing->name.end : offset},
                    a.description,
                    _client.snippets && !valued
                        ? a.name + "=\"" + placeholder(n, valuesOf(o.name(t), a)) + "\""
                        : "");
            }
        }
        return out;
    }
    // In content: only right after "<" (a name not begun yet) or "</".
    if (offset > 0 && s.text[offset - 1] == '<') {
        elements(o.enclosing(offset), -1, {offset, offset}, true);
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
    for (std::size_t i = 0; i < all.size() && all[i].tag.begin <= offset; ++i) {
        const OutlineElement& e = all[i];
        const std::string_view name = o.name(static_cast<int>(i));
        const ElementModel* m = modelOf(o, static_cast<int>(i));
        if (!m) {
            continue;
        }
        for (const Span n : {e.name, e.endName}) {
            if (n.begin <= offset && offset < n.end) {
                return Hover{n, describe(name, *m)};
            }
        }
        for (const OutlineAttribute& a : e.attributes) {
            const AttributeModel* model = m->attribute(slice(s.text, a.name));
            if (model && a.name.begin <= offset && offset < a.name.end) {
                return Hover{a.name, describe(name, *model)};
            }
            if (model && within(offset, a.value)) {
                for (const ValueModel* v : valuesOf(name, *model)) {
                    if (v->name == slice(s.text, a.value)) {
                        return Hover{a.value, "**" + v->name + "**, a value of " + code(model->name) +
                                                  "\n\n" + v->description};
                    }
                }
                return Hover{a.value, describe(name, *model)};
            }
        }
    }
    return std::nullopt;
}

} // namespace kolt::lsp
