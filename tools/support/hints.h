// Readable one-line messages and "did you mean" hints for the loader's diagnostics, from
// what each diagnostic is about and the closed vocabulary.
#ifndef KOLTSETTINGS_TOOLS_HINTS_H
#define KOLTSETTINGS_TOOLS_HINTS_H

#include <koltSettings/settings/diagnostics.h>

#include <string>
#include <string_view>
#include <vector>

namespace kolt::tool {

// "'name'".
std::string quoted(std::string_view name);

// "'a'", "'a' or 'b'", "'a', 'b' or 'c'", and a trailing "..." past `most` names.
std::string enumerate(const std::vector<std::string>& names, std::size_t most = 4, bool quote = true);

// Edit distance with adjacent transpositions, on letters compared without case.
std::size_t editDistance(std::string_view a, std::string_view b);

// The candidate `word` most likely misspells: one equal but for letter case, else the
// nearest within about a quarter of its length; "" when none is near or `word` is one.
std::string closest(std::string_view word, const std::vector<std::string>& candidates);

// A loader diagnostic on one line for people, with the element, attribute or value named,
// and a hint when the vocabulary has one.
struct Explanation {
    std::string message;
    std::string hint; // "" when there is nothing to suggest
    // What the hint suggests, as data: the name or value to write instead ("" for none),
    // and the elements the one concerned belongs in (the root element as "").
    std::string replacement;
    std::vector<std::string> places;
};

// Call during the observer's callback: looks at the node and its parents.
Explanation explain(const koltDiagnostic& d);

} // namespace kolt::tool

#endif
