// The check of settings documents, for kolt-settings and editor integrations: strict XML,
// the loader's own diagnostics, and warnings for what the loader accepts but reads
// otherwise than the file seems to say; plain findings with positions, spans and fixes.
#ifndef KOLTSETTINGS_TOOLS_CHECK_H
#define KOLTSETTINGS_TOOLS_CHECK_H

#include "findings.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class koltSettingManager;

namespace kolt::tool {

// One manager, and the documents loaded into it in turn, as the checker loads several
// files: a later document adds to what the earlier ones registered, and what only shows
// across them (an item listed again, a report an earlier file activated) is reported with
// the later one.
//
// No global state of its own and no output; a Checker is used from one thread at a time,
// distinct Checkers from several. While a check runs, what the loader writes on rzStderr
// from that thread is kept in its findings instead (Finding::written); other threads'
// output goes through. Throws nothing but std::bad_alloc (memory running out inside the
// load itself is reported as KT004).
class Checker {
public:
    Checker();
    ~Checker();
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;

    // Checks the next document, given by its bytes (any encoding the loader reads);
    // `name` stands for it in findings and in the loader's own messages. Returns its
    // findings sorted by position, those without one first:
    // - KXnnn errors: not well-formed XML 1.0 (wellformed.h), at the parser's position;
    // - KSnnn errors: the loader's diagnostics, with path, hint and the loader's bytes;
    // - KT003 or KT004 errors: the loader could not read the document at all;
    // - KWnnn warnings (warnings.h).
    // Positions and spans count in `document`: they are left out (line 0, no span) for
    // what the loader reads from a document it converts first (UTF-16, UTF-32, Latin-1).
    std::vector<Finding> check(std::string_view document, const std::string& name);

    // The manager the documents were loaded into.
    const koltSettingManager& manager() const noexcept;

private:
    struct State;
    std::unique_ptr<State> _state;
};

// One document in a manager of its own: what an editor calls after each change.
std::vector<Finding> checkDocument(std::string_view document, const std::string& name);

} // namespace kolt::tool

#endif
