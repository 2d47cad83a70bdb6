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
// Run with KOLT_UPDATE_GOLDEN=1 to rewrite result, stderr and state from the actual
// output; review the diff before committing it.
#include "support.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

namespace {

using kolt::test::loadXml;
using kolt::test::readFile;

struct Section {
    std::string kind;
    std::string text;
};

struct Case {
    std::string file;
    std::string name;
    std::vector<Section> sections;

    std::vector<std::string> sectionsOf(const std::string& kind) const {
        std::vector<std::string> out;
        for (const Section& s : sections) {
            if (s.kind == kind) {
                out.push_back(s.text);
            }
        }
        return out;
    }
    std::string expected(const std::string& kind) const {
        const auto all = sectionsOf(kind);
        return all.empty() ? std::string() : all.front();
    }
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.file << ": " << c.name;
}

std::string goldenDir() {
    return std::string(KOLT_TEST_SOURCE_DIR) + "/golden";
}

std::vector<std::string> caseFiles() {
    std::vector<std::string> files;
    if (DIR* dir = ::opendir(goldenDir().c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name.size() > 6 && name.compare(name.size() - 6, 6, ".cases") == 0) {
                files.push_back(name);
            }
        }
        ::closedir(dir);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Splits a .cases file; text before the first case is kept as the file's preamble.
std::vector<Case> parseCases(const std::string& file, std::string* preamble = nullptr) {
    std::vector<Case> cases;
    std::istringstream in(readFile(goldenDir() + "/" + file));
    std::string line;
    std::vector<std::string> lines;
    auto flush = [&] {
        while (!lines.empty() && lines.back().empty()) {
            lines.pop_back();
        }
        std::string text;
        for (const std::string& l : lines) {
            text += l + "\n";
        }
        lines.clear();
        return text;
    };
    while (std::getline(in, line)) {
        if (line.rfind("=== ", 0) == 0) {
            if (cases.empty()) {
                if (preamble) {
                    *preamble = flush();
                }
                lines.clear();
            } else if (!cases.back().sections.empty()) {
                cases.back().sections.back().text = flush();
            }
            cases.push_back(Case{file, line.substr(4), {}});
        } else if (line.rfind("--- ", 0) == 0 && !cases.empty()) {
            if (!cases.back().sections.empty()) {
                cases.back().sections.back().text = flush();
            }
            lines.clear();
            cases.back().sections.push_back(Section{line.substr(4), {}});
        } else {
            lines.push_back(line);
        }
    }
    if (!cases.empty() && !cases.back().sections.empty()) {
        cases.back().sections.back().text = flush();
    }
    return cases;
}

std::vector<Case> allCases() {
    std::vector<Case> all;
    for (const std::string& f : caseFiles()) {
        for (Case& c : parseCases(f)) {
            all.push_back(std::move(c));
        }
    }
    return all;
}

struct Actual {
    std::string result;
    std::string err;
    std::string state;
};

Actual run(const Case& c) {
    const auto loaded = loadXml(c.sectionsOf("xml"));
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
    const std::vector<Case> cases = parseCases(file, &preamble);
    std::ofstream out(goldenDir() + "/" + file, std::ios::binary);
    out << preamble;
    for (const Case& c : cases) {
        const Actual a = run(c);
        out << (preamble.empty() && &c == &cases.front() ? "" : "\n") << "=== " << c.name << "\n";
        for (const std::string& xml : c.sectionsOf("xml")) {
            out << "--- xml\n" << xml;
        }
        out << "--- result\n" << a.result << "--- stderr\n" << a.err << "--- state\n" << a.state;
    }
}

class Golden : public ::testing::TestWithParam<Case> {};

TEST_P(Golden, MatchesExpectedOutput) {
    const Case& c = GetParam();
    SCOPED_TRACE(c.file + ": " + c.name);
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

INSTANTIATE_TEST_SUITE_P(Cases, Golden, ::testing::ValuesIn(allCases()), testName);

// Not a test: rewrites the expectations when asked to.
struct Updater {
    Updater() {
        if (const char* u = std::getenv("KOLT_UPDATE_GOLDEN"); u && *u == '1') {
            for (const std::string& f : caseFiles()) {
                rewrite(f);
            }
        }
    }
} updater;

TEST(GoldenFiles, EveryCaseHasAllSections) {
    const auto cases = allCases();
    ASSERT_FALSE(cases.empty());
    std::map<std::string, int> names;
    for (const Case& c : cases) {
        EXPECT_FALSE(c.sectionsOf("xml").empty()) << c.name;
        EXPECT_EQ(c.sectionsOf("result").size(), 1u) << c.name;
        EXPECT_EQ(c.sectionsOf("stderr").size(), 1u) << c.name;
        EXPECT_EQ(c.sectionsOf("state").size(), 1u) << c.name;
        EXPECT_EQ(++names[c.file + c.name], 1) << "duplicate case name " << c.name;
    }
}

} // namespace
