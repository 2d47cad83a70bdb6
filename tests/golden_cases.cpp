#include "golden_cases.h"

#include "support.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <sstream>

namespace kolt::test {

std::vector<std::string> GoldenCase::sectionsOf(const std::string& kind) const {
    std::vector<std::string> out;
    for (const GoldenSection& s : sections) {
        if (s.kind == kind) {
            out.push_back(s.text);
        }
    }
    return out;
}

std::string GoldenCase::expected(const std::string& kind) const {
    const auto all = sectionsOf(kind);
    return all.empty() ? std::string() : all.front();
}

void PrintTo(const GoldenCase& c, std::ostream* os) {
    *os << c.label();
}

std::vector<std::string> filesIn(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name[0] != '.' && name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            files.push_back(name);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string goldenDir() {
    return std::string(KOLT_TEST_SOURCE_DIR) + "/golden";
}

std::vector<GoldenCase> readCases(const std::string& path, std::string* preamble) {
    const std::string file = std::filesystem::path(path).filename().string();
    std::vector<GoldenCase> cases;
    std::string* text = preamble; // where the next line of text goes
    std::istringstream in(readFile(path));
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("=== ", 0) == 0) {
            cases.push_back(GoldenCase{file, line.substr(4), {}});
            text = nullptr;
        } else if (line.rfind("--- ", 0) == 0 && !cases.empty()) {
            cases.back().sections.push_back(GoldenSection{line.substr(4), {}});
            text = &cases.back().sections.back().text;
        } else if (text) {
            *text += line + "\n";
        }
    }
    auto trim = [](std::string& t) { // trailing empty lines dropped
        while (t.size() >= 2 && t.compare(t.size() - 2, 2, "\n\n") == 0) {
            t.pop_back();
        }
        if (t == "\n") {
            t.clear();
        }
    };
    for (GoldenCase& c : cases) {
        for (GoldenSection& section : c.sections) {
            trim(section.text);
        }
    }
    if (preamble) {
        trim(*preamble);
    }
    return cases;
}

std::vector<GoldenCase> readGoldenFile(const std::string& file, std::string* preamble) {
    return readCases(goldenDir() + "/" + file, preamble);
}

std::vector<GoldenCase> goldenCases() {
    std::vector<GoldenCase> all;
    for (const std::string& f : filesIn(goldenDir(), ".cases")) {
        for (GoldenCase& c : readGoldenFile(f)) {
            all.push_back(std::move(c));
        }
    }
    return all;
}

} // namespace kolt::test
