// kolt-settings: checks settings files and shows what the checker reads from them.
#include "kolt_settings_help.h"
#include "lsp/server.h"
#include "support/diff.h"
#include "support/dump_formats.h"
#include "support/escape.h"
#include "support/findings.h"
#include "support/hints.h"
#include "support/origins.h"
#include "support/reference.h"
#include "support/schema.h"

#include <koltSettings/koltSettings.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using kolt::tool::Finding;

enum ExitStatus { kClean = 0, kDiagnostics = 1, kFailure = 2 };

enum class Command { Check, Dump, Vocabulary, Diff };
enum class Format { Default, Gnu, Json, Sarif };
enum class DumpForm { Text, Json, Xml };
enum class VocabularyForm { Reference, Json, Dtd };

struct Options {
    Command command = Command::Check;
    Format format = Format::Default;
    DumpForm dumpForm = DumpForm::Text;
    VocabularyForm vocabularyForm = VocabularyForm::Reference;
    long maxDiagnostics = 0; // 0: no limit
    std::vector<std::string> files;
    bool origins = false; // dump --origins
    kolt::tool::DiffFormat diffFormat = kolt::tool::DiffFormat::Text;
    std::size_t oldFiles = 0; // diff: the files before "--"
    bool split = false;
};

int usageError(const std::string& message) {
    std::cerr << "kolt-settings: " << kolt::tool::escapeForLine(message)
              << "\nTry 'kolt-settings --help' for more information.\n";
    return kFailure;
}

// Reads the command line into `o`; -1 when the program goes on, else its exit status.
int parseArguments(int argc, char** argv, Options& o) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args) {
        if (a == "--") {
            break;
        }
        if (a == "-h" || a == "--help") {
            std::cout << kHelpText;
            return kClean;
        }
        if (a == "--version") {
            std::cout << "kolt-settings " KOLT_VERSION "\n";
            return kClean;
        }
    }
    if (args.empty()) {
        return usageError("a command is required: check, dump, diff, vocabulary or lsp");
    }
    if (args[0] == "lsp") {
        return kolt::lsp::serve({args.begin() + 1, args.end()}, KOLT_VERSION);
    }
    if (args[0] == "check") {
        o.command = Command::Check;
    } else if (args[0] == "dump") {
        o.command = Command::Dump;
    } else if (args[0] == "vocabulary") {
        o.command = Command::Vocabulary;
    } else if (args[0] == "diff") {
        o.command = Command::Diff;
    } else {
        return usageError("unknown command '" + args[0] + "'");
    }
    bool sawForm = false;
    bool onlyFiles = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyFiles || a.empty() || a[0] != '-' || a == "-") {
            o.files.push_back(a);
            continue;
        }
        if (a == "--") {
            if (o.command == Command::Diff && !o.split) { // OLD... -- NEW...
                o.split = true;
                o.oldFiles = o.files.size();
            } else {
                onlyFiles = true;
            }
            continue;
        }
        // "--name=value" or "--name value"
        const std::size_t equals = a.find('=');
        const std::string name = a.substr(0, equals);
        auto value = [&](std::string& out) {
            if (equals != std::string::npos) {
                out = a.substr(equals + 1);
                return true;
            }
            if (i + 1 < args.size()) {
                out = args[++i];
                return true;
            }
            return false;
        };
        std::string v;
        if (name == "--format" && o.command == Command::Check) {
            if (!value(v)) {
                return usageError("--format needs a value: default, gnu, json or sarif");
            }
            if (v == "default") {
                o.format = Format::Default;
            } else if (v == "gnu") {
                o.format = Format::Gnu;
            } else if (v == "json") {
                o.format = Format::Json;
            } else if (v == "sarif") {
                o.format = Format::Sarif;
            } else {
                return usageError("unknown format '" + v + "': use default, gnu, json or sarif");
            }
        } else if (name == "--max-diagnostics" && o.command == Command::Check) {
            if (!value(v)) {
                return usageError("--max-diagnostics needs a number");
            }
            errno = 0;
            const long n = std::strtol(v.c_str(), nullptr, 10);
            if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos || errno == ERANGE) {
                return usageError("--max-diagnostics needs a number, 0 or more (not '" + v + "')");
            }
            o.maxDiagnostics = n;
        } else if ((a == "--json" || a == "--xml") && o.command == Command::Dump) {
            if (sawForm) {
                return usageError("--json and --xml exclude each other");
            }
            sawForm = true;
            o.dumpForm = a == "--json" ? DumpForm::Json : DumpForm::Xml;
        } else if (a == "--origins" && o.command == Command::Dump) {
            o.origins = true;
        } else if (name == "--format" && o.command == Command::Diff) {
            const std::pair<const char*, kolt::tool::DiffFormat> forms[] = {
                {"text", kolt::tool::DiffFormat::Text},
                {"markdown", kolt::tool::DiffFormat::Markdown},
                {"json", kolt::tool::DiffFormat::Json}};
            if (!value(v)) {
                return usageError("--format needs a value: text, markdown or json");
            }
            const auto* form =
                std::find_if(std::begin(forms), std::end(forms), [&](const auto& f) { return v == f.first; });
            if (form == std::end(forms)) {
                return usageError("unknown format '" + v + "': use text, markdown or json");
            }
            o.diffFormat = form->second;
        } else if ((a == "--json" || a == "--dtd") && o.command == Command::Vocabulary) {
            if (sawForm) {
                return usageError("--json and --dtd exclude each other");
            }
            sawForm = true;
            o.vocabularyForm = a == "--json" ? VocabularyForm::Json : VocabularyForm::Dtd;
        } else {
            return usageError("unknown option '" + a + "' for " + args[0]);
        }
    }
    if (o.command == Command::Vocabulary && !o.files.empty()) {
        return usageError("vocabulary takes no FILE");
    }
    if (o.command == Command::Diff && (!o.split || o.oldFiles == 0 || o.oldFiles == o.files.size())) {
        return usageError("diff takes OLD... -- NEW...: at least one file on each side of '--'");
    }
    return -1;
}

