// Messages and hints.
#include "hints.h"
#include "schema.h"

#include <koltSettings/rules/detections.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace kolt::tool {

namespace {

using Code = koltDiagnosticCode;

char lower(char c) noexcept {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

std::string quoted(std::string_view name) {
    return "'" + std::string(name) + "'";
}

// "'a'", "'a' or 'b'", "'a', 'b' or 'c'", and a trailing "..." past `most` names.
std::string enumerate(const std::vector<std::string>& names, std::size_t most = 4, bool quote = true) {
    std::string out;
    const std::size_t shown = std::min(names.size(), most);
    for (std::size_t i = 0; i < shown; ++i) {
        out += (i == 0                                    ? ""
                : i + 1 == shown && shown == names.size() ? " or "
                                                          : ", ") +
               (quote ? quoted(names[i]) : names[i]);
    }
    return shown < names.size() ? out + ", ..." : out;
}

// Where an element of this name may stand: "'Global_OptionLists'", "the root element".
std::string placesOf(const Schema& schema, const std::string& name) {
    std::vector<std::string> places;
    for (const ElementModel* p : schema.parentsOf(name)) {
        places.push_back(p == &schema.root() ? "the root element" : quoted(p->name));
    }
    return enumerate(places, 4, false);
}

std::vector<std::string> tableNames(const TAIndex& table) {
    std::vector<std::string> out;
    for (int i = 0; i < table.Size(); ++i) {
        out.emplace_back(table.GetName(i));
    }
    return out;
}

// The value between the last "(not \"" and the closing "\")" of a value diagnostic.
std::string quotedValue(std::string_view message) {
    const std::size_t open = message.rfind("(not \"");
    if (open == std::string_view::npos || message.size() < open + 8) {
        return {};
    }
    return std::string(message.substr(open + 6, message.size() - open - 8));
}

// The use name of a refused-use diagnostic: the first quoted text.
std::string refusedUse(std::string_view message) {
    const std::size_t open = message.find('"');
    const std::size_t close = open == std::string_view::npos ? open : message.find("\" is not", open + 1);
    return close == std::string_view::npos ? std::string()
                                           : std::string(message.substr(open + 1, close - open - 1));
}

std::string didYouMean(std::string_view word, const std::string& match) {
    if (match.empty()) {
        return {};
    }
    return "did you mean " + quoted(match) + "?" +
           (equalIgnoringCase(word, match) ? " Letter case matters" : "");
}

// "Activate is 'yes'; it takes 'true' or 'false'", and a hint when the value is near one.
void explainValue(Explainer::Explanation& e, const std::string& attribute, std::string_view value,
                  const std::vector<std::string>& values, const std::string& where = {}) {
    e.message = attribute + " is " + quoted(value) + where + "; " +
                (values.size() == 1 ? "its only value is " : "it takes ") + enumerate(values);
    e.hint = didYouMean(value, closest(value, values));
}

} // namespace

std::size_t editDistance(std::string_view a, std::string_view b) {
    // Optimal string alignment over three rows.
    std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        previous[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1])) {
                current[j] = std::min(current[j], before[j - 2] + 1);
            }
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[b.size()];
}

std::string closest(std::string_view word, const std::vector<std::string>& candidates) {
    std::string best;
    std::size_t bestDistance = 0;
    for (const std::string& c : candidates) {
        if (c == word) {
            continue; // the name itself is no suggestion
        }
        if (equalIgnoringCase(word, c)) {
            return c;
        }
        const std::size_t limit = std::max<std::size_t>(1, std::min(word.size(), c.size()) / 4);
        const std::size_t d = editDistance(word, c);
        if (d <= limit && (best.empty() || d < bestDistance)) {
            best = c;
            bestDistance = d;
        }
    }
    return best;
}

std::string Explainer::elementHint(GAXXMLNode node) {
    const Schema& schema = Schema::instance();
    const std::string name = node.GetTag() ? node.GetTag() : "";
    const GAXXMLNode parent = node.GetFather();
    std::vector<std::string> accepted;
    if (parent.GetFather().IsNull()) {
        accepted = schema.root().children;
    } else if (const ElementModel* model = schema.listModel(parent.GetTag() ? parent.GetTag() : "")) {
        accepted = model->children;
        if (model->oneKind) {
            // The first child chose the kind of the whole list.
            void* cookie = parent.GetFirstNode();
            const char* first = parent.GetNextNode(cookie).GetTag();
            const std::string chosen =
                first && model->children.front() == first ? first : model->children.back();
            if (model->accepts(name) && name != chosen) {
                return "the first child made this a list of " + quoted(chosen) + " records";
            }
            accepted = {chosen};
        }
    } else if (const ElementModel* other = schema.find(parent.GetTag() ? parent.GetTag() : "")) {
        accepted = other->children;
    }
    // A name of the vocabulary in the wrong place: say where it goes.
    const ElementModel* known = schema.find(name);
    if (!known) {
        known = schema.listModel(name); // a prefix-named detection list
    }
    if (known) {
        if (const std::string places = placesOf(schema, known->name); !places.empty()) {
            return quoted(name) + " belongs in " + places;
        }
    }
    if (const std::string match = closest(name, accepted); !match.empty()) {
        return didYouMean(name, match);
    }
    std::vector<std::string> everything;
    for (const ElementModel& e : schema.elements()) {
        everything.push_back(e.name);
    }
    if (const std::string match = closest(name, everything); !match.empty()) {
        const std::string places = placesOf(schema, match);
        return didYouMean(name, match) + (places.empty() ? "" : "; it belongs in " + places);
    }
    return {};
}

