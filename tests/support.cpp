#include "support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

namespace kolt::test {

Captured capture(const std::function<void()>& run) {
    std::ostringstream err;
    std::ostringstream out;
    {
        rzStreamRedirect e(rzStderr, err);
        rzStreamRedirect o(rzStdout, out);
        run();
    }
    return {err.str(), out.str()};
}

std::string Loaded::state() const {
    std::ostringstream s;
    koltDumpText(*manager, s);
    return s.str();
}

Loaded loadXml(const std::vector<std::string>& documents, koltDiagnosticObserver* observer) {
    Loaded loaded;
    loaded.manager->setDiagnosticObserver(observer);
    const Captured c = capture([&] {
        for (const std::string& d : documents) {
            loaded.results.push_back(loaded.manager->loadFromXmlMemory(d.data(), d.size(), "settings.xml"));
        }
    });
    loaded.err = c.err;
    loaded.out = c.out;
    return loaded;
}

Loaded loadFiles(const std::vector<std::string>& paths) {
    Loaded loaded;
    const Captured c = capture([&] {
        for (const std::string& p : paths) {
            loaded.results.push_back(loaded.manager->loadFromXmlFile(p.c_str()));
        }
    });
    loaded.err = c.err;
    loaded.out = c.out;
    return loaded;
}

std::string settings(std::string_view body) {
    return "<Settings>" + std::string(body) + "</Settings>";
}

std::string optionList(std::string_view group, std::string_view list, std::string_view items) {
    const std::string g(group);
    const std::string l(list);
    return settings("<OptionLists><" + g + "><" + l + ">" + std::string(items) + "</" + l + "></" + g +
                    "></OptionLists>");
}

std::string repeat(std::string_view piece, std::size_t times) {
    std::string s;
    s.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        s += piece;
    }
    return s;
}

void Recorder::onDiagnostic(const koltDiagnostic& d) {
    const char* tag = d.node.GetTag();
    seen.push_back({d.code, d.codeName, d.message, d.elementPath, d.printedPath, tag ? tag : "(null)", d.line,
                    d.column});
}

std::vector<std::string> Recorder::paths() const {
    std::vector<std::string> p;
    for (const Seen& s : seen) {
        p.push_back(s.path);
    }
    return p;
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kolt-test-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    _path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(_path, ignored);
}

std::string TempDir::write(const std::string& name, std::string_view content) const {
    const std::string p = _path + "/" + name;
    std::ofstream f(p, std::ios::binary);
    f.write(content.data(), static_cast<std::streamsize>(content.size()));
    return p;
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace kolt::test
