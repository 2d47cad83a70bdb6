// The reference section and the vocabulary's JSON.
#include "reference.h"

#include "json.h"
#include "schema.h"

#include "optionlists/vocabulary.h"

#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace kolt::tool {

namespace {

namespace d = kolt::detail;

struct KindNames {
    const char* json;
    const char* people;
};

// Indexed by ListKind: its name in the JSON, and for people.
constexpr KindNames kKindNames[] = {
    {"strings", "strings"},
    {"callsWithSpecificArg", "calls with an argument"},
    {"calls", "calls"},
    {"callDeclarations", "call declarations"},
    {"callsOrDeclarations", "call declarations or calls (the first child decides)"},
    {"classRules", "class rules"},
    {"interfaceRules", "interface rules"},
    {"methodRules", "method rules"},
    {"wordRules", "word rules"},
};
static_assert(std::size(kKindNames) == static_cast<std::size_t>(d::ListKind::WordDetections) + 1);

const KindNames& namesOf(d::ListKind kind) {
    return kKindNames[static_cast<std::size_t>(kind)];
}

const d::ListRow* listRow(const std::string& name) {
    for (const d::ListRow& row : d::kLists) {
        if (name == row.element) {
            return &row;
        }
    }
    return nullptr;
}

const char* groupName(d::Group group) {
    return d::kGroups[static_cast<std::size_t>(group)].element;
}

// "`a`, `b` (required)"
std::string codeList(const std::vector<std::string>& names, const std::vector<std::string>& required = {}) {
    std::string out;
    for (const std::string& n : names) {
        out += (out.empty() ? "`" : ", `") + n + "`";
        for (const std::string& r : required) {
            if (r == n) {
                out += " (required)";
            }
        }
    }
    return out;
}

std::string holds(const ElementModel& e) {
    if (const d::ListRow* row = listRow(e.name)) {
        const std::string items = e.oneKind ? "`" + e.children[0] + "` or `" + e.children[1] + "`"
                                            : "`" + std::string(row->item) + "`";
        return items + " items: " + namesOf(row->kind).people;
    }
    std::string out;
    switch (e.content) {
    case ElementModel::Text:
        return "text";
    case ElementModel::Empty:
        break;
    case ElementModel::Elements:
    case ElementModel::Fields:
        out = codeList(e.children, e.required);
        break;
    }
    std::vector<std::string> attributes;
    std::vector<std::string> required;
    for (const AttributeModel& a : e.attributes) {
        attributes.push_back(a.name);
        if (a.required) {
            required.push_back(a.name);
        }
    }
    if (!attributes.empty()) {
        out += (out.empty() ? "attributes " : "; attributes ") + codeList(attributes, required);
    }
    return out.empty() ? "nothing" : out;
}

void row(std::ostream& out, const std::vector<std::string>& cells) {
    out << '|';
    for (const std::string& cell : cells) {
        out << ' ' << cell << " |";
    }
    out << '\n';
}

// An attribute with every element that takes it.
struct AttributeUse {
    const AttributeModel* model;
    std::vector<std::string> elements;
};

std::vector<AttributeUse> attributesInOrder(const Schema& schema) {
    std::vector<AttributeUse> out;
    for (const ElementModel& e : schema.elements()) {
        for (const AttributeModel& a : e.attributes) {
            AttributeUse* found = nullptr;
            for (AttributeUse& u : out) {
                found = u.model->name == a.name ? &u : found;
            }
            if (!found) {
                out.push_back({&a, {}});
                found = &out.back();
            }
            found->elements.push_back(e.name);
        }
    }
    return out;
}

} // namespace

