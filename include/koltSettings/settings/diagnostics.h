/// \file
/// Structured diagnostics: stable codes, diagnostic records and the load report; and
/// registrations: where each list, item, rule, report and run setting came from.
#ifndef KOLTSETTINGS_SETTINGS_DIAGNOSTICS_H
#define KOLTSETTINGS_SETTINGS_DIAGNOSTICS_H

#include <koltSettings/export.h>
#include <koltSettings/host/xml.h>

#include <cstddef>
#include <string>
#include <vector>

class TAIndex;

/// One code per kind of problem a load reports. Values are stable: a code is never
/// renumbered or reused, new kinds are added just before Count. docs/settings-guide.md
/// tells, for each, what it means and how to fix it; koltDiagnosticCodeName() gives its
/// "KSnnn" name and koltDiagnosticCodeSummary() a one-line summary.
enum class koltDiagnosticCode : int {
    /// KS001: a child of the root other than RunType, ReportSet and OptionLists; the load stops.
    UnknownTopLevelElement = 0,
    /// KS002: a RunType attribute without a name.
    RunTypeAttributeNameNull,
    /// KS003: a RunType attribute with an empty value.
    RunTypeAttributeValueNull,
    /// KS004: TypeOfRun other than "Check".
    TypeOfRunInvalid,
    /// KS005: ReportTestFw other than "true" or "false".
    ReportTestFwInvalid,
    /// KS006: an attribute of a name the element does not take.
    UnexpectedAttribute,
    /// KS007: a child element not allowed there.
    UnexpectedNode,
    /// KS008: an attribute on an element that takes none.
    NoAttributeAllowed,
    /// KS009: an attribute without a name.
    AttributeNameNull,
    /// KS010: an attribute with an empty value.
    AttributeValueNull,
    /// KS011: a Report's Activate other than "true" or "false".
    ReportActivateInvalid,
    /// KS012: a Report without a MessageName.
    ReportWithoutMessageName,
    /// KS013: a string item with an attribute or a child element.
    ItemNotFinal,
    /// KS014: a CallWithSpecificArg without a MethodOrFunctionSign.
    CallWithSpecificArgNoSignature,
    /// KS015: a CallWithSpecificArg whose SpecificArg is missing or negative.
    CallWithSpecificArgBadArg,
    /// KS016: a Call without a MethodOrFunctionSign.
    CallNoSignature,
    /// KS017: a CallDeclaration without a FrameworkName.
    CallDeclarationNoFramework,
    /// KS018: a CallDeclaration without a MethodOrFunctionSign.
    CallDeclarationNoSignature,
    /// KS019: a class detection without a ClassName.
    ClassDetectionNoName,
    /// KS020: an interface detection without a ClassName.
    InterfaceDetectionNoName,
    /// KS021: a method detection without a MethodName.
    MethodDetectionNoName,
    /// KS022: a word detection without a Word.
    WordDetectionNoName,
    /// KS023: a class detection without a prohibited use; the rule is dropped.
    ClassDetectionNoUse,
    /// KS024: an interface detection without a prohibited use; the rule is dropped.
    InterfaceDetectionNoUse,
    /// KS025: a prohibited use that classes do not have.
    ClassUseRefused,
    /// KS026: a prohibited use that interfaces do not have.
    InterfaceUseRefused,
    /// KS027: a prohibited use on a method (methods have none).
    MethodUseRefused,
    /// KS028: a prohibited use on a word (words have none).
    WordUseRefused,
    /// KS029: a use's prohibited value other than "true" or "false".
    ProhibitedValueInvalid,
    /// KS030: a use element without a use name.
    UseWithoutName,
    /// The number of codes; not a code.
    Count
};

/// The number of diagnostic codes these headers know. A library built later may know
/// more: read koltLoadReport::Counts::size() for the number it counts.
inline constexpr int koltDiagnosticCodeCount = static_cast<int>(koltDiagnosticCode::Count);

/// The name of a code, "KS001" to "KS030"; "" outside the range. Static storage, never
/// null. Safe from any thread.
KOLT_API const char* koltDiagnosticCodeName(koltDiagnosticCode code) noexcept;
/// A one-line summary of the kind of problem ("element not allowed here"); "" outside
/// the range. Static storage, never null. Safe from any thread.
KOLT_API const char* koltDiagnosticCodeSummary(koltDiagnosticCode code) noexcept;

