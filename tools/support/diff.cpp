// The semantic diff of two loaded sets of settings files, and its three forms.
#include "diff.h"
#include "dump_formats.h"
#include "escape.h"
#include "json.h"

#include "optionlists/vocabulary.h"

#include <algorithm>
#include <deque>
#include <map>
#include <ostream>
#include <set>

namespace kolt::tool {

namespace {

namespace attributes = kolt::detail::attributes;
namespace elements = kolt::detail::elements;
using Kind = Change::Kind;

// One item as the diff compares it: what it is, and for a rule what it does.
struct Item {
    std::string element;
    Fields identity;
    Fields behaviour; // rules: replacement and uses

    // Everything, for an item added or removed.
    Fields all() const {
        Fields fields = identity;
        fields.insert(fields.end(), behaviour.begin(), behaviour.end());
        return fields;
    }
};

void addField(Fields& fields, const char* name, const char* value) {
    if (value) {
        fields.emplace_back(name, value);
    }
}

Item describe(const std::string& list, const GAXString& s) {
    return {stringItemElement(list), {{"text", s.str()}}, {}};
}

Item describe(const std::string&, const CallWithSpecificArg* r) {
    Item item{elements::CallWithSpecificArg, {}, {}};
    addField(item.identity, elements::ClassName, r->className);
    addField(item.identity, elements::MethodOrFunctionSign, r->methodOrFunctionSign);
    item.identity.emplace_back(elements::SpecificArg, std::to_string(r->specificArg));
    return item;
}

Item describe(const std::string&, const Call* r) {
    Item item{elements::Call, {}, {}};
    addField(item.identity, elements::ClassName, r->className);
    addField(item.identity, elements::MethodOrFunctionSign, r->methodOrFunctionSign);
    return item;
}

Item describe(const std::string&, const CallDeclaration* r) {
    Item item{elements::CallDeclaration, {}, {}};
    addField(item.identity, elements::FrameworkName, r->frameworkName);
    addField(item.identity, elements::ClassName, r->className);
    addField(item.identity, elements::MethodOrFunctionSign, r->methodOrFunctionSign);
    return item;
}

// A rule is known by what it detects; what it says (replacement) and which uses it
// reports may change under the same identity.
Item describe(const std::string&, const koltEntityDetection* rule) {
    if (!rule) {
        return {"", {}, {}};
    }
    Item item{ruleElement(*rule), {}, {}};
    if (const auto* method = dynamic_cast<const koltMethodDetection*>(rule)) {
        addField(item.identity, "method", rule->getName());
        addField(item.identity, elements::ClassName,
                 method->isAAllClassMethodDetection() ? kolt::detail::values::RootClass
                                                      : method->getClassName());
        item.identity.emplace_back("arguments", std::to_string(method->getArgCount()));
    } else {
        const kolt::detail::UseKindRow* kind = kolt::detail::findRuleKind(item.element.c_str());
        addField(item.identity,
                 kind ? kolt::detail::nameOf(kolt::detail::firstRequiredText(kind->rule)) : "name",
                 rule->getName());
    }
    item.behaviour.emplace_back(elements::Replacement,
                                rule->getReplacementName() ? rule->getReplacementName() : "(none)");
    // The checker asks whether a use is prohibited: a set.
    std::set<std::string> uses;
    for (int i = 0; i < rule->usesToDetect().Size(); ++i) {
        uses.insert(rule->usesToDetect().GetName(i));
    }
    std::string joined;
    for (const std::string& use : uses) {
        joined += (joined.empty() ? "" : ", ") + use;
    }
    item.behaviour.emplace_back("uses", uses.empty() ? "(none)" : joined);
    return item;
}

// An unambiguous key of the identity: lengths before texts.
std::string keyOf(const Item& item) {
    std::string key = item.element;
    for (const auto& [name, value] : item.identity) {
        key += '\n' + std::to_string(name.size()) + ':' + name + std::to_string(value.size()) + ':' + value;
    }
    return key;
}

class Differ {
public:
    Differ(const Side& old, const Side& now) : _old(old), _now(now) {}

