// What the checker sees differently between two sets of settings files: the semantic
// diff of kolt-settings diff, over two loaded managers and where their contents came from.
#ifndef KOLTSETTINGS_TOOLS_DIFF_H
#define KOLTSETTINGS_TOOLS_DIFF_H

#include "origins.h"

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace kolt::tool {

// Named texts, in order: the fields of an item ("MethodOrFunctionSign" -> "f()"), a
// string item's text under "text", the changed fields of a rule or a run setting.
using Fields = std::vector<std::pair<std::string, std::string>>;

struct Change {
    enum class Kind {
        RunSetting,
        ReportOn,
        ReportOff,
        ListAdded,
        ListRemoved,
        ItemAdded,
        ItemRemoved,
        RuleChanged
    };
    Kind kind;
    std::string registry; // registryKey(), "reports" or "runSettings"
    std::string list;     // the list's name; "" for reports and run settings
    std::string element;  // the item's element: "Macro", "Call", "ClassDetection", "Report", "RunType"
    Fields item;          // what identifies it (a list: none)
    Fields before;        // RuleChanged and RunSetting: the fields that differ, old and new
    Fields after;
    Where old; // where it stands on each side; unknown on the side that lacks it
    Where now;
};

// Loaded settings: a manager and the origins gathered while its files loaded.
struct Side {
    const koltSettingManager& manager;
    const Origins& origins;
};

// Every difference the checker can see (docs/kolt-settings.md, "diff"): run settings,
// reports switched on or off, lists that appear or disappear, items added to or removed
// from each list as multisets (order is not compared), rules whose replacement or uses
// changed. In order: run settings, reports, then list by list.
std::vector<Change> diffSettings(const Side& old, const Side& now);

enum class DiffFormat { Text, Markdown, Json };
// Writes the changes for people (one line each), as a pull-request comment, or as the
// JSON document of docs/kolt-settings.md; `oldFiles` and `newFiles` name the sides.
void writeDiff(const std::vector<Change>& changes, DiffFormat format,
               const std::vector<std::string>& oldFiles, const std::vector<std::string>& newFiles,
               std::ostream& out);

} // namespace kolt::tool

#endif
