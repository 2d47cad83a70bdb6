// Diagnostic texts, one row per code, in code order.
#include "messages.h"

#include <array>
#include <cstring>
#include <vector>

namespace kolt::detail {

namespace {

// What comes between the opening and the text.
constexpr char kInLoad[] = " in createFromXmlFile";
constexpr char kInRunType[] = " in parseRunType, ";
constexpr char kLead[] = ", ";

constexpr std::array<Message, koltDiagnosticCodeCount> kMessages{{
    {"KS001", kInLoad, "{}", true, "element not allowed at the top level; the load stops there"},
    {"KS002", kInRunType, "attribute Name is null", true, "RunType attribute without a name"},
    {"KS003", kInRunType, "attribute Value is null", true, "RunType attribute without a value"},
    {"KS004", kInRunType, "attribute Value for \"TypeOfRun\" is not valid", true,
     "TypeOfRun other than \"Check\""},
    {"KS005", kLead,
     "attribute Value for \"ReportTestFw\" should be either \"true\" or \"false\" (not \"{}\")", true,
     "ReportTestFw other than \"true\" or \"false\""},
    {"KS006", kLead, "unexpected attribute ", true, "attribute not allowed on this element"},
    {"KS007", kLead, "unexpected node", true, "element not allowed here"},
    {"KS008", kLead, "no attribute should be defined", true, "attribute on an element that takes none"},
    {"KS009", kLead, "attribute Name is null", true, "attribute without a name"},
    {"KS010", kLead, "attribute Value is null", true, "attribute with an empty value"},
    {"KS011", kLead, "attribute Value for \"Report \" should be either \"true\" or \"false\" (not \"{}\")",
     true, "Activate other than \"true\" or \"false\""},
    {"KS012", kLead, "no MessageName defined for report", true, "Report without a MessageName"},
    {"KS013", kLead, "neither attribute nor son node should be defined", true,
     "list item with an attribute or a child element"},
    {"KS014", kLead, "CallWithSpecificArg -> no MethodOrFunctionSign is defined or it is null", true,
     "CallWithSpecificArg without a MethodOrFunctionSign"},
    {"KS015", kLead, "CallWithSpecificArg -> no SpecificArg is defined or SpecificArg is negative", true,
     "CallWithSpecificArg without a non-negative SpecificArg"},
    {"KS016", kLead, "Call -> no MethodOrFunctionSign is defined or it is null", true,
     "Call without a MethodOrFunctionSign"},
    {"KS017", kLead, "CallDeclaration -> no FrameworkName is defined or it is null", true,
     "CallDeclaration without a FrameworkName"},
    {"KS018", kLead, "CallDeclaration -> no MethodOrFunctionSign is defined or it is null", true,
     "CallDeclaration without a MethodOrFunctionSign"},
    {"KS019", kLead, "Class Detection -> no ClassName is defined or it is null", true,
     "ClassDetection without a ClassName"},
    {"KS020", kLead, "Interface Detection -> no ClassName is defined or it is null", true,
     "InterfaceDetection without a ClassName"},
    {"KS021", kLead, "Method Detection -> no MethodName is defined or it is null", true,
     "MethodDetection without a MethodOrFunctionSign"},
    {"KS022", kLead, "Word Detection -> no Word is defined or it is null", true,
     "WordDetection without a WordName"},
    // The two rule-dropping messages span two lines and have no dtd line.
    {"KS023", kLead, "Class Detection\n\t-> no valid ClassUse is defined for class {}", false,
     "ClassDetection without a prohibited use; the rule is dropped"},
    {"KS024", kLead, "Interface Detection\n\t-> no valid InterfaceUse is defined for interface {}", false,
     "InterfaceDetection without a prohibited use; the rule is dropped"},
    {"KS025", kLead, "\"{}\" is not a valid class use", true, "prohibited use that classes do not have"},
    {"KS026", kLead, "\"{}\" is not a valid interface use", true,
     "prohibited use that interfaces do not have"},
    {"KS027", kLead, "\"{}\" is not a valid method use", true,
     "prohibited use on a method rule (methods have no uses)"},
    {"KS028", kLead, "\"{}\" is not a valid word use", true,
     "prohibited use on a word rule (words have no uses)"},
    {"KS029", kLead, "attribute Value for \"{}Use\" should be either \"true\" or \"false\" (not \"{}\")",
     true, "prohibited other than \"true\" or \"false\""},
    // Written for every kind of use element alike.
    {"KS030", kLead, "no use defined for classUse.", true, "use element without a use name"},
}};

// Row i holds the code "KS" followed by i + 1 in three digits: codes are published, so a
// row inserted in the middle (which would renumber the rows after it) fails the build.
constexpr bool rowsAreNumberedInOrder() {
    for (std::size_t i = 0; i < kMessages.size(); ++i) {
        const char* name = kMessages[i].codeName;
        const std::size_t number = i + 1;
        if (!name || name[0] != 'K' || name[1] != 'S' || name[2] != char('0' + number / 100 % 10) ||
            name[3] != char('0' + number / 10 % 10) || name[4] != char('0' + number % 10) ||
            name[5] != '\0' || !kMessages[i].lead || !kMessages[i].text || !kMessages[i].summary) {
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
    out.append(kOpening);
    out.append(message(code).lead);
    appendMessageText(out, code, args);
}

void appendMessageText(std::string& out, Code code, std::initializer_list<const char*> args) {
    const char* format = message(code).text;
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

koltRegistrationObserver::~koltRegistrationObserver() = default;