// The example in the data folder next to the program's folder: installed there, and
// linked there in the build folder.
std::string bundledExample() {
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) {
        return {};
    }
    std::string dir(exe, static_cast<std::size_t>(n));
    dir.erase(dir.rfind('/') + 1);
    const std::string example = dir + KOLT_EXAMPLE_FROM_BINDIR;
    char resolved[PATH_MAX];
    if (TAFileName(example.c_str()).IsFile() && ::realpath(example.c_str(), resolved)) {
        return resolved; // without "bin/.." in what the diagnostics show
    }
    return {};
}

// Why a path is no file, in the words of the system.
std::string whyNotAFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::strerror(errno);
    }
    return S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
}

std::string whyUnreadable(const std::string& path) {
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return "read error";
    }
    return std::strerror(errno);
}

// The problem that kept a file from loading, or false when it loaded.
bool loadFailure(const std::string& file, const koltLoadReport& report, Finding& f) {
    f = Finding();
    f.file = file;
    switch (report.outcome) {
    case koltLoadReport::NotAFile:
        f.code = kolt::tool::kNotAFile.code;
        f.message = "cannot check: " + whyNotAFile(file);
        return true;
    case koltLoadReport::Unreadable:
        f.code = kolt::tool::kUnreadable.code;
        f.message = "cannot read: " + whyUnreadable(file);
        return true;
    case koltLoadReport::Malformed:
        f.code = kolt::tool::kMalformed.code;
        f.message = "not well-formed XML: " + report.parseError;
        f.line = report.parseErrorLine;
        f.column = report.parseErrorColumn;
        kolt::tool::SourcePositions(file).convert(f.line, f.column);
        return true;
    case koltLoadReport::OutOfMemory:
        f.code = kolt::tool::kOutOfMemory.code;
        f.message = "out of memory";
        return true;
    default:
        return false;
    }
}

// "kolt-settings: file:line:column: message", for files that do not load, next to the
// loader's own output.
std::string plainLine(const Finding& f) {
    std::string out = "kolt-settings: " + kolt::tool::escapeForLine(f.file);
    if (f.line > 0) {
        out += ":" + std::to_string(f.line) + ":" + std::to_string(f.column);
    }
    return out + ": " + kolt::tool::escapeForLine(f.message) + "\n";
}

