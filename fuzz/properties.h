// Properties that loading must have for any document, whatever its bytes. Shared by
// the fuzz target and the unit tests; each check answers "" or what went wrong.
#ifndef KOLTSETTINGS_FUZZ_PROPERTIES_H
#define KOLTSETTINGS_FUZZ_PROPERTIES_H

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class koltSettingManager;

namespace kolt::fuzz {

// Everything a manager holds, as comparable text.
struct Snapshot {
    int typeOfRun = 0;
    int reportTestFw = 0;
    // "<registry> <list name>" and the items in order, registry after registry; the
    // active reports are one list, "reports".
    std::vector<std::pair<std::string, std::vector<std::string>>> lists;
};
Snapshot snapshot(const koltSettingManager& m);

// The name every document is loaded under (diagnostics of unknown top-level elements
// name it).
inline constexpr const char kDocumentName[] = "settings.xml";

// Loading the document twice into one manager gives both loads the same result,
// writes every diagnostic twice (the second load's output repeats the first's), leaves
// the run settings as one load leaves them, and makes every list, the active reports
// included, its one-load items followed by the same items again.
std::string checkLoadTwice(std::string_view document);

// How many ways the document can be cut in two between its top-level elements: their
// count minus one; 0 when it has fewer than two, is not well-formed, or is not UTF-8
// (cuts are made on the bytes).
std::size_t splitPoints(std::string_view document);

// Cuts the document before its top-level element number `point` (1 to splitPoints()):
// the first part keeps everything before that element and closes the root, the second
// keeps everything before the first top-level element and everything from that element
// on. Loading the first part and then, unless it returned 1, the second (as a caller
// that stops at the first failed file would) into one manager gives the whole
// document's registries, run settings and diagnostics, byte for byte, and its result.
// Both parts are loaded under the whole's name, since diagnostics name the document.
std::string checkSplit(std::string_view document, std::size_t point);

} // namespace kolt::fuzz

#endif
