/// \file
/// koltSettingManager: loads settings files and answers the checker's queries.
#ifndef KOLTSETTINGS_SETTINGS_MANAGER_H
#define KOLTSETTINGS_SETTINGS_MANAGER_H

#include <koltSettings/export.h>
#include <koltSettings/host/foundation.h>
#include <koltSettings/host/xml.h>
#include <koltSettings/rules/typedlists.h>
#include <koltSettings/settings/diagnostics.h>

#include <cstddef>
#include <memory>

/// Owns everything loading builds: six registries of named lists and reported names,
/// and the two run settings. Loads add to what earlier loads registered; nothing is
/// removed before destruction. Lists handed out stay owned by the manager, unchanged
/// until it dies: pointers to lists, records, rules and their texts stay valid that long,
/// across later loads. kolt::SettingsView reads a manager with std::string_view names,
/// range-for and const views; kolt::Settings owns one.
///
/// One manager must not be used from two threads at once; distinct managers may load
/// concurrently. Only the constructor throws (std::bad_alloc); no operation does.
class KOLT_API koltSettingManager : public TARefCounter {
public:
    /// An empty manager: no list, no report, run type 3, ReportTestFw 0.
    koltSettingManager();
    /// Releases every list, record and rule the manager built.
    ~koltSettingManager() override;

    /// Loads a settings file. 1 when the path is not a file, the document has a
    /// top-level element other than RunType, ReportSet and OptionLists, or memory ran out
    /// (lastLoadReport() tells which); else 0. What a load that ran out of memory
    /// registered stays, complete and owned by the manager; the rest of the file is lost.
    /// Problems are written on rzStderr and reading goes on. A file that cannot be read
    /// or is not well-formed XML loads as a document without elements and returns 0:
    /// lastLoadReport() tells (kolt::load() returns a result that cannot be mistaken).
    /// A null path is not a file.
    int loadFromXmlFile(const char* path) noexcept;
    /// Same walk over a document held in memory (`data` is copied and may be null when
    /// `size` is 0); `documentName` stands for the path in diagnostics (null: "").
    /// Returns 0 or 1 as loadFromXmlFile.
    int loadFromXmlMemory(const void* data, std::size_t size, const char* documentName) noexcept;
    /// Walks the children of a parsed document's root element (a null root: nothing);
    /// `documentName` is written after "--> Error while parsing SettingFile in
    /// createFromXmlFile". The parser must outlive the call only: everything kept is copied.
    /// Returns 0 or 1 as loadFromXmlFile.
    int loadFromXmlRoot(GAXXMLNode root, const char* documentName) noexcept;

    /// The string list registered under `name`; null for a null, empty or unknown name.
    /// The manager owns the list.
    [[nodiscard]] GAXListValGAXString* getGAXListOfGAXString(const char* name) const noexcept;
    /// The CallWithSpecificArg list registered under `name`; null for a null, empty or
    /// unknown name. The manager owns the list and its records.
    [[nodiscard]] GAXListPtrCallWithSpecificArg*
    getGAXListOfCallWithSpecificArg(const char* name) const noexcept;
    /// The Call list registered under `name`; null for a null, empty or unknown name.
    /// The manager owns the list and its records.
    [[nodiscard]] GAXListPtrCall* getGAXListOfCall(const char* name) const noexcept;
    /// The CallDeclaration list registered under `name`; null for a null, empty or
    /// unknown name. The manager owns the list and its records.
    [[nodiscard]] GAXListPtrCallDeclaration* getGAXListOfCallDeclaration(const char* name) const noexcept;
    /// The detection list registered under the name, whatever its kind; null for a null,
    /// empty or unknown name. The manager owns the list and its rules.
    [[nodiscard]] GAXListPtrkoltEntityDetection* getGAXListOfEntityDetection(const char* name) const noexcept;
    /// 1 when a Report of this name was activated, else 0 (also for a null or empty name).
    [[nodiscard]] int report(const char* name) const noexcept;

    /// \name Registries
    //@{
    /// The registries themselves, for tools that list everything that was loaded, in
    /// registration order. Values are GAXListValGAXString*, GAXListPtrCallWithSpecificArg*,
    /// GAXListPtrCall*, GAXListPtrCallDeclaration* and a typed detection list; reports have
    /// null values. The manager owns them all.
    const TAIndex& stringLists() const noexcept { return _stringLists; }
    const TAIndex& callWithSpecificArgLists() const noexcept { return _callWithSpecificArgLists; }
    const TAIndex& callLists() const noexcept { return _callLists; }
    const TAIndex& callDeclarationLists() const noexcept { return _callDeclarationLists; }
    const TAIndex& entityDetectionLists() const noexcept { return _entityDetectionLists; }
    const TAIndex& activeReports() const noexcept { return _activeReports; }
    //@}

