// The element model, built from the loader's vocabulary table, and the DTD it writes.
#include "schema.h"

#include "optionlists/vocabulary.h"

#include <algorithm>
#include <iterator>
#include <ostream>

namespace kolt::tool {

namespace {

namespace d = kolt::detail;

// The descriptions, which only the tools need, in the order of their tables.
constexpr const char* kAttributeTexts[] = {
#define KOLT_ATTRIBUTE(Id, Name, About) About,
#include "optionlists/vocabulary.def"
};
constexpr const char* kGroupTexts[] = {
#define KOLT_GROUP(Id, Name, About) About,
#include "optionlists/vocabulary.def"
};
constexpr const char* kListTexts[] = {
#define KOLT_LIST(Group, Name, Kind, Item, Match, About) About,
#include "optionlists/vocabulary.def"
};

ElementModel::Content contentOf(d::Content content) {
    switch (content) {
    case d::Content::Empty:
        return ElementModel::Empty;
    case d::Content::Text:
        return ElementModel::Text;
    case d::Content::Fields:
        return ElementModel::Fields;
    case d::Content::Elements:
        break;
    }
    return ElementModel::Elements;
}

ElementModel element(std::string name, std::vector<std::string> children, std::string description,
                     std::string section = {}) {
    ElementModel e;
    e.name = std::move(name);
    e.children = std::move(children);
    e.description = std::move(description);
    e.section = std::move(section);
    return e;
}

std::string join(const std::vector<std::string>& names, const char* separator, const char* suffix = "") {
    std::string out;
    for (const std::string& n : names) {
        out += (out.empty() ? "" : separator) + n + suffix;
    }
    return out;
}

// "a" or "(a | b)".
std::string choice(const std::vector<std::string>& names) {
    return names.size() == 1 ? names.front() : "(" + join(names, " | ") + ")";
}

// The children of `e` that are in `keep` or not required, in vocabulary order.
std::vector<std::string> optionalPlus(const ElementModel& e, const std::string& keep = {}) {
    std::vector<std::string> out;
    for (const std::string& c : e.children) {
        if (c == keep || std::find(e.required.begin(), e.required.end(), c) == e.required.end()) {
            out.push_back(c);
        }
    }
    return out;
}

// Children in any order and number, with each required one at least once. XML wants
// deterministic content models: the first occurrence of a required child is where the
// parser leaves a loop, so no name ever stands at two places it could take next.
std::string contentModel(const ElementModel& e) {
    switch (e.content) {
    case ElementModel::Empty:
        return "EMPTY";
    case ElementModel::Text:
        return "(#PCDATA)";
    case ElementModel::Elements:
    case ElementModel::Fields:
        break;
    }
    if (e.oneKind) {
        return "(" + join(e.children, " | ", "+") + ")?";
    }
    const std::vector<std::string> optional = optionalPlus(e);
    const std::string any = choice(e.children) + "*";
    const std::string lead = optional.empty() ? "" : choice(optional) + "*, ";
    switch (e.required.size()) {
    case 0:
        if (e.children.size() > 3) { // one name a line
            return "(\n    " + join(e.children, "\n  | ") + ")*";
        }
        return "(" + join(e.children, " | ") + ")*";
    case 1:
        return optional.empty() ? "(" + e.required[0] + ")+" : "(" + lead + e.required[0] + ", " + any + ")";
    default: {
        const std::string& a = e.required[0];
        const std::string& b = e.required[1];
        return "(" + lead + "((" + a + ", " + choice(optionalPlus(e, a)) + "*, " + b + ") | (" + b + ", " +
               choice(optionalPlus(e, b)) + "*, " + a + ")), " + any + ")";
    }
    }
}

} // namespace

bool ElementModel::accepts(std::string_view child) const {
    return std::find(children.begin(), children.end(), child) != children.end();
}

const AttributeModel* ElementModel::attribute(std::string_view attr) const {
    for (const AttributeModel& a : attributes) {
        if (a.name == attr) {
            return &a;
        }
    }
    return nullptr;
}

Schema::Schema() {
    std::string section;
    // The elements in table order; the groups and their lists follow OptionLists.
    auto add = [&](d::Element id, const char* name, d::Content content, const char* text) {
        ElementModel e = element(name, {}, text, section);
        section.clear();
        e.content = contentOf(content);
        for (const d::ChildRow& row : d::kChildren) {
            if (row.parent == id) {
                e.children.emplace_back(d::nameOf(row.child));
                if (row.presence == d::Presence::Required) {
                    e.required.emplace_back(d::nameOf(row.child));
                }
            }
        }
        for (const d::AttributeOfRow& row : d::kAttributesOf) {
            if (row.element != id) {
                continue;
            }
            AttributeModel a;
            a.name = d::nameOf(row.attribute);
            a.required = row.presence == d::Presence::Required;
            a.description = kAttributeTexts[static_cast<std::size_t>(row.attribute)];
            for (const d::AttributeValueRow& v : d::kAttributeValues) {
                if (v.attribute == row.attribute) {
                    a.values.emplace_back(d::nameOf(v.value));
                }
            }
            e.attributes.push_back(std::move(a));
        }
        _elements.push_back(std::move(e));
        if (id == d::Element::OptionLists) {
            addGroupsAndLists();
        }
    };
#define KOLT_SECTION(Heading) section = Heading;
#define KOLT_ELEMENT(Id, Name, How, About) add(d::Element::Id, Name, d::Content::How, About);
#include "optionlists/vocabulary.def"

    _values = {
#define KOLT_VALUE(Id, Name, About) {Name, About, {}},
#include "optionlists/vocabulary.def"
#define KOLT_RULE_VALUE(Id, Name, About) {Name, About, {}},
#include "rules/uses.def"
    };
    constexpr const char* kUseTexts[] = {
#define KOLT_USE(Id, Name, Permitted, About) About,
#include "rules/uses.def"
    };
    for (std::size_t i = 0; i < std::size(d::permitted::kUses); ++i) {
        ValueModel use{d::permitted::kUses[i].name, kUseTexts[i], {}};
        for (std::size_t k = 0; k < std::size(d::kUseKinds); ++k) {
            if (d::permits(static_cast<d::UseKind>(k), d::permitted::kUses[i])) {
                use.permittedBy.emplace_back(d::nameOf(d::kUseKinds[k].rule));
            }
        }
        _uses.push_back(std::move(use));
    }
}

void Schema::addGroupsAndLists() {
    std::vector<std::string> groups;
    for (const d::GroupRow& g : d::kGroups) {
        groups.emplace_back(g.element);
    }
    _elements.back().children = groups;
    for (std::size_t gi = 0; gi < d::kGroupCount; ++gi) {
        std::vector<std::string> lists;
        for (const d::ListRow& row : d::kLists) {
            if (row.group == d::kGroups[gi].group) {
                lists.emplace_back(row.element);
            }
        }
        _elements.push_back(element(d::kGroups[gi].element, lists, kGroupTexts[gi]));
    }
    for (const d::GroupRow& g : d::kGroups) {
        std::string section = "Lists of " + std::string(g.element);
        for (std::size_t i = 0; i < d::kListCount; ++i) {
            const d::ListRow& row = d::kLists[i];
            if (row.group != g.group) {
                continue;
            }
            ElementModel list = element(row.element, {row.item}, kListTexts[i], section);
            section.clear();
            if (row.kind == d::ListKind::CallsOrDeclarations) {
                // a list of calls when the first child is not its item
                list.children.emplace_back(d::elements::Call);
                list.oneKind = true;
            }
            _elements.push_back(list);
        }
    }
}

const Schema& Schema::instance() {
    static const Schema schema;
    return schema;
}

const ElementModel* Schema::find(std::string_view name) const {
    for (const ElementModel& e : _elements) {
        if (e.name == name) {
            return &e;
        }
    }
    return nullptr;
}

const ElementModel* Schema::listModel(std::string_view name) const {
    const d::ListRow* row = d::findList(std::string(name).c_str());
    return row ? find(row->element) : nullptr;
}

const ElementModel* Schema::modelOf(std::string_view name) const {
    const ElementModel* m = find(name);
    return m ? m : listModel(name);
}

std::vector<const ValueModel*> Schema::usesPermittedBy(std::string_view rule) const {
    std::vector<const ValueModel*> out;
    for (const ValueModel& u : _uses) {
        if (std::find(u.permittedBy.begin(), u.permittedBy.end(), rule) != u.permittedBy.end()) {
            out.push_back(&u);
        }
    }
    return out;
}

std::vector<const ElementModel*> Schema::parentsOf(std::string_view name) const {
    std::vector<const ElementModel*> out;
    for (const ElementModel& e : _elements) {
        if (e.accepts(name)) {
            out.push_back(&e);
        }
    }
    return out;
}

namespace {

// "    ClassUse: a, b, c." with the uses `rule` permits, wrapped.
std::string permittedUses(const Schema& schema, const char* use, const char* rule) {
    std::vector<std::string> names;
    for (const ValueModel* u : schema.usesPermittedBy(rule)) {
        names.push_back(u->name);
    }
    std::string out = "    " + std::string(use) + ":";
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string word = " " + names[i] + (i + 1 < names.size() ? "," : ".");
        if (out.size() - lineStart + word.size() > 84) {
            out += "\n     ";
            lineStart = out.size() - 5;
        }
        out += word;
    }
    return out + "\n";
}

// "<!-- Name: description ..." wrapped at 88 columns, each paragraph on a line of its
// own; "--" cannot stand in a comment.
std::string comment(const std::vector<std::string>& paragraphs) {
    std::string out = "<!--";
    for (const std::string& paragraph : paragraphs) {
        std::size_t lineStart = out.rfind('\n') + 1;
        if (out.size() > 4) {
            out += "\n    ";
            lineStart = out.size() - 4;
        }
        std::size_t at = 0;
        while (at < paragraph.size()) {
            const std::size_t end = std::min(paragraph.find(' ', at), paragraph.size());
            std::string word = paragraph.substr(at, end - at);
            for (std::size_t dash = word.find("--"); dash != std::string::npos;
                 dash = word.find("--", dash)) {
                word.insert(dash + 1, " ");
            }
            if (out.size() - lineStart + 1 + word.size() > 88) {
                out += "\n    ";
                lineStart = out.size() - 4;
            }
            out += " " + word;
            at = end + 1;
        }
    }
    return out + " -->\n";
}

} // namespace

