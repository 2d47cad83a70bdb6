// What each diagnostic code means, as the settings guide explains it: the guide's
// diagnostics are built into the program, so the rules of a SARIF log carry the same
// words as docs/settings-guide.md.
#ifndef KOLTSETTINGS_TOOLS_CODE_DOCS_H
#define KOLTSETTINGS_TOOLS_CODE_DOCS_H

#include "findings.h"

#include <string>
#include <vector>

namespace kolt::tool {

struct CodeDoc {
    std::string code;    // "KS001"
    std::string summary; // one line, as the code's table gives it
    Severity level = Severity::Error;
    // From the guide; all three are empty when the guide has no section `### KS001:
    // summary` (or table row `| KT001 | summary...`) under that summary.
    std::string description; // its first paragraph (a table row: the meaning), plain text
    std::string text;        // the whole explanation, plain text
    std::string markdown;    // the whole explanation, Markdown
    std::string uri;         // its section of the guide: an absolute URI ending in "#ks001"
};

// Every code, in the order of a SARIF log's rules: KS, KT, KX, then KW, each in code
// order.
const std::vector<CodeDoc>& codeDocs();

} // namespace kolt::tool

#endif
