// Messages and hints.
#include "hints.h"
#include "schema.h"

#include "optionlists/vocabulary.h"
#include "settings/messages.h"

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

// Where an element of this name may stand, the root element as "".
std::vector<std::string> placesOf(const Schema& schema, const std::string& name) {
    std::vector<std::string> places;
    for (const ElementModel* p : schema.parentsOf(name)) {
        places.push_back(p == &schema.root() ? "" : p->name);
    }
    return places;
}

// "'Global_OptionLists'", "the root element".
std::string describePlaces(const std::vector<std::string>& places) {
    std::vector<std::string> described;
    for (const std::string& p : places) {
        described.push_back(p.empty() ? "the root element" : quoted(p));
    }
    return enumerate(described, 4, false);
}

std::string didYouMean(std::string_view word, const std::string& match) {
    if (match.empty()) {
        return {};
    }
    return "did you mean " + quoted(match) + "?" +
           (equalIgnoringCase(word, match) ? " Letter case matters" : "");
}

// "Activate is 'yes'; it takes 'true' or 'false'", and a hint when the value is near one.
void explainValue(Explanation& e, const std::string& attribute, std::string_view value,
                  const std::vector<std::string>& values, const std::string& where = {}) {
    e.message = attribute + " is " + quoted(value) + where + "; " +
                (values.size() == 1 ? "its only value is " : "it takes ") + enumerate(values);
    e.replacement = closest(value, values);
    e.hint = didYouMean(value, e.replacement);
}

} // namespace

std::string quoted(std::string_view name) {
    return "'" + std::string(name) + "'";
}

std::string enumerate(const std::vector<std::string>& names, std::size_t most, bool quote) {
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

namespace {

// A hint for an element out of place: where it belongs, or the name it misspells.
void explainElement(Explanation& e, GAXXMLNode node) {
    const Schema& schema = Schema::instance();
    const std::string name = node.GetTag() ? node.GetTag() : "";
    const GAXXMLNode parent = node.GetFather();
    std::vector<std::string> accepted;
    if (parent.GetFather().IsNull()) {
        accepted = schema.root().children;
    } else if (const ElementModel* model = schema.modelOf(parent.GetTag() ? parent.GetTag() : "")) {
        accepted = model->children;
        if (model->oneKind) {
            // The first child chose the kind of the whole list.
            void* cookie = parent.GetFirstNode();
            const char* first = parent.GetNextNode(cookie).GetTag();
            const std::string chosen =
                first && model->children.front() == first ? first : model->children.back();
            if (model->accepts(name) && name != chosen) {
                e.hint = "the first child made this a list of " + quoted(chosen) + " records";
                return;
            }
            accepted = {chosen};
        }
    }
    // A name of the vocabulary in the wrong place: say where it goes.
    if (const ElementModel* known = schema.modelOf(name)) {
        e.places = placesOf(schema, known->name);
        if (!e.places.empty()) {
            e.hint = quoted(name) + " belongs in " + describePlaces(e.places);
            return;
        }
    }
    e.replacement = closest(name, accepted);
    if (!e.replacement.empty()) {
        e.hint = didYouMean(name, e.replacement);
        return;
    }
    std::vector<std::string> everything;
    for (const ElementModel& m : schema.elements()) {
        everything.push_back(m.name);
    }
    e.replacement = closest(name, everything);
    if (!e.replacement.empty()) {
        e.places = placesOf(schema, e.replacement);
        e.hint = didYouMean(name, e.replacement) +
                 (e.places.empty() ? "" : "; it belongs in " + describePlaces(e.places));
    }
}

// The diagnostics about a value of an attribute that takes only some values.
struct ValueDiagnostic {
    Code code;
    const char* attribute;
    bool placed; // the message says on which element
};
constexpr ValueDiagnostic kValueDiagnostics[] = {
    {Code::TypeOfRunInvalid, kolt::detail::attributes::TypeOfRun, false},
    {Code::ReportTestFwInvalid, kolt::detail::attributes::ReportTestFw, false},
    {Code::ReportActivateInvalid, kolt::detail::attributes::Activate, false},
    {Code::ProhibitedValueInvalid, kolt::detail::attributes::Prohibited, true},
};

} // namespace

Explanation explain(const koltDiagnostic& d) {
    Explanation e;
    // The loader's text without its fixed opening, on one line.
    std::string text;
    kolt::detail::appendMessageText(text, d.code, {d.subject});
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
    const Schema& schema = Schema::instance();
    const std::string subject = d.subject ? d.subject : "";
    const std::string tag = d.node.GetTag() ? d.node.GetTag() : "";
    const ElementModel* model = schema.find(tag);
    switch (d.code) {
    case Code::UnknownTopLevelElement:
        e.message = "element " + quoted(subject) + " is not allowed at the top level; the load stops here";
        explainElement(e, d.node);
        return e;
    case Code::UnexpectedNode:
        e.message = "unexpected element " + quoted(subject);
        explainElement(e, d.node);
        return e;
    case Code::UnexpectedAttribute: {
        e.message = "unexpected attribute " + quoted(subject) + " on " + quoted(tag);
        std::vector<std::string> names;
        for (const AttributeModel& a : model ? model->attributes : std::vector<AttributeModel>()) {
            names.push_back(a.name);
        }
        e.replacement = closest(subject, names);
        e.hint = e.replacement.empty() ? quoted(tag) + " takes " + enumerate(names)
                                       : didYouMean(subject, e.replacement);
        return e;
    }
    case Code::ClassUseRefused:
    case Code::InterfaceUseRefused: {
        std::vector<std::string> uses;
        for (const ValueModel* u : schema.usesPermittedBy(tag)) {
            uses.push_back(u->name);
        }
        e.replacement = closest(subject, uses);
        e.hint = e.replacement.empty()
                     ? std::string(d.code == Code::ClassUseRefused ? "a class" : "an interface") +
                           " rule permits " + enumerate(uses, uses.size())
                     : didYouMean(subject, e.replacement);
        return e;
    }
    case Code::MethodUseRefused:
    case Code::WordUseRefused:
        e.hint = "no use is permitted here: leave it out or mark it prohibited=\"false\"";
        return e;
    default:
        break;
    }
    for (const ValueDiagnostic& v : kValueDiagnostics) {
        const AttributeModel* attribute = model ? model->attribute(v.attribute) : nullptr;
        if (v.code == d.code && attribute) {
            explainValue(e, attribute->name, subject, attribute->values,
                         v.placed ? " on " + quoted(tag) : "");
        }
    }
    return e;
}

} // namespace kolt::tool
