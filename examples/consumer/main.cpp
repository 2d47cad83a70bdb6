// How a checker uses libkoltSettings: load the settings file once, then ask by name for
// the run settings, the reports, and the lists that drive each analysis.
#include <koltSettings/koltSettings.h>

#include <iostream>

namespace {

const char* orNone(const char* text) {
    return text ? text : "(none)";
}

// Frameworks whose sources the checker skips.
void printExcludedFrameworks(const koltSettingManager& settings) {
    const GAXListValGAXString* frameworks = settings.getGAXListOfGAXString("ExcludeFramework");
    if (!frameworks) {
        std::cout << "no framework excluded\n";
        return;
    }
    for (int i = 1; i <= frameworks->Size(); ++i) {
        std::cout << "excluded framework: " << (*frameworks)[i] << '\n';
    }
}

// Calls reported by the ProhibitedCall analysis, when that report is on.
void printProhibitedCalls(const koltSettingManager& settings) {
    if (!settings.report("ProhibitedCall")) {
        std::cout << "ProhibitedCall is off\n";
        return;
    }
    const GAXListPtrCall* calls = settings.getGAXListOfCall("ProhibitedCalls");
    for (int i = 1; calls && i <= calls->Size(); ++i) {
        const Call* call = (*calls)[i];
        std::cout << "prohibited call: " << orNone(call->className) << " " << call->methodOrFunctionSign
                  << '\n';
    }
}

// Allocation functions, with the argument that carries the size.
void printSuspiciousAllocations(const koltSettingManager& settings) {
    const GAXListPtrCallWithSpecificArg* methods =
        settings.getGAXListOfCallWithSpecificArg("SuspiciousAlloc_Methods");
    for (int i = 1; methods && i <= methods->Size(); ++i) {
        const CallWithSpecificArg* method = (*methods)[i];
        std::cout << "allocation: " << method->methodOrFunctionSign << ", argument " << method->specificArg
                  << '\n';
    }
}

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
    koltSettingManager settings;
    if (settings.loadFromXmlFile(argv[1]) != 0) {
        std::cerr << "settings-consumer: cannot load " << argv[1] << '\n';
        return 1;
    }

    std::cout << "run type: " << (settings._typeOfRun == 0 ? "Check" : "not set") << '\n';
    printExcludedFrameworks(settings);
    printProhibitedCalls(settings);
    printSuspiciousAllocations(settings);
    printDetections(settings, "EntityDetection_Classes");
    printDetections(settings, "EntityDetection_Methods");
    std::cout << "unknown list: " << (settings.getGAXListOfCall("NoSuchList") ? "found" : "null") << '\n';

    // The library's own display of a rule, on its standard output stream.
    const GAXListPtrkoltEntityDetection* classes =
        settings.getGAXListOfEntityDetection("EntityDetection_Classes");
    if (classes && classes->Size() > 0) {
        (*classes)[1]->display();
    }
    return 0;
}