    std::vector<Change> run() {
        runSetting(attributes::TypeOfRun, _old.manager._typeOfRun, _now.manager._typeOfRun);
        runSetting(attributes::ReportTestFw, _old.manager._reportTestFw, _now.manager._reportTestFw);
        reports(_old, _now, Kind::ReportOff);
        reports(_now, _old, Kind::ReportOn);
        lists<GAXListValGAXString>(Registry::Strings);
        lists<GAXListPtrCallWithSpecificArg>(Registry::CallsWithSpecificArg);
        lists<GAXListPtrCall>(Registry::Calls);
        lists<GAXListPtrCallDeclaration>(Registry::CallDeclarations);
        lists<GAXListPtrkoltEntityDetection>(Registry::Detections);
        return std::move(_changes);
    }

private:
    void runSetting(const char* attribute, int old, int now) {
        if (old != now) {
            _changes.push_back({Kind::RunSetting,
                                "runSettings",
                                "",
                                elements::RunType,
                                {},
                                {{attribute, std::to_string(old)}},
                                {{attribute, std::to_string(now)}},
                                _old.origins.runSetting(attribute),
                                _now.origins.runSetting(attribute)});
        }
    }

    // The reports active on `from` and not on `other`: the checker asks by name.
    void reports(const Side& from, const Side& other, Kind kind) {
        const TAIndex& active = from.manager.activeReports();
        for (int i = 0; i < active.Size(); ++i) {
            const char* name = active.GetName(i);
            if (other.manager.activeReports().IsIn(name) >= 0 || active.IsIn(name) != i) {
                continue; // on both sides, or said again
            }
            Change c{kind, "reports", "", elements::Report, {{attributes::MessageName, name}}, {},
                     {},   {},        {}};
            (kind == Kind::ReportOff ? c.old : c.now) = from.origins.report(i);
            _changes.push_back(std::move(c));
        }
    }

    template <class List>
    void lists(Registry registry) {
        const TAIndex& olds = registryOf(_old.manager, registry);
        const TAIndex& nows = registryOf(_now.manager, registry);
        for (int i = 0; i < olds.Size(); ++i) {
            const int j = nows.IsIn(olds.GetName(i));
            compare(registry, olds.GetName(i), static_cast<const List*>(olds.GetValue(i)), i,
                    j < 0 ? nullptr : static_cast<const List*>(nows.GetValue(j)), j);
        }
        for (int j = 0; j < nows.Size(); ++j) {
            if (olds.IsIn(nows.GetName(j)) < 0) {
                compare<List>(registry, nows.GetName(j), nullptr, -1,
                              static_cast<const List*>(nows.GetValue(j)), j);
            }
        }
    }

