// The XML documents of the golden cases, for tests that replay them under other rules.
#ifndef KOLTSETTINGS_TESTS_GOLDEN_DOCUMENTS_H
#define KOLTSETTINGS_TESTS_GOLDEN_DOCUMENTS_H

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kolt::test {

struct GoldenDocuments {
    std::string name;                   // "file.cases: case name"
    std::vector<std::string> documents; // loaded in turn into one manager
};

// Every case of every .cases file in `dir`, in file order.
inline std::vector<GoldenDocuments> goldenDocuments(const std::string& dir) {
    std::vector<std::string> files;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n.size() > 6 && n.compare(n.size() - 6, 6, ".cases") == 0) {
                files.push_back(n);
            }
        }
        ::closedir(d);
    }
    std::sort(files.begin(), files.end());
    std::vector<GoldenDocuments> all;
    for (const std::string& f : files) {
        std::ifstream in(dir + "/" + f, std::ios::binary);
        std::string line;
        std::string* xml = nullptr; // the section being read, when it is an xml one
        std::vector<std::string> lines;
        auto close = [&] {
            while (!lines.empty() && lines.back().empty()) {
                lines.pop_back();
            }
            if (xml) {
                for (const std::string& l : lines) {
                    *xml += l + "\n";
                }
            }
            lines.clear();
            xml = nullptr;
        };
        while (std::getline(in, line)) {
            if (line.rfind("=== ", 0) == 0) {
                close();
                all.push_back({f + ": " + line.substr(4), {}});
            } else if (line.rfind("--- ", 0) == 0 && !all.empty()) {
                close();
                if (line == "--- xml") {
                    all.back().documents.emplace_back();
                    xml = &all.back().documents.back();
                }
            } else {
                lines.push_back(line);
            }
        }
        close();
    }
    return all;
}

} // namespace kolt::test

#endif
