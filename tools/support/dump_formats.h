// Everything a loaded manager holds, for scripts (JSON) and as a settings file (XML).
#ifndef KOLTSETTINGS_TOOLS_DUMP_FORMATS_H
#define KOLTSETTINGS_TOOLS_DUMP_FORMATS_H

#include <iosfwd>
#include <string>

class koltSettingManager;
class koltEntityDetection;

namespace kolt::tool {

class Origins;

// The text dump of the library (koltDumpText), each line made safe for a terminal. With
// `origins`, each line that stands for a run setting, a report, a list or an item ends
// with "  (from FILE:LINE:COLUMN)".
void writeTextDump(const koltSettingManager& manager, std::ostream& out, const Origins* origins = nullptr);

// The document described in docs/kolt-settings.md: run settings, active reports and
// every registered list by registry, in registration order.
// With `origins`, each list also has "origin" and "origins" (one per item), and the
// document "origins" of the run settings and reports.
void writeJsonDump(const koltSettingManager& manager, std::ostream& out, const Origins* origins = nullptr);

// A settings file that loads into a fresh manager giving the same registries, in the same
// order, with the same texts. A few states only a rejected element can recreate (an empty
// LifeCycle_SafeMethodsForMCBU list, a class or interface rule whose uses were all
// refused); the file then says so in a comment, and loading it reports them.
// What no XML file can hold, or a terminal would act on (replaceUnsafeXml), is written as
// U+FFFD, and a list whose name is no XML name is left out; each is reported on `log`
// when given. Returns how many were reported: 0 when the file loads back the same.
// With `origins`, the line that opens each list, item, report or RunType ends with a
// comment naming its element's file, line and column, which loading ignores.
int writeXmlDump(const koltSettingManager& manager, std::ostream& out, std::ostream* log = nullptr,
                 const Origins* origins = nullptr);

// The element of the items of the string list `list` ("Macro", ...; "FrameworkName"
// for ExcludeFramework).
const char* stringItemElement(const std::string& list) noexcept;

// "ClassDetection", "InterfaceDetection", "MethodDetection" or "WordDetection".
const char* ruleElement(const koltEntityDetection& rule) noexcept;

} // namespace kolt::tool

#endif