/// One diagnostic, as handed to an observer. Texts and the node are valid during the call
/// only. The position is that of the element concerned (for a bad attribute, of the
/// element that carries it): 1-based line and 1-based byte column of its name, both 0 when
/// unknown (a document loaded with loadFromXmlRoot).
///
/// The library creates diagnostics and hands them out by const reference; fields added
/// later come at the end (docs/abi.md).
struct koltDiagnostic {
    /// The kind of problem.
    koltDiagnosticCode code;
    /// Its name, as koltDiagnosticCodeName() gives it.
    const char* codeName; // "KS007"
    /// The error line(s) exactly as written on rzStderr, without the last line end.
    const char* message; // the error line(s) exactly as written on rzStderr
    /// The path, or document name, given to the load; "" when none was given.
    const char* file; // path (or document name) given to the load
    /// 1-based line of the element's name; 0 when unknown.
    int line;
    /// 1-based byte column of the element's name; 0 when unknown.
    int column;
    /// Indexed path of the element, each step counting earlier siblings of its name.
    const char* elementPath; // indexed path, e.g. /Settings/OptionLists[1]/Various_OptionLists[1]/Call[17]
    /// The path line as written on rzStderr, without its line end.
    const char* printedPath; // the path line as written on rzStderr, without its line end
    /// The element concerned; valid during the call only.
    GAXXMLNode node; // the element concerned
    /// What the diagnostic is about, as read (entities not decoded), never null: the value
    /// for KS004, KS005, KS011 and KS023 to KS029 (the rule's name for KS023 and KS024, the
    /// use for KS025 to KS028); the attribute's name for KS002, KS003, KS006 and KS008 to
    /// KS010 ("" when it has none); the element's name for the others.
    const char* subject;
    /// For a diagnostic about an attribute (KS002 to KS006, KS008 to KS011, KS029), the
    /// 1-based line of that attribute's name; 0 for other diagnostics and when unknown.
    int attributeLine;
    /// The 1-based byte column of that attribute's name, as attributeLine.
    int attributeColumn;
};

/// Receives diagnostics as they are written (koltSettingManager::setDiagnosticObserver()).
/// The observer is called on the loading thread, by the manager it is attached to only.
class KOLT_API koltDiagnosticObserver {
public:
    /// Destroys the observer; detach it from its manager first.
    virtual ~koltDiagnosticObserver();
    /// Called once per diagnostic, right after it was written on rzStderr. The record and
    /// every text it points to are valid during the call only: copy what must be kept.
    /// An exception thrown here leaves the load through the loader's caller.
    virtual void onDiagnostic(const koltDiagnostic& diagnostic) = 0;
};

/// What a registration registered (koltRegistration::kind).
enum class koltRegistrationKind : int {
    /// A list, registered empty by the first element of its name.
    List = 0,
    /// A string appended to a string list.
    String,
    /// A record appended to a call list: a CallWithSpecificArg, Call or CallDeclaration.
    Record,
    /// A detection rule appended to a detection list.
    Rule,
    /// A report switched on.
    Report,
    /// A run setting taken: TypeOfRun="Check" or ReportTestFw="true".
    RunSetting
};

/// One registration, as handed to a koltRegistrationObserver: what was registered and the
/// element it came from. Texts and the node are valid during the call only. The position
/// is that of the element's name, as koltDiagnostic gives it (0 when unknown).
///
/// The library creates registrations and hands them out by const reference; fields added
/// later come at the end (docs/abi.md).
struct koltRegistration {
    /// What was registered.
    koltRegistrationKind kind;
    /// The registry it went into: one of the manager's stringLists() to
    /// entityDetectionLists() for a list or an item, activeReports() for a report; null
    /// for a run setting.
    const TAIndex* registry;
    /// The list's name (of the list an item went into), the report's name, or the run
    /// setting's attribute name ("TypeOfRun", "ReportTestFw"), as registered.
    const char* name;
    /// Where it stands: an item's 1-based position in its list, as the list's operator[]
    /// counts; a list's or a report's 0-based position in its registry, as
    /// TAIndex::GetName() counts; 0 for a run setting.
    int position;
    /// The record (CallWithSpecificArg*, Call*, CallDeclaration*), the rule
    /// (koltEntityDetection*) or the list (the registry's value) registered, owned by the
    /// manager; null for a string, a report and a run setting.
    const void* object;
    /// The element it came from (for a run setting, RunType); valid during the call only.
    GAXXMLNode node;
    /// The path, or document name, given to the load; "" when none was given.
    const char* file;
    /// 1-based line of the element's name; 0 when unknown.
    int line;
    /// 1-based byte column of the element's name; 0 when unknown.
    int column;
};

