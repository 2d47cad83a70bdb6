// Diagnostics as kolt-settings reports them: the loader's, with position, path and hint,
// and its own about files it could not load. Written as gnu lines, JSON Lines or SARIF.
#ifndef KOLTSETTINGS_TOOLS_FINDINGS_H
#define KOLTSETTINGS_TOOLS_FINDINGS_H

#include "json.h"

#include <cstddef>
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kolt::tool {

// Codes of kolt-settings itself, after the loader's KS001...: a FILE it could not load.
struct ToolCode {
    const char* code;
    const char* summary;
};
inline constexpr ToolCode kNotAFile{"KT001", "the path names no regular file"};
inline constexpr ToolCode kUnreadable{"KT002", "the file cannot be read"};
inline constexpr ToolCode kMalformed{"KT003", "the checker's parser cannot read the file at all"};
inline constexpr ToolCode kOutOfMemory{"KT004", "memory ran out while loading the file"};
inline constexpr const ToolCode* kToolCodes[] = {&kNotAFile, &kUnreadable, &kMalformed, &kOutOfMemory};

enum class Severity { Error, Warning };

// A change of a document: the bytes [begin, end) become `text`.
struct Edit {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string text;
};

// A fix a finding suggests, as data for an editor's quick fixes.
struct Suggestion {
    enum class Kind {
        Rename,   // give the element or attribute concerned the name `text`
        MoveInto, // move the element into the element named `text` (the root element: "")
        Replace,  // write `text` instead of the value or text concerned
    };
    Kind kind = Kind::Rename;
    std::string text;
    // The edits that apply it; none when it needs more than a change of text (a move, or
    // a use the loader reports at its rule).
    std::vector<Edit> edits;
};

// Another place a finding refers to: the first of two items, the activation that a later
// Activate="false" does not undo.
struct Related {
    std::string file;
    int line = 0;
    int column = 0;
    std::string message;
};

struct Finding {
    Severity severity = Severity::Error;
    std::string code;
    std::string message; // one line
    std::string hint;    // "" for none
    std::string subject; // the element, attribute, value or text concerned, as read
    std::string file;
    int line = 0;   // 1-based; 0 when unknown
    int column = 0; // 1-based, in characters; 0 when unknown
    // The bytes concerned in the document: an element's name, an attribute (name to
    // closing quote), a value or a text. Only when hasSpan; empty (begin == end) for a
    // point, as a strict XML violation is.
    bool hasSpan = false;
    std::size_t begin = 0;
    std::size_t end = 0;
    int endLine = 0;   // where the span ends (past its last character); 0 for a point or
    int endColumn = 0; // without a span
    std::vector<Suggestion> suggestions;
    std::vector<Related> related;
    // Loader diagnostics only:
    std::string path;        // indexed element path
    std::string legacy;      // the error line(s) exactly as the loader writes them
    std::string printedPath; // the path line as the loader writes it
    std::string written;     // all it wrote on rzStderr for it, line ends included
    // When it was found among the findings of one Checker: the loader's diagnostics in the
    // order it wrote them.
    std::size_t order = 0;
};

// "error" or "warning".
const char* severityName(Severity s) noexcept;

// "file:line:column: error: message; hint [code] at path" ("warning:" for a warning),
// names and values escaped for one line (escapeForLine); with `colour`, the location and
// severity in the escape sequences of a terminal.
std::string gnuLine(const Finding& f, bool colour = false);
// "file:line:column: note: message", the gnu line of a related place.
std::string noteLine(const Related& r, bool colour = false);
// One JSON object on one line, without the line end.
std::string jsonLine(const Finding& f);
// `path` for a URI: each byte but unreserved characters and '/' percent-encoded.
std::string uriPath(std::string_view path);

// Code-scanning services take at most this many results in a run.
inline constexpr long kSarifMaxResults = 25000;

// A SARIF 2.1.0 log for code-scanning services, written as findings come: one run, a rule
// per code with its explanation from the settings guide (code_docs.h), a result per
// finding with its region and fingerprint, files as URIs relative to %SRCROOT%.
class SarifLog {
public:
    // `sourceRoot` is the folder %SRCROOT% stands for ("" or "." for the current one).
    SarifLog(std::ostream& out, const std::string& version, const std::string& sourceRoot);
    void add(const Finding& f);
    // Ends the log; `leftOut` findings were not added, for `why`.
    void finish(long leftOut = 0, const std::string& why = {});

private:
    struct Location {
        std::string uri;
        bool underRoot = false; // relative to SRCROOT
    };
    const Location& locate(const std::string& file);
    void physicalLocation(const std::string& file, int line, int column, int endLine, int endColumn);

    std::ostream& _out;
    JsonWriter _json{true};
    std::string _root;                          // absolute, symbolic links resolved, ending in '/'
    std::map<std::string, Location> _locations; // per file name
    std::map<std::string, std::size_t> _ruleIndex;
    std::map<std::string, int> _seen; // results per fingerprint so far
};

} // namespace kolt::tool

#endif
