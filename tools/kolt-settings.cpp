// kolt-settings: checks settings files and shows what the checker reads from them.
#include "kolt_settings_help.h"
#include "lsp/server.h"
#include "support/check.h"
#include "support/diff.h"
#include "support/dump_formats.h"
#include "support/escape.h"
#include "support/findings.h"
#include "support/hints.h"
#include "support/origins.h"
#include "support/reference.h"
#include "support/schema.h"
#include "support/source.h"
#include "support/wellformed.h"

#include <koltSettings/koltSettings.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
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
enum class Format { Default, Gnu, Json, Sarif, Legacy };
enum class DumpForm { Text, Json, Xml };
enum class VocabularyForm { Reference, Json, Dtd };

struct Options {
    Command command = Command::Check;
    Format format = Format::Default;
    DumpForm dumpForm = DumpForm::Text;
    VocabularyForm vocabularyForm = VocabularyForm::Reference;
    long maxDiagnostics = 0; // 0: no limit
    bool warningsAsErrors = false;
    bool each = false;      // a manager per file
    std::string stdinName;  // what standard input is called in messages
    std::string sourceRoot; // what SARIF file URIs are relative to; "": the current folder
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
            static const std::pair<const char*, Format> kFormats[] = {{"default", Format::Default},
                                                                      {"gnu", Format::Gnu},
                                                                      {"json", Format::Json},
                                                                      {"sarif", Format::Sarif},
                                                                      {"legacy", Format::Legacy}};
            if (!value(v)) {
                return usageError("--format needs a value: default, gnu, json, sarif or legacy");
            }
            const auto format = std::find_if(std::begin(kFormats), std::end(kFormats),
                                             [&](const auto& f) { return v == f.first; });
            if (format == std::end(kFormats)) {
                return usageError("unknown format '" + v + "': use default, gnu, json, sarif or legacy");
            }
            o.format = format->second;
        } else if ((a == "--warnings-as-errors" || a == "--each") && o.command == Command::Check) {
            (a == "--each" ? o.each : o.warningsAsErrors) = true;
        } else if (name == "--stdin-filename" && o.command == Command::Check) {
            if (!value(o.stdinName) || o.stdinName.empty()) {
                return usageError("--stdin-filename needs a name");
            }
        } else if (name == "--source-root" && o.command == Command::Check) {
            struct stat st {};
            if (!value(o.sourceRoot) || ::stat(o.sourceRoot.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                return usageError("--source-root needs a folder (not '" + o.sourceRoot + "')");
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
    const auto stdinCount = std::count(o.files.begin(), o.files.end(), "-");
    if (o.command == Command::Check && stdinCount > 1) {
        return usageError("standard input can be checked once");
    }
    if (!o.stdinName.empty() && stdinCount == 0) {
        return usageError("--stdin-filename names standard input: give - as a FILE");
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

// The code and message of a finding about a file that is no regular file (NotAFile) or
// cannot be read.
void fileFailure(Finding& f, const std::string& file, koltLoadReport::Outcome outcome) {
    const bool notAFile = outcome == koltLoadReport::NotAFile;
    f.code = notAFile ? kolt::tool::kNotAFile.code : kolt::tool::kUnreadable.code;
    f.message = notAFile ? "cannot check: " + whyNotAFile(file) : "cannot read: " + whyUnreadable(file);
}

// What keeps `path` from being checked, as a finding, or false when `bytes` holds it.
// "-" is standard input.
bool readInput(const std::string& path, const std::string& name, std::string& bytes, Finding& f) {
    f = Finding();
    f.file = name;
    if (path == "-") {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        if (!std::cin.bad()) {
            return true;
        }
        f.code = kolt::tool::kUnreadable.code;
        f.message = "cannot read standard input";
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        fileFailure(f, path, koltLoadReport::NotAFile);
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (in) {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.bad()) {
            return true;
        }
    }
    fileFailure(f, path, koltLoadReport::Unreadable);
    return false;
}

// "kolt-settings: file:line:column: message [code]": the program's own lines beside the
// loader's bytes.
std::string plainLine(const Finding& f) {
    std::string out = "kolt-settings: " + kolt::tool::escapeForLine(f.file);
    if (f.line > 0) {
        out += ":" + std::to_string(f.line) + ":" + std::to_string(f.column);
    }
    return out + ": " + kolt::tool::escapeForLine(f.message) + " [" + f.code + "]\n";
}

// Colour only for a terminal, and never when NO_COLOR is set to anything.
bool colourWanted() {
    const char* noColour = std::getenv("NO_COLOR");
    return ::isatty(STDERR_FILENO) == 1 && (!noColour || !*noColour);
}

// Where findings go, in the chosen format, up to the limit.
class Output {
public:
    explicit Output(const Options& o)
        : _format(o.format), _max(o.maxDiagnostics), _colour(o.format == Format::Default && colourWanted()) {
        if (_format == Format::Sarif) {
            _sarif = std::make_unique<kolt::tool::SarifLog>(std::cout, KOLT_VERSION, o.sourceRoot);
            if (_max == 0 || _max > kolt::tool::kSarifMaxResults) { // what code-scanning services take
                _max = kolt::tool::kSarifMaxResults;
                _why = "a SARIF run holds at most " + std::to_string(_max);
            }
        }
    }

    // The findings of one file.
    void add(std::vector<Finding> findings) {
        if (_format == Format::Legacy) { // the loader's bytes in the order it wrote them
            std::stable_sort(findings.begin(), findings.end(),
                             [](const Finding& a, const Finding& b) { return a.order < b.order; });
        }
        for (const Finding& f : findings) {
            add(f);
        }
    }
    void add(const Finding& f) {
        const bool warning = f.severity == kolt::tool::Severity::Warning;
        if ((_format == Format::Legacy && warning) || full()) {
            return;
        }
        switch (_format) {
        case Format::Legacy:
            std::cerr << (f.written.empty() ? plainLine(f) : f.written) << std::flush;
            break;
        case Format::Default:
        case Format::Gnu: {
            std::string lines = kolt::tool::gnuLine(f, _colour) + '\n';
            for (const kolt::tool::Related& r : f.related) {
                lines += kolt::tool::noteLine(r, _colour) + '\n';
            }
            std::cerr << lines; // one write: stderr is unbuffered
            break;
        }
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
            _sarif->finish(_suppressed, _why);
        }
        std::cout.flush();
        if (_suppressed > 0) {
            std::cerr << "kolt-settings: " << _suppressed << " more diagnostic"
                      << (_suppressed == 1 ? "" : "s") << " not shown (" << _why << ")\n";
        }
    }

private:
    bool full() {
        if (_max > 0 && _written >= _max) {
            ++_suppressed;
            return true;
        }
        ++_written;
        return false;
    }
    Format _format;
    long _max;
    std::string _why = "--max-diagnostics=" + std::to_string(_max);
    bool _colour;
    long _written = 0;
    long _suppressed = 0;
    std::unique_ptr<kolt::tool::SarifLog> _sarif;
};

int check(const Options& o) {
    Output output(o);
    std::unique_ptr<kolt::tool::Checker> checker;
    bool unchecked = false;
    bool errors = false;
    bool warnings = false;
    for (const std::string& file : o.files) {
        const std::string name = file != "-" ? file : o.stdinName.empty() ? "<stdin>" : o.stdinName;
        std::string bytes;
        Finding failure;
        if (!readInput(file, name, bytes, failure)) {
            output.add(failure);
            unchecked = true;
            continue;
        }
        if (!checker || o.each) {
            checker = std::make_unique<kolt::tool::Checker>();
        }
        std::vector<Finding> findings = checker->check(bytes, name);
        for (const Finding& f : findings) {
            (f.severity == kolt::tool::Severity::Warning ? warnings : errors) = true;
        }
        output.add(std::move(findings));
    }
    output.finish();
    if (unchecked) {
        return kFailure;
    }
    return errors || (warnings && o.warningsAsErrors) ? kDiagnostics : kClean;
}

// The problem that kept a file from loading, or false when it loaded.
bool loadFailure(const std::string& file, const koltLoadReport& report, Finding& f) {
    f = Finding();
    f.file = file;
    switch (report.outcome) {
    case koltLoadReport::NotAFile:
    case koltLoadReport::Unreadable:
        fileFailure(f, file, report.outcome);
        return true;
    case koltLoadReport::Malformed: {
        f.code = kolt::tool::kMalformed.code;
        f.message = "not well-formed XML: " + report.parseError;
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const kolt::tool::Source source(bytes);
        if (source.utf8() && report.parseErrorLine > 0) {
            const auto p =
                source.position(source.loaderOffset(report.parseErrorLine, report.parseErrorColumn));
            f.line = p.line;
            f.column = p.column;
        }
        return true;
    }
    case koltLoadReport::OutOfMemory:
        f.code = kolt::tool::kOutOfMemory.code;
        f.message = "out of memory";
        return true;
    default:
        return false;
    }
}

// Attached so that a load keeps line numbers for a parse error.
struct KeepPositions : koltDiagnosticObserver {
    void onDiagnostic(const koltDiagnostic&) override {}
};

// The XML dump, written only when a strict parser takes it.
int printXmlDump(const koltSettingManager& manager, const kolt::tool::Origins* origins) {
    std::ostringstream xml;
    const int replaced = kolt::tool::writeXmlDump(manager, xml, &std::cerr, origins);
    const std::string text = xml.str();
    if (const auto violations = kolt::tool::checkWellFormed(text, "dump.xml"); !violations.empty()) {
        const auto& v = violations.front();
        std::cerr << "kolt-settings: dump --xml: not written, it would not be well-formed XML (line "
                  << v.line << ", column " << v.column << ": " << kolt::tool::escapeForLine(v.description)
                  << ")\n";
        return kDiagnostics;
    }
    std::cout << text;
    return replaced > 0 ? kDiagnostics : kClean;
}

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
        kolt::tool::writeTextDump(manager, std::cout, shown);
        break;
    case DumpForm::Json:
        kolt::tool::writeJsonDump(manager, std::cout, shown);
        break;
    case DumpForm::Xml:
        if (printXmlDump(manager, shown) != kClean) {
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
        if (options.files.empty() && options.command == Command::Check) {
            return usageError("check needs a FILE (- for standard input)");
        }
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
