#include "golden_cases.h"

#include "support.h"

#include <dirent.h>

#include <algorithm>
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
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name[0] != '.' && name.size() >= suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
                files.push_back(name);
            }
        }
        ::closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string goldenDir() {
    return std::string(KOLT_TEST_SOURCE_DIR) + "/golden";
}

std::vector<GoldenCase> readGoldenFile(const std::string& file, std::string* preamble) {
    std::vector<GoldenCase> cases;
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
    auto closeSection = [&] {
        if (!cases.empty() && !cases.back().sections.empty()) {
            cases.back().sections.back().text = flush();
        }
        lines.clear();
    };
    while (std::getline(in, line)) {
        if (line.rfind("=== ", 0) == 0) {
            if (cases.empty() && preamble) {
                *preamble = flush();
            }
            closeSection();
            cases.push_back(GoldenCase{file, line.substr(4), {}});
        } else if (line.rfind("--- ", 0) == 0 && !cases.empty()) {
            closeSection();
            cases.back().sections.push_back(GoldenSection{line.substr(4), {}});
        } else {
            lines.push_back(line);
        }
    }
    closeSection();
    return cases;
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
