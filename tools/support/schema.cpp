// The element model, built from the loader's vocabulary table, and the DTD it writes.
#include "schema.h"

#include "optionlists/vocabulary.h"

#include <koltSettings/rules/detections.h>

#include <algorithm>
#include <ostream>
#include <stdexcept>

namespace kolt::tool {

namespace {

using kolt::detail::ListKind;

// What the loader reads inside each record and rule element. The list elements come from
// the loader's own table; these shapes are pinned against the loader by the tool tests,
// which feed it every child, attribute and value of the model in and out of place.
struct RecordShape {
    const char* element;
    std::vector<std::string> children;
    std::vector<std::string> required;
};

const RecordShape kRecords[] = {
    {"CallWithSpecificArg",
     {"ClassName", "MethodOrFunctionSign", "SpecificArg"},
     {"MethodOrFunctionSign", "SpecificArg"}},
    {"Call", {"ClassName", "MethodOrFunctionSign"}, {"MethodOrFunctionSign"}},
    {"CallDeclaration",
     {"FrameworkName", "ClassName", "MethodOrFunctionSign"},
     {"FrameworkName", "MethodOrFunctionSign"}},
    {"ClassDetection", {"ClassName", "Replacement", "ClassUseSet"}, {"ClassName", "ClassUseSet"}},
    {"InterfaceDetection", {"ClassName", "Replacement", "InterfaceUseSet"}, {"ClassName", "InterfaceUseSet"}},
    {"MethodDetection",
     {"MethodOrFunctionSign", "ClassName", "Replacement", "MethodUseSet"},
     {"MethodOrFunctionSign"}},
    {"WordDetection", {"WordName", "Replacement", "WordUseSet"}, {"WordName"}},
};

const char* const kUseKinds[] = {"Class", "Interface", "Method", "Word"};

const std::vector<std::string> kTrueFalse{"true", "false"};

ElementModel element(std::string name, std::vector<std::string> children, std::string section = {}) {
    ElementModel e;
    e.name = std::move(name);
    e.children = std::move(children);
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
    // Document level.
    _elements.push_back(element("Settings", {"RunType", "ReportSet", "OptionLists"}, "Document"));
    ElementModel runType = element("RunType", {"ExcludeFramework"}, "Run settings");
    runType.attributes = {{"TypeOfRun", {"Check"}, false}, {"ReportTestFw", kTrueFalse, false}};
    _elements.push_back(runType);
    _elements.push_back(element("ExcludeFramework", {"FrameworkName"}));
    _elements.push_back(element("ReportSet", {"Report"}, "Reports"));
    ElementModel report = element("Report", {});
    report.content = ElementModel::Empty;
    report.attributes = {{"MessageName", {}, true}, {"Activate", kTrueFalse, false}};
    _elements.push_back(report);

    // OptionLists, its groups and their lists, all from the loader's table.
    std::vector<std::string> groups;
    for (const auto& g : kolt::detail::kGroups) {
        groups.push_back(g.element);
    }
    _elements.push_back(element("OptionLists", groups, "Option lists and their groups"));
    for (const auto& g : kolt::detail::kGroups) {
        std::vector<std::string> lists;
        for (std::size_t i = 0; i < kolt::detail::kListCount; ++i) {
            if (kolt::detail::kLists[i].group == g.group) {
                lists.push_back(kolt::detail::kLists[i].element);
            }
        }
        _elements.push_back(element(g.element, lists));
    }
    for (const auto& g : kolt::detail::kGroups) {
        std::string section = "Lists of " + std::string(g.element);
        for (std::size_t i = 0; i < kolt::detail::kListCount; ++i) {
            const auto& row = kolt::detail::kLists[i];
            if (row.group != g.group) {
                continue;
            }
            ElementModel list = element(row.element, {row.item}, section);
            section.clear();
            if (row.kind == ListKind::CallsOrDeclarations) {
                list.children.push_back("Call"); // when the first child is not a CallDeclaration
                list.oneKind = true;
            }
            _elements.push_back(list);
        }
    }

    // Records, rules and use sets.
    std::string section = "Call records and detection rules";
    for (const RecordShape& r : kRecords) {
        ElementModel e = element(r.element, r.children, section);
        e.required = r.required;
        _elements.push_back(e);
        section.clear();
    }
    section = "Use sets";
    for (const char* kind : kUseKinds) {
        const std::string use = std::string(kind) + "Use";
        _elements.push_back(element(use + "Set", {use}, section));
        ElementModel u = element(use, {});
        u.content = ElementModel::Empty;
        u.attributes = {{"use", {}, true}, {"prohibited", kTrueFalse, false}};
        _elements.push_back(u);
        section.clear();
    }

    // Every name used as a child and not declared above holds a text.
    section = "Texts";
    for (std::size_t i = 0; i < _elements.size(); ++i) {
        const std::vector<std::string> children = _elements[i].children; // _elements grows below
        for (const std::string& c : children) {
            if (!find(c)) {
                ElementModel t = element(c, {}, section);
                t.content = ElementModel::Text;
                _elements.push_back(t);
                section.clear();
            }
        }
    }
    // Every item of a list of records must have a shape above.
    for (std::size_t i = 0; i < kolt::detail::kListCount; ++i) {
        const ElementModel* item = find(kolt::detail::kLists[i].item);
        if (!item ||
            (kolt::detail::kLists[i].kind != ListKind::Strings && item->content != ElementModel::Elements)) {
            throw std::logic_error(std::string("no record shape for ") + kolt::detail::kLists[i].item);
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
    const std::string n(name);
    for (const auto& g : kolt::detail::kGroups) {
        if (const auto* row = kolt::detail::findList(g.group, n.c_str())) {
            return find(row->element);
        }
    }
    return nullptr;
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

// "    ClassUse: a, b, c." from a rule kind's own table of permitted uses, wrapped.
std::string permittedUses(const char* use, const TAIndex& table) {
    std::string out = "    " + std::string(use) + ":";
    std::size_t lineStart = 0;
    for (int i = 0; i < table.Size(); ++i) {
        const std::string word = " " + std::string(table.GetName(i)) + (i + 1 < table.Size() ? "," : ".");
        if (out.size() - lineStart + word.size() > 84) {
            out += "\n     ";
            lineStart = out.size() - 5;
        }
        out += word;
    }
    return out + "\n";
}

} // namespace

void Schema::writeDtd(std::ostream& out) const {
    koltClassDetection::initPossibleClassUses(0);
    koltInterfaceDetection::initPossibleInterfaceUses(0);
    out << "<!--\n"
           "  koltSettings.dtd: the elements and attributes of a settings file.\n"
           "\n"
           "  Generated by kolt-settings-dtd from the loader's vocabulary table; do not edit.\n"
           "  After a change of the vocabulary, build the target kolt-update-dtd.\n"
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
        << permittedUses("ClassUse", koltClassDetection::_classUses)
        << permittedUses("InterfaceUse", koltInterfaceDetection::_interfaceUses)
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
        out << "<!ELEMENT " << e.name << ' ' << contentModel(e) << ">\n";
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
