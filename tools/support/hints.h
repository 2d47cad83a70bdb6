// Readable one-line messages and "did you mean" hints for the loader's diagnostics,
// from the closed vocabulary.
#ifndef KOLTSETTINGS_TOOLS_HINTS_H
#define KOLTSETTINGS_TOOLS_HINTS_H

#include <koltSettings/settings/diagnostics.h>

#include <string>
#include <string_view>
#include <vector>

namespace kolt::tool {

// Edit distance with adjacent transpositions, on letters compared without case.
std::size_t editDistance(std::string_view a, std::string_view b);

// The candidate `word` most likely misspells: one equal but for letter case, else the
// nearest within about a quarter of its length; "" when none is near or `word` is one.
std::string closest(std::string_view word, const std::vector<std::string>& candidates);

// Follows the diagnostics of one load; must see all of them, in order.
class Explainer {
public:
    struct Explanation {
        std::string message; // the error line(s) on one line, with the element or attribute named
        std::string hint;    // "" when there is nothing to suggest
    };
    // Call during the observer's callback: looks at the node.
    Explanation explain(const koltDiagnostic& d);

private:
    std::string unexpectedAttribute(const koltDiagnostic& d);
    std::string elementHint(GAXXMLNode node);

    GAXXMLNode _lastNode;
    int _attributeReports = 0; // unexpected-attribute diagnostics seen on _lastNode
};

} // namespace kolt::tool

#endif
