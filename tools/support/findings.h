// Diagnostics as kolt-settings reports them: the loader's, with position, path and hint,
// and its own about files it could not load. Written as gnu lines, JSON Lines or SARIF.
#ifndef KOLTSETTINGS_TOOLS_FINDINGS_H
#define KOLTSETTINGS_TOOLS_FINDINGS_H

#include "json.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace kolt::tool {

// Codes of kolt-settings itself, after the loader's KS001...: a FILE it could not load.
struct ToolCode {
    const char* code;
    const char* summary;
};
inline constexpr ToolCode kNotAFile{"KT001", "the path names no regular file"};
inline constexpr ToolCode kUnreadable{"KT002", "the file cannot be read"};
inline constexpr ToolCode kMalformed{"KT003", "the file is not well-formed XML"};
inline constexpr ToolCode kOutOfMemory{"KT004", "memory ran out while loading the file"};
inline constexpr const ToolCode* kToolCodes[] = {&kNotAFile, &kUnreadable, &kMalformed, &kOutOfMemory};

struct Finding {
    std::string file;
    int line = 0;   // 1-based; 0 when unknown
    int column = 0; // 1-based, in characters; 0 when unknown
    std::string code;
    std::string message; // one line
    std::string hint;    // "" for none
    // Loader diagnostics only:
    std::string path;        // indexed element path
    std::string legacy;      // the error line(s) exactly as the loader writes them
    std::string printedPath; // the path line as the loader writes it
};

// "file:line:column: error: message; hint [code] at path", names and values escaped for
// one line (escapeForLine).
std::string gnuLine(const Finding& f);
// One JSON object on one line, without the line end.
std::string jsonLine(const Finding& f);
// A SARIF 2.1.0 log with a rule per code and a result per finding, written as findings
// come.
class SarifLog {
public:
    SarifLog(std::ostream& out, const std::string& version);
    void add(const Finding& f);
    void finish();

private:
    std::ostream& _out;
    JsonWriter _json{true};
    std::vector<std::string> _ruleIds;
};

// Positions in a file as people count them, from the loader's 1-based line and byte
// column. Reads the file once, when first asked.
class SourcePositions {
public:
    explicit SourcePositions(std::string path) : _path(std::move(path)) {}
    // Turns the byte column into a character column (a byte order mark counts none).
    // Clears both and answers false for a file in UTF-16, UTF-32 or Latin-1: the parser
    // converts those to UTF-8 first, and the loader's positions count in that text.
    bool convert(int& line, int& column);

private:
    void read();

    std::string _path;
    bool _read = false;
    bool _utf8 = true;
    std::string _bytes;
    std::vector<std::size_t> _lineStarts;
};

} // namespace kolt::tool

#endif
