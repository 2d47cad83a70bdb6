// Diagnostic texts, one row per code, in code order.
#include "messages.h"

#include <array>
#include <cstring>
#include <vector>

namespace kolt::detail {

namespace {

#define KOLT_ERR "--> Error while parsing SettingFile"

constexpr std::array<Message, koltDiagnosticCodeCount> kMessages{{
    {"KS001", KOLT_ERR " in createFromXmlFile{}", true,
     "element not allowed at the top level; the load stops there"},
    {"KS002", KOLT_ERR " in parseRunType, attribute Name is null", true, "RunType attribute without a name"},
    {"KS003", KOLT_ERR " in parseRunType, attribute Value is null", true,
     "RunType attribute without a value"},
    {"KS004", KOLT_ERR " in parseRunType, attribute Value for \"TypeOfRun\" is not valid", true,
     "TypeOfRun other than \"Check\""},
    {"KS005",
     KOLT_ERR ", attribute Value for \"ReportTestFw\" should be either \"true\" or \"false\" (not \"{}\")",
     true, "ReportTestFw other than \"true\" or \"false\""},
    {"KS006", KOLT_ERR ", unexpected attribute ", true, "attribute not allowed on this element"},
    {"KS007", KOLT_ERR ", unexpected node", true, "element not allowed here"},
    {"KS008", KOLT_ERR ", no attribute should be defined", true, "attribute on an element that takes none"},
    {"KS009", KOLT_ERR ", attribute Name is null", true, "attribute without a name"},
    {"KS010", KOLT_ERR ", attribute Value is null", true, "attribute with an empty value"},
    {"KS011",
     KOLT_ERR ", attribute Value for \"Report \" should be either \"true\" or \"false\" (not \"{}\")", true,
     "Activate other than \"true\" or \"false\""},
    {"KS012", KOLT_ERR ", no MessageName defined for report", true, "Report without a MessageName"},
    {"KS013", KOLT_ERR ", neither attribute nor son node should be defined", true,
     "list item with an attribute or a child element"},
    {"KS014", KOLT_ERR ", CallWithSpecificArg -> no MethodOrFunctionSign is defined or it is null", true,
     "CallWithSpecificArg without a MethodOrFunctionSign"},
    {"KS015", KOLT_ERR ", CallWithSpecificArg -> no SpecificArg is defined or SpecificArg is negative", true,
     "CallWithSpecificArg without a non-negative SpecificArg"},
    {"KS016", KOLT_ERR ", Call -> no MethodOrFunctionSign is defined or it is null", true,
     "Call without a MethodOrFunctionSign"},
    {"KS017", KOLT_ERR ", CallDeclaration -> no FrameworkName is defined or it is null", true,
     "CallDeclaration without a FrameworkName"},
    {"KS018", KOLT_ERR ", CallDeclaration -> no MethodOrFunctionSign is defined or it is null", true,
     "CallDeclaration without a MethodOrFunctionSign"},
    {"KS019", KOLT_ERR ", Class Detection -> no ClassName is defined or it is null", true,
     "ClassDetection without a ClassName"},
    {"KS020", KOLT_ERR ", Interface Detection -> no ClassName is defined or it is null", true,
     "InterfaceDetection without a ClassName"},
    {"KS021", KOLT_ERR ", Method Detection -> no MethodName is defined or it is null", true,
     "MethodDetection without a MethodOrFunctionSign"},
    {"KS022", KOLT_ERR ", Word Detection -> no Word is defined or it is null", true,
     "WordDetection without a WordName"},
    // The two rule-dropping messages span two lines and have no dtd line.
    {"KS023", KOLT_ERR ", Class Detection\n\t-> no valid ClassUse is defined for class {}", false,
     "ClassDetection without a prohibited use; the rule is dropped"},
    {"KS024", KOLT_ERR ", Interface Detection\n\t-> no valid InterfaceUse is defined for interface {}", false,
     "InterfaceDetection without a prohibited use; the rule is dropped"},
    {"KS025", KOLT_ERR ", \"{}\" is not a valid class use", true, "prohibited use that classes do not have"},
    {"KS026", KOLT_ERR ", \"{}\" is not a valid interface use", true,
     "prohibited use that interfaces do not have"},
    {"KS027", KOLT_ERR ", \"{}\" is not a valid method use", true,
     "prohibited use on a method rule (methods have no uses)"},
    {"KS028", KOLT_ERR ", \"{}\" is not a valid word use", true,
     "prohibited use on a word rule (words have no uses)"},
    {"KS029", KOLT_ERR ", attribute Value for \"{}Use\" should be either \"true\" or \"false\" (not \"{}\")",
     true, "prohibited other than \"true\" or \"false\""},
    // Written for every kind of use element alike.
    {"KS030", KOLT_ERR ", no use defined for classUse.", true, "use element without a use name"},
}};

#undef KOLT_ERR

// Row i holds the code "KS" followed by i + 1 in three digits: codes are published, so a
// row inserted in the middle (which would renumber the rows after it) fails the build.
constexpr bool rowsAreNumberedInOrder() {
    for (std::size_t i = 0; i < kMessages.size(); ++i) {
        const char* name = kMessages[i].codeName;
        const std::size_t number = i + 1;
        if (!name || name[0] != 'K' || name[1] != 'S' || name[2] != char('0' + number / 100 % 10) ||
            name[3] != char('0' + number / 10 % 10) || name[4] != char('0' + number % 10) ||
            name[5] != '\0' || !kMessages[i].format || !kMessages[i].summary) {
            return false;
        }
    }
    return true;
}
static_assert(rowsAreNumberedInOrder(), "one row per code, in code order");

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

const char* koltDiagnosticCodeSummary(koltDiagnosticCode code) noexcept {
    const int i = static_cast<int>(code);
    return i >= 0 && i < koltDiagnosticCodeCount ? kolt::detail::message(code).summary : "";
}

koltDiagnosticObserver::~koltDiagnosticObserver() = default;
