// Structured diagnostics: stable codes, diagnostic records and the load report.
#ifndef KOLTSETTINGS_SETTINGS_DIAGNOSTICS_H
#define KOLTSETTINGS_SETTINGS_DIAGNOSTICS_H

#include <koltSettings/export.h>
#include <koltSettings/host/xml.h>

#include <array>
#include <string>

// One code per kind of problem. Values are stable: a code is never renumbered or
// reused, new kinds are added just before Count. docs/settings-guide.md tells, for each,
// what it means and how to fix it.
enum class koltDiagnosticCode : int {
    UnknownTopLevelElement = 0,     // KS001 a root child other than RunType, ReportSet, OptionLists
    RunTypeAttributeNameNull,       // KS002
    RunTypeAttributeValueNull,      // KS003
    TypeOfRunInvalid,               // KS004 TypeOfRun other than "Check"
    ReportTestFwInvalid,            // KS005 ReportTestFw other than "true"/"false"
    UnexpectedAttribute,            // KS006 an attribute of an unknown name
    UnexpectedNode,                 // KS007 a child element not allowed there
    NoAttributeAllowed,             // KS008 an attribute on an element that takes none
    AttributeNameNull,              // KS009
    AttributeValueNull,             // KS010 an empty attribute value
    ReportActivateInvalid,          // KS011 Activate other than "true"/"false"
    ReportWithoutMessageName,       // KS012
    ItemNotFinal,                   // KS013 a string item with an attribute or a child element
    CallWithSpecificArgNoSignature, // KS014
    CallWithSpecificArgBadArg,      // KS015 SpecificArg missing or negative
    CallNoSignature,                // KS016
    CallDeclarationNoFramework,     // KS017
    CallDeclarationNoSignature,     // KS018
    ClassDetectionNoName,           // KS019
    InterfaceDetectionNoName,       // KS020
    MethodDetectionNoName,          // KS021
    WordDetectionNoName,            // KS022
    ClassDetectionNoUse,            // KS023 no prohibited use: the rule is dropped
    InterfaceDetectionNoUse,        // KS024
    ClassUseRefused,                // KS025 a prohibited use that classes do not have
    InterfaceUseRefused,            // KS026
    MethodUseRefused,               // KS027
    WordUseRefused,                 // KS028
    ProhibitedValueInvalid,         // KS029 prohibited other than "true"/"false"
    UseWithoutName,                 // KS030 a use element without a use name
    Count
};

inline constexpr int koltDiagnosticCodeCount = static_cast<int>(koltDiagnosticCode::Count);

// "KS001" ... for a code; "" outside the range.
KOLT_API const char* koltDiagnosticCodeName(koltDiagnosticCode code) noexcept;
// A one-line summary of the kind of problem ("element not allowed here"); "" outside
// the range.
KOLT_API const char* koltDiagnosticCodeSummary(koltDiagnosticCode code) noexcept;

// One diagnostic, as handed to an observer. Texts and the node are valid during the call
// only. The position is that of the element concerned (for a bad attribute, of the
// element that carries it): 1-based line and 1-based byte column of its name, both 0 when
// unknown (a document loaded with loadFromXmlRoot). Fields are only ever added at the end.
struct koltDiagnostic {
    koltDiagnosticCode code;
    const char* codeName; // "KS007"
    const char* message;  // the error line(s) exactly as written on rzStderr
    const char* file;     // path (or document name) given to the load
    int line;
    int column;
    const char* elementPath; // indexed path, e.g. /Settings/OptionLists[1]/Various_OptionLists[1]/Call[17]
    const char* printedPath; // the path line as written on rzStderr, without its line end
    GAXXMLNode node;         // the element concerned
    // What the diagnostic is about, as read (entities not decoded), never null: the value
    // for KS004, KS005, KS011 and KS023 to KS029 (the rule's name for KS023 and KS024, the
    // use for KS025 to KS028); the attribute's name for KS002, KS003, KS006 and KS008 to
    // KS010 ("" when it has none); the element's name for the others.
    const char* subject;
    // For a diagnostic about an attribute (KS002 to KS006, KS008 to KS011, KS029), the
    // position of that attribute's name, as line and column are given; both 0 for other
    // diagnostics and when unknown.
    int attributeLine;
    int attributeColumn;
};

// Receives diagnostics as they are written.
class KOLT_API koltDiagnosticObserver {
public:
    virtual ~koltDiagnosticObserver();
    virtual void onDiagnostic(const koltDiagnostic& diagnostic) = 0;
};

// What one load found.
struct koltLoadReport {
    enum Outcome {
        NotLoaded,  // no load yet
        Loaded,     // the document was walked to its end
        NotAFile,   // the path names no regular file (result 1)
        Unreadable, // the file could not be read (treated as a document without elements)
        Malformed,  // the document is not well-formed XML (treated as one without elements)
        Stopped,    // an unknown top-level element ended the load (result 1)
        OutOfMemory // memory ran out; what was read before stays registered (result 1)
    };
    Outcome outcome = NotLoaded;
    int total = 0;                                     // diagnostics written
    std::array<int, koltDiagnosticCodeCount> counts{}; // per code
    std::string parseError;                            // parser's description when Malformed
    // Where parsing failed, 1-based (column in bytes); known when an observer was attached
    // during the load (positions cost a line index), else 0.
    int parseErrorLine = 0;
    int parseErrorColumn = 0;
};

#endif
