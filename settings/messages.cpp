// Diagnostic texts, one row per code, in code order.
#include "messages.h"

#include <array>
#include <cstring>
#include <vector>

namespace kolt::detail {

namespace {

#define KOLT_ERR "--> Error while parsing SettingFile"

constexpr std::array<Message, koltDiagnosticCodeCount> kMessages{{
    {"KS001", KOLT_ERR " in createFromXmlFile{}", true},
    {"KS002", KOLT_ERR " in parseRunType, attribute Name is null", true},
    {"KS003", KOLT_ERR " in parseRunType, attribute Value is null", true},
    {"KS004", KOLT_ERR " in parseRunType, attribute Value for \"TypeOfRun\" is not valid", true},
    {"KS005",
     KOLT_ERR ", attribute Value for \"ReportTestFw\" should be either \"true\" or \"false\" (not \"{}\")",
     true},
    {"KS006", KOLT_ERR ", unexpected attribute ", true},
    {"KS007", KOLT_ERR ", unexpected node", true},
    {"KS008", KOLT_ERR ", no attribute should be defined", true},
    {"KS009", KOLT_ERR ", attribute Name is null", true},
    {"KS010", KOLT_ERR ", attribute Value is null", true},
    {"KS011",
     KOLT_ERR ", attribute Value for \"Report \" should be either \"true\" or \"false\" (not \"{}\")", true},
    {"KS012", KOLT_ERR ", no MessageName defined for report", true},
    {"KS013", KOLT_ERR ", neither attribute nor son node should be defined", true},
    {"KS014", KOLT_ERR ", CallWithSpecificArg -> no MethodOrFunctionSign is defined or it is null", true},
    {"KS015", KOLT_ERR ", CallWithSpecificArg -> no SpecificArg is defined or SpecificArg is negative", true},
    {"KS016", KOLT_ERR ", Call -> no MethodOrFunctionSign is defined or it is null", true},
    {"KS017", KOLT_ERR ", CallDeclaration -> no FrameworkName is defined or it is null", true},
    {"KS018", KOLT_ERR ", CallDeclaration -> no MethodOrFunctionSign is defined or it is null", true},
    {"KS019", KOLT_ERR ", Class Detection -> no ClassName is defined or it is null", true},
    {"KS020", KOLT_ERR ", Interface Detection -> no ClassName is defined or it is null", true},
    {"KS021", KOLT_ERR ", Method Detection -> no MethodName is defined or it is null", true},
    {"KS022", KOLT_ERR ", Word Detection -> no Word is defined or it is null", true},
    // The two rule-dropping messages span two lines and have no dtd line.
    {"KS023", KOLT_ERR ", Class Detection\n\t-> no valid ClassUse is defined for class {}", false},
    {"KS024", KOLT_ERR ", Interface Detection\n\t-> no valid InterfaceUse is defined for interface {}",
     false},
    {"KS025", KOLT_ERR ", \"{}\" is not a valid class use", true},
    {"KS026", KOLT_ERR ", \"{}\" is not a valid interface use", true},
    {"KS027", KOLT_ERR ", \"{}\" is not a valid method use", true},
    {"KS028", KOLT_ERR ", \"{}\" is not a valid word use", true},
    {"KS029", KOLT_ERR ", attribute Value for \"{}Use\" should be either \"true\" or \"false\" (not \"{}\")",
     true},
    // Written for every kind of use element alike.
    {"KS030", KOLT_ERR ", no use defined for classUse.", true},
}};

#undef KOLT_ERR

} // namespace

const Message& message(Code code) noexcept {
    return kMessages[static_cast<std::size_t>(code)];
}

void appendMessage(std::string& out, Code code, std::initializer_list<const char*> args) {
    const char* format = message(code).format;
    auto arg = args.begin();
    while (const char* hole = std::strstr(format, "{}")) {
        out.append(format, static_cast<std::size_t>(hole - format));
        if (arg != args.end()) {
            out.append(*arg ? *arg : "(null)");
            ++arg;
        }
        format = hole + 2;
    }
    out.append(format);
}

void appendPath(std::string& out, GAXXMLNode node) {
    // Settings documents are shallow, but a path is built without recursion all the same.
    std::vector<const char*> names;
    for (GAXXMLNode n = node; !n.IsNull(); n = n.GetFather()) {
        names.push_back(n.GetTag());
    }
    if (names.empty()) {
        names.push_back(nullptr); // a null handle prints as a null name
    }
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        out.append(" / ");
        out.append(*it ? *it : "(null)");
    }
}

} // namespace kolt::detail

const char* koltDiagnosticCodeName(koltDiagnosticCode code) noexcept {
    const int i = static_cast<int>(code);
    return i >= 0 && i < koltDiagnosticCodeCount ? kolt::detail::message(code).codeName : "";
}

koltDiagnosticObserver::~koltDiagnosticObserver() = default;
