// Test helpers: loading snippets and files with their output captured.
#ifndef KOLTSETTINGS_TESTS_SUPPORT_H
#define KOLTSETTINGS_TESTS_SUPPORT_H

#include <koltSettings/koltSettings.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace kolt::test {

// Captures what rzStderr and rzStdout receive while a function runs.
struct Captured {
    std::string err;
    std::string out;
};
Captured capture(const std::function<void()>& run);

// A manager after one or more loads, with everything the loads wrote.
struct Loaded {
    std::unique_ptr<koltSettingManager> manager = std::make_unique<koltSettingManager>();
    std::vector<int> results;
    std::string err;
    std::string out;

    // The manager's registries as koltDumpText lists them.
    std::string state() const;
};

// Loads each document in turn into one manager, from memory, named "settings.xml", with
// `observer` attached if given.
Loaded loadXml(const std::vector<std::string>& documents, koltDiagnosticObserver* observer = nullptr);
inline Loaded loadXml(const std::string& document, koltDiagnosticObserver* observer = nullptr) {
    return loadXml(std::vector<std::string>{document}, observer);
}
// Loads files in turn into one manager, through loadFromXmlFile.
Loaded loadFiles(const std::vector<std::string>& paths);

// Wraps a body in <Settings>...</Settings>.
std::string settings(std::string_view body);
// A settings document holding one list: <OptionLists><group><list>items</list>...
std::string optionList(std::string_view group, std::string_view list, std::string_view items);
// `piece`, `times` times over.
std::string repeat(std::string_view piece, std::size_t times);

// A diagnostic as an observer received it, its texts copied.
struct Seen {
    koltDiagnosticCode code;
    std::string codeName;
    std::string message;
    std::string path; // indexed
    std::string printedPath;
    std::string tag; // of the node handed over
    int line;
    int column;
};

// Keeps every diagnostic it is handed.
struct Recorder : koltDiagnosticObserver {
    std::vector<Seen> seen;
    void onDiagnostic(const koltDiagnostic& d) override;
    std::vector<std::string> paths() const;
};

// A scratch directory removed at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return _path; }
    // Writes a file in the directory and returns its path.
    std::string write(const std::string& name, std::string_view content) const;

private:
    std::string _path;
};

std::string readFile(const std::string& path);

} // namespace kolt::test

#endif