void Schema::writeDtd(std::ostream& out) const {
    out << "<!--\n"
           "  koltSettings.dtd: the elements and attributes of a settings file.\n"
           "\n"
           "  Generated from the vocabulary tables (optionlists/vocabulary.def, rules/uses.def)\n"
           "  by kolt-settings vocabulary; do not edit. After a change of the vocabulary, build\n"
           "  the target kolt-update-vocabulary.\n"
           "\n"
           "  Declare it in a settings file with\n"
           "    <!DOCTYPE Settings SYSTEM \"koltSettings.dtd\">\n"
           "  (a path relative to the settings file); the loader itself never reads it.\n"
           "\n"
           "  What the loader checks and a DTD cannot say:\n"
           "  - The root element may have any name; this DTD calls it Settings.\n"
           "  - The lists of EntityDetection_OptionLists are recognised by the beginning of\n"
           "    their name: EntityDetection_ClassesLegacy is a list of ClassDetection rules\n"
           "    registered under its own name. Only the four exact names are declared here.\n"
           "  - LifeCycle_SafeMethodsForMCBU is a list of CallDeclaration records when its\n"
           "    first child is a CallDeclaration and a list of Call records otherwise; an\n"
           "    empty one registers no list at all. Here: children all of one kind.\n"
           "  - Texts must not be empty: MethodOrFunctionSign, FrameworkName, WordName, the\n"
           "    ClassName of a detection rule, the use attribute and MessageName (an empty\n"
           "    list item is skipped without a word).\n"
           "  - SpecificArg is a decimal number, 0 or more.\n"
           "  - Which uses each kind of rule permits:\n"
        << permittedUses(*this, d::elements::ClassUse, d::elements::ClassDetection)
        << permittedUses(*this, d::elements::InterfaceUse, d::elements::InterfaceDetection)
        << "    MethodUse and WordUse: none, so prohibited=\"true\" on them is refused.\n"
           "  - A ClassDetection or InterfaceDetection needs at least one use marked\n"
           "    prohibited=\"true\"; without one the rule is dropped.\n"
           "\n"
           "  Where this DTD is stricter than the loader: text directly inside structural\n"
           "  elements, and attributes or children of the fields of records and rules\n"
           "  (ClassName, MethodOrFunctionSign, SpecificArg, ...), are ignored by the loader.\n"
           "\n"
           "  Elements may come in any order and repeat: repeated lists add up, and a field\n"
           "  given twice in one record keeps its last value.\n"
           "-->\n";
    for (const ElementModel& e : _elements) {
        if (!e.section.empty()) {
            out << "\n<!-- " << e.section << " -->\n";
        }
        std::vector<std::string> paragraphs{e.name + ": " + e.description};
        for (const AttributeModel& a : e.attributes) {
            paragraphs.push_back(a.name + ": " + a.description);
        }
        out << '\n' << comment(paragraphs) << "<!ELEMENT " << e.name << ' ' << contentModel(e) << ">\n";
        if (e.attributes.empty()) {
            continue;
        }
        std::size_t nameWidth = 0;
        std::size_t typeWidth = 0;
        std::vector<std::string> types;
        for (const AttributeModel& a : e.attributes) {
            types.push_back(a.values.empty() ? "CDATA" : "(" + join(a.values, " | ") + ")");
            nameWidth = std::max(nameWidth, a.name.size());
            typeWidth = std::max(typeWidth, types.back().size());
        }
        out << "<!ATTLIST " << e.name;
        for (std::size_t i = 0; i < e.attributes.size(); ++i) {
            const AttributeModel& a = e.attributes[i];
            out << "\n    " << a.name << std::string(nameWidth - a.name.size() + 1, ' ') << types[i]
                << std::string(typeWidth - types[i].size() + 1, ' ')
                << (a.required ? "#REQUIRED" : "#IMPLIED");
        }
        out << ">\n";
    }
}

} // namespace kolt::tool