    // One list on both sides (an index of -1: not on that side). Items are a multiset:
    // equal items pair up in order, the rest were added or removed.
    template <class List>
    void compare(Registry registry, const std::string& name, const List* old, int oldIndex, const List* now,
                 int nowIndex) {
        Change base{Kind::ListAdded, registryKey(registry), name, "", {}, {}, {}, {}, {}};
        if (oldIndex < 0 || nowIndex < 0) {
            Change c = base;
            c.kind = oldIndex < 0 ? Kind::ListAdded : Kind::ListRemoved;
            c.old = _old.origins.list(registry, oldIndex);
            c.now = _now.origins.list(registry, nowIndex);
            _changes.push_back(std::move(c));
        }
        std::map<std::string, std::deque<int>> unpaired; // old positions by key
        std::vector<Item> olds;
        for (int pos = 1; old && pos <= old->Size(); ++pos) {
            olds.push_back(describe(name, (*old)[pos]));
            unpaired[keyOf(olds.back())].push_back(pos);
        }
        std::vector<Change> changed;
        std::vector<Change> added;
        for (int pos = 1; now && pos <= now->Size(); ++pos) {
            Item item = describe(name, (*now)[pos]);
            auto it = unpaired.find(keyOf(item));
            Change c = base;
            c.element = item.element;
            c.now = _now.origins.item(registry, nowIndex, pos);
            if (it == unpaired.end() || it->second.empty()) {
                c.kind = Kind::ItemAdded;
                c.item = item.all();
                added.push_back(std::move(c));
                continue;
            }
            const int oldPos = it->second.front();
            it->second.pop_front();
            const Item& was = olds[static_cast<std::size_t>(oldPos) - 1];
            for (std::size_t f = 0; f < item.behaviour.size(); ++f) {
                if (item.behaviour[f] != was.behaviour[f]) {
                    c.before.push_back(was.behaviour[f]);
                    c.after.push_back(item.behaviour[f]);
                }
            }
            if (!c.after.empty()) {
                c.kind = Kind::RuleChanged;
                c.item = std::move(item.identity);
                c.old = _old.origins.item(registry, oldIndex, oldPos);
                changed.push_back(std::move(c));
            }
        }
        // What no new item paired with, in the old order.
        std::vector<std::pair<int, Change>> removed;
        for (auto& [key, positions] : unpaired) {
            for (const int pos : positions) {
                Change c = base;
                c.kind = Kind::ItemRemoved;
                c.element = olds[static_cast<std::size_t>(pos) - 1].element;
                c.item = olds[static_cast<std::size_t>(pos) - 1].all();
                c.old = _old.origins.item(registry, oldIndex, pos);
                removed.emplace_back(pos, std::move(c));
            }
        }
        std::sort(removed.begin(), removed.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& r : removed) {
            _changes.push_back(std::move(r.second));
        }
        std::move(changed.begin(), changed.end(), std::back_inserter(_changes));
        std::move(added.begin(), added.end(), std::back_inserter(_changes));
    }