    /// Structured diagnostics: every diagnostic written on rzStderr is also handed, from
    /// the same place, to the observer (null: none). The observer must outlive its use;
    /// the manager does not own it. It is called on the loading thread.
    void setDiagnosticObserver(koltDiagnosticObserver* observer) noexcept;
    /// Origins: every list, item, rule, report and run setting a load registers is also
    /// handed to the observer (null: none), with the element it came from. The observer
    /// must outlive its use; the manager does not own it. Without one, a load pays nothing
    /// for it: positions are counted only when an observer of either kind is attached.
    void setRegistrationObserver(koltRegistrationObserver* observer) noexcept;
    /// What the last load found (outcome NotLoaded before any load). The reference stays
    /// valid while the manager lives; the next load changes what it reads: copy it to keep it.
    const koltLoadReport& lastLoadReport() const noexcept;

    /// Writes the element path of `node` (" / Settings / OptionLists / ...") on rzStderr,
    /// then a line end and a flush when `endLine` is non-zero; " / (null)" for a null node.
    /// When memory runs out, nothing is written: a path is printed whole or not at all.
    void printXmlPath(GAXXMLNode node, int endLine) noexcept;
    /// 1 when the node has no attribute and no child element (text does not count);
    /// 1 for a null node.
    int isFinalNode(GAXXMLNode node) noexcept;
    /// Decodes &amp; &lt; &gt; &quot; &apos; in place and returns `text` (null and empty
    /// texts are returned untouched). A character written for &amp; takes part in the
    /// search for further &amp; and the later entities; later passes never feed earlier ones.
    char* substituteEntities(char* text) noexcept;

    /// \name Loading steps
    //@{
    /// Loading steps, one per element of the settings file, called by the loads above.
    /// Each checks its element against the vocabulary, registers what it reads, writes its
    /// diagnostics on rzStderr and never fails; a null node reads nothing. Records and
    /// rules they build belong to the manager, whatever list they are appended to: never
    /// delete them. `itemName` is the string item element's name, `useKind` the use
    /// element's ("ClassUse", "InterfaceUse"); `list` and `uses` receive what is read.
    /// They never throw: within a load, the step that runs out of memory returns, and the
    /// steps still running stop before they register more, so that what the load kept is
    /// a prefix of what the whole file gives.
    void parseRunType(GAXXMLNode node) noexcept;
    void parseReportSet(GAXXMLNode node) noexcept;
    void parseOptionLists(GAXXMLNode node) noexcept;
    void parseGlobal_OptionLists(GAXXMLNode node) noexcept;
    void parseLifeCycle_OptionLists(GAXXMLNode node) noexcept;
    void parseSuspiciousAlloc_OptionLists(GAXXMLNode node) noexcept;
    void parseMemoryManagement_OptionLists(GAXXMLNode node) noexcept;
    void parseExceptionManagement_OptionLists(GAXXMLNode node) noexcept;
    void parseEntityDetection_OptionLists(GAXXMLNode node) noexcept;
    void parseVarious_OptionLists(GAXXMLNode node) noexcept;

    void parseFinalGAXListOfGAXString(GAXXMLNode node, const char* itemName) noexcept;
    void parseFinalListOfCallWithSpecificArg(GAXXMLNode node) noexcept;
    void parseFinalListOfCall(GAXXMLNode node) noexcept;
    void parseFinalListOfCallDeclaration(GAXXMLNode node) noexcept;
    void parseFinalListOfClassDetection(GAXXMLNode node) noexcept;
    void parseFinalListOfInterfaceDetection(GAXXMLNode node) noexcept;
    void parseFinalListOfMethodDetection(GAXXMLNode node) noexcept;
    void parseFinalListOfWordDetection(GAXXMLNode node) noexcept;

    void parseFinalCallWithSpecificArg(GAXXMLNode node, GAXListPtrCallWithSpecificArg* list) noexcept;
    void parseFinalCall(GAXXMLNode node, GAXListPtrCall* list) noexcept;
    void parseFinalCallDeclaration(GAXXMLNode node, GAXListPtrCallDeclaration* list) noexcept;
    void parseFinalClassDetection(GAXXMLNode node, GAXListPtrkoltClassDetection* list) noexcept;
    void parseFinalInterfaceDetection(GAXXMLNode node, GAXListPtrkoltInterfaceDetection* list) noexcept;
    void parseFinalMethodDetection(GAXXMLNode node, GAXListPtrkoltMethodDetection* list) noexcept;
    void parseFinalWordDetection(GAXXMLNode node, GAXListPtrkoltWordDetection* list) noexcept;
    void parseUseSet(GAXXMLNode node, const char* useKind, GAXListValGAXString* uses) noexcept;
    //@}

private:
    TAIndex _stringLists;
    TAIndex _callWithSpecificArgLists;
    TAIndex _callLists;
    TAIndex _callDeclarationLists;
    TAIndex _entityDetectionLists;
    TAIndex _activeReports;

public:
    /// Run type: 3 until a RunType element sets TypeOfRun="Check", then 0.
    std::int32_t _typeOfRun;
    /// 1 once a RunType element sets ReportTestFw="true", else 0.
    std::int32_t _reportTestFw;

    /// The state of loads, internal to the library.
    struct LoadState; // internal

private:
    KOLT_LOCAL int walkDocument(GAXXMLNode root, int parseStatus);
    KOLT_LOCAL void parseGroup(GAXXMLNode node, int group) noexcept;

    std::unique_ptr<LoadState> _state;
};

#endif