void writeReference(std::ostream& out) {
    const Schema& schema = Schema::instance();
    out << "## Reference\n"
           "\n"
           "Every element, attribute and value of a settings file. This section is generated\n"
           "from the vocabulary tables (`optionlists/vocabulary.def`, `rules/uses.def`), as are\n"
           "the DTD and `kolt-settings vocabulary --json`: `kolt-settings vocabulary` prints it, and\n"
           "the build target `kolt-update-vocabulary` rewrites it here.\n";
    for (const ElementModel& e : schema.elements()) {
        if (!e.section.empty()) {
            out << "\n### " << e.section << "\n\n";
            row(out, {"Element", "Stands in", "Holds", "Description"});
            out << "|---|---|---|---|\n";
        }
        std::vector<std::string> parents;
        for (const ElementModel* p : schema.parentsOf(e.name)) {
            parents.push_back(p->name);
        }
        const d::ListRow* list = listRow(e.name);
        const bool prefix = list && list->match == d::Match::Prefix;
        row(out, {"`" + e.name + "`" + (prefix ? "..." : ""),
                  &e == &schema.root() ? "the root" : codeList(parents), holds(e), e.description});
    }

    out << "\n### Attributes\n\n";
    row(out, {"Attribute", "Of", "Values", "Description"});
    out << "|---|---|---|---|\n";
    for (const AttributeUse& u : attributesInOrder(schema)) {
        const AttributeModel& a = *u.model;
        row(out, {"`" + a.name + "`", codeList(u.elements) + (a.required ? " (required)" : ""),
                  a.values.empty() ? "any text" : codeList(a.values), a.description});
    }

    out << "\n### Values\n\n";
    row(out, {"Value", "Description"});
    out << "|---|---|\n";
    for (const ValueModel& v : schema.values()) {
        row(out, {"`" + v.name + "`", v.description});
    }

    out << "\n### Uses\n\n"
           "The values of `use` that class and interface rules permit; method and word rules\n"
           "permit none.\n\n";
    row(out, {"Use", "Permitted by", "Description"});
    out << "|---|---|---|\n";
    for (const ValueModel& u : schema.uses()) {
        row(out, {"`" + u.name + "`", codeList(u.permittedBy), u.description});
    }
}

void writeVocabularyJson(std::ostream& out) {
    const Schema& schema = Schema::instance();
    JsonWriter json(true);
    json.beginObject();
    json.key("elements").beginArray();
    for (const ElementModel& e : schema.elements()) {
        static const char* const kContent[] = {"empty", "text", "elements", "fields"};
        json.beginObject();
        json.key("name").value(e.name);
        json.key("content").value(kContent[e.content]);
        json.key("children").beginArray();
        for (const std::string& c : e.children) {
            json.value(c);
        }
        json.endArray();
        json.key("required").beginArray();
        for (const std::string& c : e.required) {
            json.value(c);
        }
        json.endArray();
        json.key("oneKind").value(e.oneKind);
        json.key("attributes").beginArray();
        for (const AttributeModel& a : e.attributes) {
            json.beginObject().key("name").value(a.name).key("required").value(a.required);
            json.key("values").beginArray();
            for (const std::string& v : a.values) {
                json.value(v);
            }
            json.endArray().key("description").value(a.description).endObject();
        }
        json.endArray();
        json.key("description").value(e.description);
        json.endObject();
    }
    json.endArray();

    json.key("groups").beginArray();
    for (const d::GroupRow& g : d::kGroups) {
        json.beginObject().key("name").value(g.element).key("lists").beginArray();
        for (const d::ListRow& l : d::kLists) {
            if (l.group == g.group) {
                json.value(l.element);
            }
        }
        json.endArray().endObject();
    }
    json.endArray();

    json.key("lists").beginArray();
    for (const d::ListRow& l : d::kLists) {
        json.beginObject();
        json.key("name").value(l.element);
        json.key("group").value(groupName(l.group));
        json.key("kind").value(namesOf(l.kind).json);
        json.key("item").value(l.item);
        json.key("match").value(l.match == d::Match::Prefix ? "prefix" : "exact");
        json.endObject();
    }
    json.endArray();

    json.key("ruleKinds").beginArray();
    for (const d::UseKindRow& k : d::kUseKinds) {
        json.beginObject();
        json.key("name").value(k.name);
        json.key("rule").value(d::nameOf(k.rule));
        json.key("useSet").value(d::nameOf(k.useSet));
        json.key("use").value(d::nameOf(k.use));
        json.key("permittedUses").beginArray();
        for (const ValueModel* u : schema.usesPermittedBy(d::nameOf(k.rule))) {
            json.value(u->name);
        }
        json.endArray().endObject();
    }
    json.endArray();

    json.key("values").beginArray();
    for (const auto* values : {&schema.values(), &schema.uses()}) {
        for (const ValueModel& v : *values) {
            json.beginObject().key("name").value(v.name).key("description").value(v.description).endObject();
        }
    }
    json.endArray();
    json.endObject();
    out << json.str() << '\n';
}

} // namespace kolt::tool
