#include "support.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include <ftw.h>
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

Loaded loadXml(const std::vector<std::string>& documents) {
    Loaded loaded;
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

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kolt-test-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    _path = pattern;
}

TempDir::~TempDir() {
    ::nftw(
        _path.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
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
