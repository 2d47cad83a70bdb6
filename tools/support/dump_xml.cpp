// The XML dump: a settings file that loads back into the same state.
#include "dump_formats.h"
#include "escape.h"
#include "origins.h"

#include "optionlists/vocabulary.h"

#include <koltSettings/settings/manager.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kolt::tool {

namespace {

using kolt::detail::ListKind;
using kolt::detail::ListRow;
using kolt::detail::nameOf;
namespace attributes = kolt::detail::attributes;
namespace elements = kolt::detail::elements;
namespace values = kolt::detail::values;

// A text the loader decodes (items, record fields, rule names and replacements). Loaded
// texts never hold "&amp;", "&lt;", "&gt;", "&quot;" or "&apos;" (decoding removes
// them all), so escaping & < > is enough to read them back unchanged. An empty text
// needs a node of its own to be a text at all.
std::string decodedText(std::string_view s) {
    if (s.empty()) {
        return "<![CDATA[]]>";
    }
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Whether `s` may stand as it is between tags: no "<", no "]]>", and every "&" begins
// a reference.
bool isCharacterData(std::string_view s) {
    if (s.find('<') != std::string_view::npos || s.find("]]>") != std::string_view::npos) {
        return false;
    }
    for (std::size_t at = s.find('&'); at != std::string_view::npos; at = s.find('&', at + 1)) {
        const std::size_t end = s.find(';', at);
        if (end == std::string_view::npos || end == at + 1) {
            return false;
        }
        for (std::size_t i = at + 1; i < end; ++i) {
            const char c = s[i];
            const bool nameChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                  (c >= '0' && c <= '9') || c == '#' || c == '_' || c == '-' || c == '.' ||
                                  c == ':';
            if (!nameChar) {
                return false;
            }
        }
    }
    return true;
}

// A text the loader keeps as written (the class name of a method rule): the same bytes
// must come back, entity references included.
std::string writtenText(std::string_view s) {
    if (!s.empty() && isCharacterData(s)) {
        return std::string(s);
    }
    if (s.find("]]>") == std::string_view::npos) {
        return "<![CDATA[" + std::string(s) + "]]>";
    }
    return std::string(s); // cannot come from a parsed file
}

// An attribute kept as written (report and use names), in the quotes it does not hold.
std::string attribute(const char* name, std::string_view value) {
    const char quote = value.find('"') == std::string_view::npos ? '"' : '\'';
    return std::string(" ") + name + "=" + quote + std::string(value) + quote;
}

// "<!-- text -->", with every "--" broken up: it would end the comment.
std::string commentOf(std::string_view text) {
    std::string body(text);
    for (std::size_t at = body.find("--"); at != std::string::npos; at = body.find("--", at)) {
        body.insert(at + 1, " ");
    }
    return "<!-- " + body + " -->";
}

class XmlOut {
public:
    XmlOut(std::ostream& out, std::ostream* log, const Origins* origins)
        : _out(out), _log(log), _origins(origins) {}
    void line(std::string_view text) {
        std::string safe(text);
        if (replaceUnsafeXml(safe)) {
            report("wrote U+FFFD for what XML cannot hold or a terminal would act on: " + std::string(text));
        }
        _out << std::string(2 * _depth, ' ') << safe << _note << '\n';
        _note.clear();
    }
    // With origins, the next line ends with a comment naming where it came from; the
    // loader reads no comment.
    void noteNext(const std::function<std::string(const Origins&)>& where) {
        if (_origins) {
            const std::string text = where(*_origins);
            _note = text.empty() ? text : " " + commentOf(text);
        }
    }
    // The list being written: its origins are asked for by its place in its registry.
    void atList(Registry registry, int index) {
        _registry = registry;
        _index = index;
        noteNext([&](const Origins& o) { return o.list(_registry, _index).text(); });
    }
    void atItem(int position) {
        noteNext([&](const Origins& o) { return o.item(_registry, _index, position).text(); });
    }
    // Something the dump could not write as it is: the file will not load back the same.
    void report(const std::string& what) {
        ++_problems;
        if (_log) {
            *_log << "kolt-settings: dump --xml: " + escapeForLine(what) + "\n";
        }
    }
    int problems() const noexcept { return _problems; }
    void open(std::string_view tag, std::string_view attributes = {}) {
        line("<" + std::string(tag) + std::string(attributes) + ">");
        ++_depth;
    }
    void close(std::string_view tag) {
        --_depth;
        line("</" + std::string(tag) + ">");
    }
    void leaf(std::string_view tag, const std::string& content) {
        line("<" + std::string(tag) + ">" + content + "</" + std::string(tag) + ">");
    }
    void comment(std::string_view text) { line(commentOf(text)); }

private:
    std::ostream& _out;
    std::ostream* _log;
    const Origins* _origins;
    std::string _note;
    Registry _registry = Registry::Strings;
    int _index = -1;
    int _depth = 0;
    int _problems = 0;
};

const char* groupOf(const ListRow& row) {
    for (const auto& g : kolt::detail::kGroups) {
        if (g.group == row.group) {
            return g.element;
        }
    }
    return "";
}

// One list to write under OptionLists.
struct Entry {
    const ListRow* row;
    std::string name;
    std::function<void(XmlOut&)> write; // the list element with its items
};

// Interleaves the lists of several registries in vocabulary order as far as each
// registry's own order allows: loading keeps only the order within a registry, and a
// file written in vocabulary order comes out with each group once.
std::vector<Entry> inVocabularyOrder(std::vector<std::vector<Entry>> registries) {
    const auto rank = [](const Entry& e) {
        return e.row ? static_cast<std::size_t>(e.row - kolt::detail::kLists) : kolt::detail::kListCount;
    };
    std::vector<Entry> out;
    std::vector<std::size_t> next(registries.size(), 0);
    for (;;) {
        std::size_t best = registries.size();
        for (std::size_t r = 0; r < registries.size(); ++r) {
            if (next[r] < registries[r].size() &&
                (best == registries.size() ||
                 rank(registries[r][next[r]]) < rank(registries[best][next[best]]))) {
                best = r;
            }
        }
        if (best == registries.size()) {
            return out;
        }
        out.push_back(std::move(registries[best][next[best]++]));
    }
}

void writeOptionLists(XmlOut& x, const std::vector<Entry>& entries) {
    if (entries.empty()) {
        return;
    }
    x.open(elements::OptionLists);
    const char* group = nullptr;
    for (const Entry& e : entries) {
        if (!e.row) {
            x.comment("a list named " + e.name + " has no place in a settings file");
            x.report("left out the list " + e.name + ", which no settings file can name");
            continue;
        }
        if (group != groupOf(*e.row)) {
            if (group) {
                x.close(group);
            }
            group = groupOf(*e.row);
            x.open(group);
        }
        e.write(x);
    }
    if (group) {
        x.close(group);
    }
    x.close(elements::OptionLists);
}

// The list element `name` holding `items`, each written by `writeItem`.
template <class List, class WriteItem>
void writeList(XmlOut& x, const std::string& name, const List* list, WriteItem writeItem) {
    if (!list || list->Size() == 0) {
        x.line("<" + name + "/>");
        return;
    }
    x.open(name);
    for (int pos = 1; pos <= list->Size(); ++pos) {
        x.atItem(pos);
        writeItem((*list)[pos]);
    }
    x.close(name);
}

// Appends an entry per list of `registry` whose name reaches `kind` through the
// vocabulary; other names cannot be written back and get a comment.
template <class List, class WriteItem>
void addEntries(std::vector<Entry>& entries, const koltSettingManager& m, Registry which,
                std::initializer_list<ListKind> kinds, WriteItem writeItem, int from = 0, int to = -1) {
    const TAIndex& registry = registryOf(m, which);
    if (to < 0) {
        to = registry.Size();
    }
    for (int i = from; i < to; ++i) {
        const std::string name = registry.GetName(i);
        const ListRow* row = kolt::detail::findList(name.c_str());
        if (row && (std::find(kinds.begin(), kinds.end(), row->kind) == kinds.end() || !isXmlName(name))) {
            row = nullptr;
        }
        const auto* list = static_cast<const List*>(registry.GetValue(i));
        entries.push_back({row, name, [=](XmlOut& x) {
                               x.atList(which, i);
                               writeItem(x, name, list);
                           }});
    }
}

void writeSignature(XmlOut& x, const char* signature) {
    x.leaf(elements::MethodOrFunctionSign, decodedText(signature ? signature : ""));
}

void writeClassName(XmlOut& x, const char* className) {
    if (className) {
        x.leaf(elements::ClassName, decodedText(className));
    }
}

void writeRule(XmlOut& x, const koltEntityDetection* rule, const ListRow& row) {
    const char* element = rule ? ruleElement(*rule) : "";
    const kolt::detail::UseKindRow* kind = kolt::detail::findRuleKind(element);
    if (!kind || std::string_view(element) != row.item) {
        x.comment("a rule of another kind cannot be written into this list");
        return;
    }
    const std::string name = rule->getName() ? rule->getName() : "";
    const char* nameField = nameOf(kolt::detail::firstRequiredText(kind->rule));
    x.open(element);
    if (const auto* method = dynamic_cast<const koltMethodDetection*>(rule)) {
        // The rule keeps the method name without blanks and the argument count; any
        // signature giving both will do.
        std::string signature = name;
        if (const int count = method->getArgCount(); count >= 0) {
            signature += "(";
            for (int i = 1; i <= count; ++i) {
                signature += (i > 1 ? ", arg" : "arg") + std::to_string(i);
            }
            signature += ")";
        }
        x.leaf(nameField, signature.empty() ? " " : decodedText(signature));
        if (method->isAAllClassMethodDetection()) {
            x.leaf(elements::ClassName, values::RootClass);
        } else if (method->getClassName()) {
            x.leaf(elements::ClassName, writtenText(method->getClassName()));
        }
    } else {
        x.leaf(nameField, decodedText(name));
    }
    if (rule->getReplacementName()) {
        x.leaf(elements::Replacement, decodedText(rule->getReplacementName()));
    }
    const TAIndex& uses = rule->usesToDetect();
    const std::string useSet = nameOf(kind->useSet);
    const std::string use = nameOf(kind->use);
    const std::string prohibited = attribute(attributes::Prohibited, values::True);
    if (uses.Size() > 0 || kolt::detail::requiresChild(kind->rule, kind->useSet)) {
        x.open(useSet);
        for (int i = 0; i < uses.Size(); ++i) {
            x.line("<" + use + attribute(attributes::Use, uses.GetName(i)) + prohibited + "/>");
        }
        if (uses.Size() == 0) {
            x.comment("Every prohibited use of this rule was refused: only a refused one recreates it.");
            x.line("<" + use + attribute(attributes::Use, "NoPermittedUse") + prohibited + "/>");
        }
        x.close(useSet);
    }
    x.close(element);
}

void writeStrings(XmlOut& x, const std::string& name, const GAXListValGAXString* list) {
    const std::string item = stringItemElement(name);
    writeList(x, name, list, [&](const GAXString& s) { x.leaf(item, decodedText(s.str())); });
}

void writeCallsWithSpecificArg(XmlOut& x, const std::string& name,
                               const GAXListPtrCallWithSpecificArg* list) {
    writeList(x, name, list, [&](const CallWithSpecificArg* r) {
        x.open(elements::CallWithSpecificArg);
        writeClassName(x, r->className);
        writeSignature(x, r->methodOrFunctionSign);
        x.leaf(elements::SpecificArg, std::to_string(r->specificArg));
        x.close(elements::CallWithSpecificArg);
    });
}

// Only a first child registers a LifeCycle_SafeMethodsForMCBU list, so an empty one
// needs a record that is then rejected.
void writeEmptyChosenList(XmlOut& x, const std::string& name, const char* record) {
    x.open(name);
    x.comment("The list was registered empty: only a rejected first record recreates it.");
    x.line("<" + std::string(record) + "/>");
    x.close(name);
}

void writeCalls(XmlOut& x, const std::string& name, const GAXListPtrCall* list) {
    if ((!list || list->Size() == 0) &&
        kolt::detail::findList(name.c_str())->kind == ListKind::CallsOrDeclarations) {
        writeEmptyChosenList(x, name, elements::Call);
        return;
    }
    writeList(x, name, list, [&](const Call* r) {
        x.open(elements::Call);
        writeClassName(x, r->className);
        writeSignature(x, r->methodOrFunctionSign);
        x.close(elements::Call);
    });
}

void writeCallDeclarations(XmlOut& x, const std::string& name, const GAXListPtrCallDeclaration* list) {
    if (!list || list->Size() == 0) {
        writeEmptyChosenList(x, name, elements::CallDeclaration);
        return;
    }
    writeList(x, name, list, [&](const CallDeclaration* r) {
        x.open(elements::CallDeclaration);
        x.leaf(elements::FrameworkName, decodedText(r->frameworkName ? r->frameworkName : ""));
        writeClassName(x, r->className);
        writeSignature(x, r->methodOrFunctionSign);
        x.close(elements::CallDeclaration);
    });
}

void writeRules(XmlOut& x, const std::string& name, const GAXListPtrkoltEntityDetection* list) {
    const ListRow& row = *kolt::detail::findList(name.c_str());
    writeList(x, name, list, [&](const koltEntityDetection* r) { writeRule(x, r, row); });
}

void writeRunSettings(XmlOut& x, const koltSettingManager& m, int exclude) {
    const auto* excluded =
        exclude < 0 ? nullptr : static_cast<const GAXListValGAXString*>(m.stringLists().GetValue(exclude));
    std::string attributes;
    if (m._typeOfRun == 0) {
        attributes += attribute(attributes::TypeOfRun, values::Check);
    } else if (m._typeOfRun != 3) {
        x.comment("run type " + std::to_string(m._typeOfRun) + " has no form in a settings file");
    }
    if (m._reportTestFw == 1) {
        attributes += attribute(attributes::ReportTestFw, values::True);
    } else if (m._reportTestFw != 0) {
        x.comment("test framework flag " + std::to_string(m._reportTestFw) +
                  " has no form in a settings file");
    }
    // The settings may come from two RunType elements.
    x.noteNext([](const Origins& o) {
        std::string text;
        for (const char* name : {attributes::TypeOfRun, attributes::ReportTestFw}) {
            if (const Where w = o.runSetting(name); w.known()) {
                text += (text.empty() ? "" : ", ") + std::string(name) + " " + w.text();
            }
        }
        return text;
    });
    if (excluded) {
        x.open(elements::RunType, attributes);
        x.atList(Registry::Strings, exclude);
        writeStrings(x, elements::ExcludeFramework, excluded);
        x.close(elements::RunType);
    } else if (!attributes.empty()) {
        x.line("<" + std::string(elements::RunType) + attributes + "/>");
    }
    x.noteNext([](const Origins&) { return std::string(); });
}

void writeReports(XmlOut& x, const TAIndex& reports) {
    if (reports.Size() == 0) {
        return;
    }
    x.open(elements::ReportSet);
    for (int i = 0; i < reports.Size(); ++i) {
        x.noteNext([i](const Origins& o) { return o.report(i).text(); });
        x.line("<" + std::string(elements::Report) + attribute(attributes::MessageName, reports.GetName(i)) +
               attribute(attributes::Activate, values::True) + "/>");
    }
    x.close(elements::ReportSet);
}

} // namespace

const char* stringItemElement(const std::string& list) noexcept {
    const ListRow* row = kolt::detail::findList(list.c_str());
    return row ? row->item : elements::FrameworkName; // ExcludeFramework
}

int writeXmlDump(const koltSettingManager& m, std::ostream& out, std::ostream* log, const Origins* origins) {
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!-- Settings as loaded, written by kolt-settings dump. -->\n";
    XmlOut xml(out, log, origins);
    xml.open(elements::Settings);
    // ExcludeFramework belongs in RunType; the string lists registered before it go
    // before that RunType, so that the registry keeps its order.
    const TAIndex& strings = m.stringLists();
    const int exclude = strings.IsIn(elements::ExcludeFramework);
    std::vector<Entry> before;
    addEntries<GAXListValGAXString>(before, m, Registry::Strings, {ListKind::Strings}, writeStrings, 0,
                                    std::max(exclude, 0));
    writeOptionLists(xml, before);
    writeRunSettings(xml, m, exclude);
    writeReports(xml, m.activeReports());
    std::vector<std::vector<Entry>> after(5);
    addEntries<GAXListValGAXString>(after[0], m, Registry::Strings, {ListKind::Strings}, writeStrings,
                                    exclude + 1);
    addEntries<GAXListPtrCallWithSpecificArg>(after[1], m, Registry::CallsWithSpecificArg,
                                              {ListKind::CallsWithSpecificArg}, writeCallsWithSpecificArg);
    addEntries<GAXListPtrCall>(after[2], m, Registry::Calls, {ListKind::Calls, ListKind::CallsOrDeclarations},
                               writeCalls);
    addEntries<GAXListPtrCallDeclaration>(after[3], m, Registry::CallDeclarations,
                                          {ListKind::CallsOrDeclarations}, writeCallDeclarations);
    addEntries<GAXListPtrkoltEntityDetection>(after[4], m, Registry::Detections,
                                              {ListKind::ClassDetections, ListKind::InterfaceDetections,
                                               ListKind::MethodDetections, ListKind::WordDetections},
                                              writeRules);
    writeOptionLists(xml, inVocabularyOrder(std::move(after)));
    xml.close(elements::Settings);
    return xml.problems();
}

} // namespace kolt::tool