    const Side& _old;
    const Side& _now;
    std::vector<Change> _changes;
};

const char* kindName(Kind kind) {
    static const char* const names[] = {"runSetting",  "reportOn",  "reportOff",   "listAdded",
                                        "listRemoved", "itemAdded", "itemRemoved", "ruleChanged"};
    return names[static_cast<int>(kind)];
}

// Where a change is shown: on the side that has what changed, the new one when both do.
const Where& placeOf(const Change& c) {
    return c.now.known() || !c.old.known() ? c.now : c.old;
}

// One change in words: names through `escape`, values through `quote`.
template <class Escape, class Quote>
std::string sentence(const Change& c, Escape escape, Quote quoted) {
    auto fields = [&](const Fields& f) {
        std::string out;
        for (const auto& [name, value] : f) {
            out += " " + (name == "text" ? "" : escape(name) + "=") + quoted(value);
        }
        return out;
    };
    auto fromTo = [&] {
        std::string out;
        for (std::size_t i = 0; i < c.after.size(); ++i) {
            out += (i ? "; " : "") + escape(c.after[i].first) + " " + quoted(c.before[i].second) + " -> " +
                   quoted(c.after[i].second);
        }
        return out;
    };
    const std::string item = escape(c.element) + fields(c.item);
    switch (c.kind) {
    case Kind::RunSetting:
        return "run setting " + fromTo();
    case Kind::ReportOn:
        return "report" + fields(c.item) + " switched on";
    case Kind::ReportOff:
        return "report" + fields(c.item) + " no longer switched on";
    case Kind::ListAdded:
        return "list " + escape(c.list) + " appears";
    case Kind::ListRemoved:
        return "list " + escape(c.list) + " disappears";
    case Kind::ItemAdded:
        return "added to " + escape(c.list) + ": " + item;
    case Kind::ItemRemoved:
        return "removed from " + escape(c.list) + ": " + item;
    case Kind::RuleChanged:
        break;
    }
    return "changed in " + escape(c.list) + ": " + item + ": " + fromTo();
}

std::string escapeName(const std::string& text) {
    return escapeForLine(text);
}

// "value" for one line: a quote inside is escaped, as a backslash is.
std::string quoteForLine(const std::string& text) {
    std::string out = "\"";
    for (const char ch : escapeForLine(text)) {
        out += ch == '"' ? std::string("\\\"") : std::string(1, ch);
    }
    return out + "\"";
}

std::string escapeMarkdownName(const std::string& text) {
    return escapeForMarkdown(text);
}

std::string quoteForMarkdown(const std::string& text) {
    return escapeForMarkdown("\"" + text + "\"");
}

void writeText(const std::vector<Change>& changes, std::ostream& out) {
    for (const Change& c : changes) {
        const Where& at = placeOf(c);
        out << (at.known() ? at.text() : "(no position)") << ": " << sentence(c, escapeName, quoteForLine);
        if (c.kind == Kind::RuleChanged && c.old.known()) {
            out << " (was at " << c.old.text() << ")";
        }
        out << '\n';
    }
}

void writeMarkdown(const std::vector<Change>& changes, const std::vector<std::string>& oldFiles,
                   const std::vector<std::string>& newFiles, std::ostream& out) {
    auto names = [](const std::vector<std::string>& files) {
        std::string joined;
        for (const std::string& f : files) {
            joined += (joined.empty() ? "" : ", ") + escapeForMarkdown(f);
        }
        return joined;
    };
    out << "### Settings: what the checker sees differently\n\n";
    out << "From " << names(oldFiles) << " to " << names(newFiles) << ": ";
    if (changes.empty()) {
        out << "no change.\n";
        return;
    }
    out << changes.size() << (changes.size() == 1 ? " change" : " changes") << ".\n\n";
    out << "| Where | Change |\n|---|---|\n";
    for (const Change& c : changes) {
        const Where& at = placeOf(c);
        std::string where = at.known() ? escapeForMarkdown(at.text()) : "";
        if (c.kind == Kind::RuleChanged && c.old.known()) {
            where = escapeForMarkdown(c.old.text()) + " -> " + where;
        }
        out << "| " << where << " | " << sentence(c, escapeMarkdownName, quoteForMarkdown) << " |\n";
    }
}

void writeFields(JsonWriter& json, const char* key, const Fields& fields) {
    json.key(key).beginObject();
    for (const auto& [name, value] : fields) {
        json.key(name).value(value);
    }
    json.endObject();
}

void writeJson(const std::vector<Change>& changes, const std::vector<std::string>& oldFiles,
               const std::vector<std::string>& newFiles, std::ostream& out) {
    JsonWriter json(true);
    json.beginObject();
    for (const auto& [key, files] : {std::pair{"oldFiles", &oldFiles}, std::pair{"newFiles", &newFiles}}) {
        json.key(key).beginArray();
        for (const std::string& f : *files) {
            json.value(f);
        }
        json.endArray();
    }
    json.key("changes").beginArray();
    for (const Change& c : changes) {
        json.beginObject();
        json.key("change").value(kindName(c.kind));
        json.key("registry").value(c.registry);
        json.key("list").value(c.list);
        json.key("element").value(c.element);
        writeFields(json, "item", c.item);
        if (!c.after.empty()) {
            writeFields(json, "before", c.before);
            writeFields(json, "after", c.after);
        }
        writeWhere(json.key("old"), c.old);
        writeWhere(json.key("new"), c.now);
        json.endObject();
        json.flushTo(out);
    }
    json.endArray().endObject();
    json.flushTo(out);
    out << '\n';
}

} // namespace

std::vector<Change> diffSettings(const Side& old, const Side& now) {
    return Differ(old, now).run();
}

void writeDiff(const std::vector<Change>& changes, DiffFormat format,
               const std::vector<std::string>& oldFiles, const std::vector<std::string>& newFiles,
               std::ostream& out) {
    switch (format) {
    case DiffFormat::Text:
        writeText(changes, out);
        break;
    case DiffFormat::Markdown:
        writeMarkdown(changes, oldFiles, newFiles, out);
        break;
    case DiffFormat::Json:
        writeJson(changes, oldFiles, newFiles, out);
        break;
    }
}

} // namespace kolt::tool
