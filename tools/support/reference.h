// The vocabulary for people and for scripts: the settings guide's reference section and
// the JSON of `kolt-settings vocabulary --json`, both from the vocabulary tables.
#ifndef KOLTSETTINGS_TOOLS_REFERENCE_H
#define KOLTSETTINGS_TOOLS_REFERENCE_H

#include <iosfwd>

namespace kolt::tool {

// The reference section of docs/settings-guide.md (Markdown), between its markers.
void writeReference(std::ostream& out);

// The vocabulary as one JSON document, described in docs/kolt-settings.md.
void writeVocabularyJson(std::ostream& out);

} // namespace kolt::tool

#endif
