// How a checker uses libkoltSettings: load the settings file once, then ask by name for
// the run settings, the reports, and the lists that drive each analysis. The modern face
// (namespace kolt) loads and reads most lists; the legacy API, which the checker was
// written against, reads the same manager for the detection rules.
#include <koltSettings/koltSettings.h>

#include <iostream>
#include <string_view>

namespace {

const char* orNone(const char* text) {
    return text ? text : "(none)";
}

// Why a load failed, for the user.
void explainFailure(const char* path, const kolt::LoadResult& result) {
    std::cerr << "settings-consumer: cannot load " << path << ": ";
    switch (result.outcome()) {
    case koltLoadReport::NotAFile:
        std::cerr << "not a file\n";
        break;
    case koltLoadReport::Malformed:
        std::cerr << "not well-formed XML (line " << result.parseErrorLine() << ", column "
                  << result.parseErrorColumn() << ": " << result.parseError() << ")\n";
        break;
    case koltLoadReport::Stopped:
        std::cerr << "unknown top-level element\n";
        break;
    default:
        std::cerr << "unreadable or out of memory\n";
        break;
    }
}

// --- The modern face: std::string_view names, range-for, const views. ---

// Frameworks whose sources the checker skips.
void printExcludedFrameworks(const kolt::SettingsView& settings) {
    const kolt::StringList frameworks = settings.strings("ExcludeFramework");
    if (frameworks.empty()) {
        std::cout << "no framework excluded\n";
    }
    for (std::string_view framework : frameworks) {
        std::cout << "excluded framework: " << framework << '\n';
    }
}

// Calls reported by the ProhibitedCall analysis, when that report is on.
void printProhibitedCalls(const kolt::SettingsView& settings) {
    if (!settings.reportActive("ProhibitedCall")) {
        std::cout << "ProhibitedCall is off\n";
        return;
    }
    for (const Call& call : settings.calls("ProhibitedCalls")) {
        std::cout << "prohibited call: " << orNone(call.className) << " " << call.methodOrFunctionSign
                  << '\n';
    }
}

// Allocation functions, with the argument that carries the size.
void printSuspiciousAllocations(const kolt::SettingsView& settings) {
    for (const CallWithSpecificArg& method : settings.callsWithSpecificArg("SuspiciousAlloc_Methods")) {
        std::cout << "allocation: " << method.methodOrFunctionSign << ", argument " << method.specificArg
                  << '\n';
    }
}

// --- The legacy API: const char* names, 1-based positions, null for unknown names. ---

// Entity-detection rules: the entity, its replacement, and where or how it is banned.
void printDetections(const koltSettingManager& settings, const char* listName) {
    const GAXListPtrkoltEntityDetection* rules = settings.getGAXListOfEntityDetection(listName);
    for (int i = 1; rules && i <= rules->Size(); ++i) {
        const koltEntityDetection* rule = (*rules)[i];
        std::cout << rule->getDetectionType() << " " << rule->getName() << " -> "
                  << orNone(rule->getReplacementName());
        if (auto* method = dynamic_cast<const koltMethodDetection*>(rule)) {
            if (method->isAFunction()) {
                std::cout << ", free function";
            } else if (method->isAAllClassMethodDetection()) {
                std::cout << ", in every class";
            } else {
                std::cout << ", in class " << method->getClassName();
            }
        } else {
            std::cout << ", new prohibited: " << (rule->isUseToDetect("New") == 1 ? "yes" : "no");
        }
        std::cout << '\n';
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: settings-consumer SETTINGS.xml\n";
        return 2;
    }
    // The headers' version, and the version of the library the program runs with.
    std::cout << "koltSettings " << koltVersion() << " (built with " << KOLT_VERSION_STRING << ")\n";

    kolt::Settings settings;
    if (const kolt::LoadResult result = settings.load(argv[1]); !result) {
        explainFailure(argv[1], result);
        return 1;
    }

    std::cout << "run type: " << (settings.checkRun() ? "Check" : "not set") << '\n';
    printExcludedFrameworks(settings);
    printProhibitedCalls(settings);
    printSuspiciousAllocations(settings);

    const koltSettingManager& manager = settings.manager();
    printDetections(manager, "EntityDetection_Classes");
    printDetections(manager, "EntityDetection_Methods");
    std::cout << "unknown list: " << (manager.getGAXListOfCall("NoSuchList") ? "found" : "null") << '\n';

    // The library's own display of a rule, on its standard output stream.
    const GAXListPtrkoltEntityDetection* classes =
        manager.getGAXListOfEntityDetection("EntityDetection_Classes");
    if (classes && classes->Size() > 0) {
        (*classes)[1]->display();
    }
    return 0;
}
