// Reading tests/golden/*.cases: the golden runner and the tests that replay its documents.
#ifndef KOLTSETTINGS_TESTS_GOLDEN_CASES_H
#define KOLTSETTINGS_TESTS_GOLDEN_CASES_H

#include <iosfwd>
#include <string>
#include <vector>

namespace kolt::test {

struct GoldenSection {
    std::string kind; // "xml", "result", "stderr", "state"
    std::string text; // its lines, each ended by a line feed; trailing empty lines dropped
};

struct GoldenCase {
    std::string file; // "load.cases"
    std::string name;
    std::vector<GoldenSection> sections;

    std::vector<std::string> sectionsOf(const std::string& kind) const;
    // The first section of this kind, or "".
    std::string expected(const std::string& kind) const;
    // The documents loaded in turn into one manager.
    std::vector<std::string> documents() const { return sectionsOf("xml"); }
    std::string label() const { return file + ": " + name; }
};

// How GoogleTest names a case in its messages.
void PrintTo(const GoldenCase& c, std::ostream* os);

// Names of the files of `dir` ending in `suffix`, sorted; hidden files left out.
std::vector<std::string> filesIn(const std::string& dir, const std::string& suffix);

std::string goldenDir();
// The cases of the file at `path`; the text before its first case goes to `preamble`.
std::vector<GoldenCase> readCases(const std::string& path, std::string* preamble = nullptr);
// The cases of one file of goldenDir().
std::vector<GoldenCase> readGoldenFile(const std::string& file, std::string* preamble = nullptr);
// Every case of every .cases file, in file order.
std::vector<GoldenCase> goldenCases();

} // namespace kolt::test

#endif
