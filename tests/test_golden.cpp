// Golden tests: whole settings documents in, exact diagnostics and registry contents out.
//
// Each tests/golden/*.cases file holds cases of this form:
//
//   === case name
//   --- xml              (one or more: loaded in turn into one manager)
//   <Settings>...</Settings>
//   --- result           (loadFromXmlMemory's result for each document)
//   0
//   --- stderr           (exactly what rzStderr received)
//   --- state            (koltDumpText of the manager afterwards)
//
// Documents are laid out one element a line wherever blanks are not read (between the
// children of an element that holds no text of its own); inside a text every blank counts.
//
// Run with KOLT_UPDATE_GOLDEN=1 to rewrite result, stderr and state from the actual
// output; review the diff before committing it.
#include "golden_cases.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>

namespace {

using kolt::test::loadXml;

using Case = kolt::test::GoldenCase;

struct Actual {
    std::string result;
    std::string err;
    std::string state;
};

Actual run(const Case& c) {
    const auto loaded = loadXml(c.documents());
    Actual a;
    for (std::size_t i = 0; i < loaded.results.size(); ++i) {
        a.result += (i ? " " : "") + std::to_string(loaded.results[i]);
    }
    a.result += "\n";
    a.err = loaded.err;
    a.state = loaded.state();
    return a;
}

void rewrite(const std::string& file) {
    std::string preamble;
    const std::vector<Case> cases = kolt::test::readGoldenFile(file, &preamble);
    std::ofstream out(kolt::test::goldenDir() + "/" + file, std::ios::binary);
    out << preamble;
    for (const Case& c : cases) {
        const Actual a = run(c);
        out << (preamble.empty() && &c == &cases.front() ? "" : "\n") << "=== " << c.name << "\n";
        for (const std::string& xml : c.documents()) {
            out << "--- xml\n" << xml;
        }
        out << "--- result\n" << a.result << "--- stderr\n" << a.err << "--- state\n" << a.state;
    }
}

class Golden : public ::testing::TestWithParam<Case> {};

TEST_P(Golden, MatchesExpectedOutput) {
    const Case& c = GetParam();
    SCOPED_TRACE(c.label());
    const Actual a = run(c);
    EXPECT_EQ(a.result, c.expected("result"));
    EXPECT_EQ(a.err, c.expected("stderr"));
    EXPECT_EQ(a.state, c.expected("state"));
}

std::string testName(const ::testing::TestParamInfo<Case>& info) {
    std::string name = info.param.file.substr(0, info.param.file.size() - 6) + "_" + info.param.name;
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) {
            ch = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, ::testing::ValuesIn(kolt::test::goldenCases()), testName);

// Not a test: rewrites the expectations when asked to.
struct Updater {
    Updater() {
        if (const char* u = std::getenv("KOLT_UPDATE_GOLDEN"); u && *u == '1') {
            for (const std::string& f : kolt::test::filesIn(kolt::test::goldenDir(), ".cases")) {
                rewrite(f);
            }
        }
    }
} updater;

} // namespace