std::string Explainer::unexpectedAttribute(const koltDiagnostic& d) {
    // The n-th such diagnostic on an element is about its n-th attribute that the loader
    // calls unexpected: not in the vocabulary and, except on RunType, with a value.
    if (d.node != _lastNode) {
        _lastNode = d.node;
        _attributeReports = 0;
    }
    const int wanted = ++_attributeReports;
    const ElementModel* model = Schema::instance().find(d.node.GetTag() ? d.node.GetTag() : "");
    if (!model) {
        return {};
    }
    const bool emptyValueCounts = model->name == "RunType";
    int seen = 0;
    for (void* cookie = d.node.GetFirstAttr(); cookie; d.node.GetNextAttr(cookie)) {
        const char* name = d.node.GetAttrName(cookie);
        const char* value = d.node.GetAttrValue(cookie);
        if (name && *name && model->attribute(name) == nullptr && value && (*value || emptyValueCounts) &&
            ++seen == wanted) {
            return name;
        }
    }
    return {};
}

Explainer::Explanation Explainer::explain(const koltDiagnostic& d) {
    Explanation e;
    std::string_view text = d.message;
    // The fixed opening of every error line says nothing here.
    static constexpr std::string_view kOpening = "--> Error while parsing SettingFile";
    if (text.substr(0, kOpening.size()) == kOpening) {
        text.remove_prefix(kOpening.size());
    }
    for (std::string_view lead : {std::string_view(" in parseRunType, "), std::string_view(", ")}) {
        if (text.substr(0, lead.size()) == lead) {
            text.remove_prefix(lead.size());
        }
    }
    for (char c : text) {
        if (c == '\n') {
            e.message += ' ';
        } else if (c != '\t') {
            e.message += c;
        }
    }
    while (!e.message.empty() && e.message.back() == ' ') {
        e.message.pop_back();
    }
    const std::string tag = d.node.GetTag() ? d.node.GetTag() : "";
    const ElementModel* model = Schema::instance().find(tag);
    switch (d.code) {
    case Code::UnknownTopLevelElement:
        e.message = "element " + quoted(tag) + " is not allowed at the top level; the load stops here";
        e.hint = elementHint(d.node);
        break;
    case Code::UnexpectedNode:
        e.message = "unexpected element " + quoted(tag);
        e.hint = elementHint(d.node);
        break;
    case Code::UnexpectedAttribute:
        if (const std::string attr = unexpectedAttribute(d); !attr.empty()) {
            e.message = "unexpected attribute " + quoted(attr) + " on " + quoted(tag);
            std::vector<std::string> names;
            for (const AttributeModel& a : model ? model->attributes : std::vector<AttributeModel>()) {
                names.push_back(a.name);
            }
            const std::string match = closest(attr, names);
            e.hint = match.empty() ? quoted(tag) + " takes " + enumerate(names) : didYouMean(attr, match);
        }
        break;
    case Code::TypeOfRunInvalid:
        for (void* cookie = d.node.GetFirstAttr(); cookie; d.node.GetNextAttr(cookie)) {
            const char* name = d.node.GetAttrName(cookie);
            const char* value = d.node.GetAttrValue(cookie);
            if (name && value && std::strcmp(name, "TypeOfRun") == 0 && std::strcmp(value, "Check") != 0) {
                explainValue(e, "TypeOfRun", value, {"Check"});
                break;
            }
        }
        break;
    case Code::ReportTestFwInvalid:
        explainValue(e, "ReportTestFw", quotedValue(d.message), {"true", "false"});
        break;
    case Code::ReportActivateInvalid:
        explainValue(e, "Activate", quotedValue(d.message), {"true", "false"});
        break;
    case Code::ProhibitedValueInvalid:
        explainValue(e, "prohibited", quotedValue(d.message), {"true", "false"}, " on " + quoted(tag));
        break;
    case Code::ClassUseRefused:
    case Code::InterfaceUseRefused: {
        const bool isClass = d.code == Code::ClassUseRefused;
        const auto uses =
            tableNames(isClass ? koltClassDetection::_classUses : koltInterfaceDetection::_interfaceUses);
        const std::string use = refusedUse(d.message);
        const std::string match = closest(use, uses);
        e.hint = match.empty() ? std::string(isClass ? "a class" : "an interface") + " rule permits " +
                                     enumerate(uses, uses.size())
                               : didYouMean(use, match);
        break;
    }
    case Code::MethodUseRefused:
    case Code::WordUseRefused:
        e.hint = "no use is permitted here: leave it out or mark it prohibited=\"false\"";
        break;
    default:
        break;
    }
    return e;
}

} // namespace kolt::tool