// Where findings go, in the chosen format, up to the limit.
class Output {
public:
    explicit Output(const Options& o) : _format(o.format), _max(o.maxDiagnostics) {
        if (_format == Format::Sarif) {
            _sarif = std::make_unique<kolt::tool::SarifLog>(std::cout, KOLT_VERSION);
        }
    }

    bool full() {
        if (_max > 0 && _written >= _max) {
            ++_suppressed;
            return true;
        }
        ++_written;
        return false;
    }
    // A loader diagnostic as the loader wrote it.
    void raw(const std::string& bytes) {
        if (!full()) {
            std::cerr << bytes << std::flush;
        }
    }
    void add(const Finding& f) {
        if (full()) {
            return;
        }
        switch (_format) {
        case Format::Default: // the loader's own words are written by raw()
            std::cerr << plainLine(f);
            break;
        case Format::Gnu:
            std::cerr << kolt::tool::gnuLine(f) + '\n'; // one write: stderr is unbuffered
            break;
        case Format::Json:
            std::cout << kolt::tool::jsonLine(f) << '\n';
            break;
        case Format::Sarif:
            _sarif->add(f);
            break;
        }
    }
    void finish() {
        if (_sarif) {
            _sarif->finish();
        }
        std::cout.flush();
        if (_suppressed > 0) {
            std::cerr << "kolt-settings: " << _suppressed << " more diagnostic"
                      << (_suppressed == 1 ? "" : "s") << " not shown (--max-diagnostics=" << _max << ")\n";
        }
    }

private:
    Format _format;
    long _max;
    long _written = 0;
    long _suppressed = 0;
    std::unique_ptr<kolt::tool::SarifLog> _sarif;
};

// Turns each loader diagnostic into a finding while its element is at hand.
class Collector : public koltDiagnosticObserver {
public:
    Collector(Output& output, Format format, const std::string& file, std::ostringstream& captured)
        : _output(output), _format(format), _captured(captured), _positions(file), _file(file) {}

    void onDiagnostic(const koltDiagnostic& d) override {
        if (_format == Format::Default) {
            // The record the loader has just written, and nothing else.
            _output.raw(_captured.str());
            _captured.str(std::string());
            return;
        }
        _captured.str(std::string());
        const auto e = kolt::tool::explain(d);
        Finding f;
        f.file = _file;
        // A diagnostic about an attribute is placed at the attribute.
        const bool atAttribute = d.attributeLine > 0;
        f.line = atAttribute ? d.attributeLine : d.line;
        f.column = atAttribute ? d.attributeColumn : d.column;
        _positions.convert(f.line, f.column);
        f.code = d.codeName;
        f.message = e.message;
        f.hint = e.hint;
        f.path = d.elementPath;
        f.legacy = d.message;
        f.printedPath = d.printedPath;
        _output.add(f);
    }

private:
    Output& _output;
    Format _format;
    std::ostringstream& _captured;
    kolt::tool::SourcePositions _positions;
    const std::string& _file;
};

int check(const Options& o) {
    Output output(o);
    int status = kClean;
    for (const std::string& file : o.files) {
        std::ostringstream captured;
        Collector collector(output, o.format, file, captured);
        koltSettingManager manager;
        manager.setDiagnosticObserver(&collector);
        {
            rzStreamRedirect redirect(rzStderr, captured);
            (void)manager.loadFromXmlFile(file.c_str());
        }
        Finding failure;
        if (loadFailure(file, manager.lastLoadReport(), failure)) {
            output.add(failure);
            status = kFailure;
        } else if (manager.lastLoadReport().total > 0 && status == kClean) {
            status = kDiagnostics;
        }
    }
    output.finish();
    return status;
}

// Attached so that a load keeps line numbers for a parse error.
struct KeepPositions : koltDiagnosticObserver {
    void onDiagnostic(const koltDiagnostic&) override {}
};

