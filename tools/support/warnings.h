// Warnings: what the loader accepts but reads otherwise than the file seems to say. Each
// is found in the document as the loader's parser reads it and confirmed in the
// registries of the manager the document was loaded into.
#ifndef KOLTSETTINGS_TOOLS_WARNINGS_H
#define KOLTSETTINGS_TOOLS_WARNINGS_H

#include "findings.h"
#include "source.h"

#include <koltSettings/koltSettings.h>

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kolt::tool {

inline constexpr ToolCode kWarnSpecificArg{"KW001", "SpecificArg is not a plain decimal number, 0 or more"};
inline constexpr ToolCode kWarnBlanks{"KW002", "a text keeps the blanks at its start or end"};
inline constexpr ToolCode kWarnSplitText{"KW003", "a text in pieces: only the first is read"};
inline constexpr ToolCode kWarnCharacterReference{"KW004", "a character reference is kept as written"};
inline constexpr ToolCode kWarnEntityReference{"KW005", "an entity reference is kept as written"};
inline constexpr ToolCode kWarnDuplicate{"KW006", "an item is listed twice"};
inline constexpr ToolCode kWarnLongerName{
    "KW007", "a detection list is registered under a name the checker does not ask for"};
inline constexpr ToolCode kWarnActivateFalse{
    "KW008", "Activate=\"false\" does not switch off a report activated before"};
inline constexpr ToolCode kWarnEmptyList{"KW009", "a list element holds no item"};
inline constexpr ToolCode kWarnRuleWithoutUse{"KW010", "a class or interface rule is kept without a use"};
inline constexpr const ToolCode* kWarningCodes[] = {
    &kWarnSpecificArg, &kWarnBlanks,     &kWarnSplitText,     &kWarnCharacterReference, &kWarnEntityReference,
    &kWarnDuplicate,   &kWarnLongerName, &kWarnActivateFalse, &kWarnEmptyList,          &kWarnRuleWithoutUse,
};

// Renaming the element whose name is `span`: its start tag, and its end tag when there
// is one.
Suggestion renameElement(const Source& source, Span span, const std::string& name);

// What the warnings of later documents refer back to: the items and activations of the
// documents loaded before into the same manager.
class WarningMemory {
public:
    WarningMemory();
    ~WarningMemory();
    WarningMemory(const WarningMemory&) = delete;
    WarningMemory& operator=(const WarningMemory&) = delete;

private:
    friend class WarningScan;
    struct Lists;
    std::unique_ptr<Lists> _lists;
};

// The warnings of one document. Built before the document is loaded (it parses the same
// bytes with the loader's parser and notes what the loader will register), finished
// after the load, against what the load registered.
class WarningScan {
public:
    WarningScan(const Source& source, const std::string& name, const koltSettingManager& manager,
                WarningMemory& memory);
    ~WarningScan();
    WarningScan(const WarningScan&) = delete;
    WarningScan& operator=(const WarningScan&) = delete;

    // Appends the warnings, placed; `refused` holds the offsets of the records and rules
    // the loader reported and left out.
    void finish(const koltSettingManager& manager, const std::unordered_set<std::ptrdiff_t>& refused,
                std::vector<Finding>& out);

private:
    struct Walk;
    std::unique_ptr<Walk> _walk;
};

} // namespace kolt::tool

#endif