/// Receives every registration a load makes (koltSettingManager::setRegistrationObserver()),
/// right after it was made, in document order. Called on the loading thread, by the
/// manager it is attached to only.
class KOLT_API koltRegistrationObserver {
public:
    /// Destroys the observer; detach it from its manager first.
    virtual ~koltRegistrationObserver();
    /// Called once per registration. The record and every text it points to are valid
    /// during the call only: copy what must be kept. The loading steps are noexcept: an
    /// exception other than std::bad_alloc ends the program, std::bad_alloc ends the load
    /// as memory running out does (what was registered stays).
    virtual void onRegistration(const koltRegistration& registration) = 0;
};

/// What one load found (koltSettingManager::lastLoadReport()).
///
/// Its layout stays the same whatever the number of diagnostic codes: the counts live in
/// storage of their own. The library creates reports and hands them out by const reference;
/// fields added later come at the end, so a program built against earlier headers reads the
/// fields it knows where they always were. Copies are independent of the manager.
struct koltLoadReport {
    /// How the load ended.
    enum Outcome {
        NotLoaded,  ///< No load yet.
        Loaded,     ///< The document was walked to its end (diagnostics may have been written).
        NotAFile,   ///< The path names no regular file (result 1).
        Unreadable, ///< The file could not be read (treated as a document without elements).
        Malformed,  ///< The document is not well-formed XML (treated as one without elements).
        Stopped,    ///< An unknown top-level element ended the load (result 1).
        OutOfMemory ///< Memory ran out; what was read before stays registered (result 1).
    };

    /// Diagnostics per code. Reading a code the library does not count (a code of later
    /// headers, or any value outside the range) gives 0.
    class Counts {
    public:
        /// No code counted: every count reads 0.
        Counts() noexcept = default;
        /// Counts for codes 0 to `codes` - 1, all 0; none when `codes` is not positive.
        explicit Counts(int codes) : _counts(codes > 0 ? static_cast<std::size_t>(codes) : 0) {}
        /// The count of diagnostics with this code; 0 outside the counted codes.
        int operator[](koltDiagnosticCode code) const noexcept { return (*this)[static_cast<int>(code)]; }
        /// The count of the code of this value; 0 outside 0 to size() - 1.
        int operator[](int code) const noexcept {
            return code >= 0 && code < size() ? _counts[static_cast<std::size_t>(code)] : 0;
        }
        /// The number of codes counted (koltDiagnosticCodeCount of the library that loaded).
        int size() const noexcept { return static_cast<int>(_counts.size()); }
        /// True when both count the same codes with the same counts.
        friend bool operator==(const Counts& a, const Counts& b) noexcept { return a._counts == b._counts; }
        /// True when the counts differ.
        friend bool operator!=(const Counts& a, const Counts& b) noexcept { return a._counts != b._counts; }
        /// Adds one to the count of `code`; codes outside the counted ones are ignored.
        void add(koltDiagnosticCode code) noexcept {
            const auto i = static_cast<std::size_t>(code);
            if (i < _counts.size()) {
                ++_counts[i];
            }
        }

    private:
        std::vector<int> _counts;
    };

    /// How the load ended.
    Outcome outcome = NotLoaded;
    /// Diagnostics written during the load.
    int total = 0;
    /// Diagnostics written during the load, per code.
    Counts counts;
    /// The parser's description of the failure when the outcome is Malformed, else "".
    std::string parseError;
    /// 1-based line where parsing failed when the outcome is Malformed, else 0.
    int parseErrorLine = 0;
    /// 1-based byte column where parsing failed when the outcome is Malformed, else 0.
    int parseErrorColumn = 0;
};

#endif