int dump(const Options& o) {
    koltSettingManager manager;
    KeepPositions keepPositions;
    manager.setDiagnosticObserver(&keepPositions);
    kolt::tool::Origins origins(manager);
    const kolt::tool::Origins* shown = o.origins ? &origins : nullptr;
    manager.setRegistrationObserver(shown ? &origins : nullptr);
    int status = kClean;
    for (const std::string& file : o.files) {
        (void)manager.loadFromXmlFile(file.c_str());
        Finding failure;
        if (loadFailure(file, manager.lastLoadReport(), failure)) {
            std::cerr << plainLine(failure);
            status = kFailure;
        } else if (manager.lastLoadReport().total > 0 && status == kClean) {
            status = kDiagnostics;
        }
    }
    if (status == kFailure) {
        return status;
    }
    switch (o.dumpForm) {
    case DumpForm::Text:
        if (shown) {
            kolt::tool::writeTextDump(manager, std::cout, origins);
        } else {
            koltDumpText(manager, std::cout);
        }
        break;
    case DumpForm::Json:
        kolt::tool::writeJsonDump(manager, std::cout, shown);
        break;
    case DumpForm::Xml:
        if (kolt::tool::writeXmlDump(manager, std::cout, &std::cerr, shown) > 0 && status == kClean) {
            status = kDiagnostics;
        }
        break;
    }
    return status;
}

// Loads `files` in turn into `manager`, as the checker does; false, after saying why on
// standard error, when one of them could not be loaded. The loader's diagnostics are
// not diff's business (check reports them): they are dropped.
bool loadQuietly(const std::vector<std::string>& files, koltSettingManager& manager) {
    bool loaded = true;
    for (const std::string& file : files) {
        std::ostringstream dropped;
        {
            rzStreamRedirect redirect(rzStderr, dropped);
            (void)manager.loadFromXmlFile(file.c_str());
        }
        Finding failure;
        if (loadFailure(file, manager.lastLoadReport(), failure)) {
            std::cerr << plainLine(failure);
            loaded = false;
        }
    }
    return loaded;
}

int diff(const Options& o) {
    const auto split = o.files.begin() + static_cast<std::ptrdiff_t>(o.oldFiles);
    const std::vector<std::string> oldFiles(o.files.begin(), split);
    const std::vector<std::string> newFiles(split, o.files.end());
    koltSettingManager oldManager;
    koltSettingManager newManager;
    kolt::tool::Origins oldOrigins(oldManager);
    kolt::tool::Origins newOrigins(newManager);
    oldManager.setRegistrationObserver(&oldOrigins);
    newManager.setRegistrationObserver(&newOrigins);
    const bool oldLoaded = loadQuietly(oldFiles, oldManager);
    if (!loadQuietly(newFiles, newManager) || !oldLoaded) {
        return kFailure;
    }
    const auto changes = kolt::tool::diffSettings({oldManager, oldOrigins}, {newManager, newOrigins});
    kolt::tool::writeDiff(changes, o.diffFormat, oldFiles, newFiles, std::cout);
    return changes.empty() ? kClean : kDiagnostics;
}

void vocabulary(const Options& o) {
    switch (o.vocabularyForm) {
    case VocabularyForm::Reference:
        kolt::tool::writeReference(std::cout);
        break;
    case VocabularyForm::Json:
        kolt::tool::writeVocabularyJson(std::cout);
        break;
    case VocabularyForm::Dtd:
        kolt::tool::Schema::instance().writeDtd(std::cout);
        break;
    }
}

int run(int argc, char** argv) {
    Options options;
    if (const int status = parseArguments(argc, argv, options); status >= 0) {
        return status;
    }
    int status = kClean;
    if (options.command == Command::Vocabulary) {
        vocabulary(options);
    } else if (options.command == Command::Diff) {
        status = diff(options);
    } else {
        if (options.files.empty()) {
            const std::string example = bundledExample();
            if (example.empty()) {
                std::cerr << "kolt-settings: no FILE given, and the bundled example settings.xml is not "
                             "installed\n";
                return kFailure;
            }
            options.files.push_back(example);
        }
        status = options.command == Command::Check ? check(options) : dump(options);
    }
    if (!std::cout.flush()) {
        std::cerr << "kolt-settings: cannot write to standard output\n";
        return kFailure;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    try {
        return run(argc, argv);
    } catch (const std::exception& e) { // memory ran out, most likely
        std::cerr << "kolt-settings: " << e.what() << '\n';
        return kFailure;
    }
}
