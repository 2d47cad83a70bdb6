// Where each thing a manager holds came from: gathered from the library's registration
// observer while files load into it, for dump --origins and diff.
#ifndef KOLTSETTINGS_TOOLS_ORIGINS_H
#define KOLTSETTINGS_TOOLS_ORIGINS_H

#include "json.h"

#include <koltSettings/settings/manager.h>

#include <iosfwd>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace kolt::tool {

// The manager's list registries, in the order the dumps list them.
enum class Registry { Strings, CallsWithSpecificArg, Calls, CallDeclarations, Detections };
inline constexpr Registry kRegistries[] = {Registry::Strings, Registry::CallsWithSpecificArg, Registry::Calls,
                                           Registry::CallDeclarations, Registry::Detections};
const TAIndex& registryOf(const koltSettingManager& manager, Registry registry) noexcept;
// The key of the registry in the JSON dump: "stringLists", ..., "detectionLists".
const char* registryKey(Registry registry) noexcept;

// An element: the file given to the load, 1-based line and character column (as check
// reports them); line 0 when unknown (the default of a run setting).
struct Where {
    std::string file;
    int line = 0;
    int column = 0;
    bool known() const noexcept { return line > 0; }
    // "file:line:column", escaped for one line; "" when unknown.
    std::string text() const;
};

// {"file": ..., "line": ..., "column": ...}, or null when unknown.
void writeWhere(JsonWriter& json, const Where& w);

// Attach to a manager before its loads (koltSettingManager::setRegistrationObserver).
class Origins : public koltRegistrationObserver {
public:
    explicit Origins(const koltSettingManager& manager) : _manager(manager) {}
    void onRegistration(const koltRegistration& r) override;

    // The element that registered the list at `index` of `registry`.
    Where list(Registry registry, int index) const;
    // The element of the item at 1-based `position` of that list.
    Where item(Registry registry, int index, int position) const;
    // The Report element that switched on the report at `index` of activeReports().
    Where report(int index) const;
    // The RunType element that last set `attribute` ("TypeOfRun", "ReportTestFw").
    Where runSetting(const std::string& attribute) const;

private:
    // Files are named once; the positions are kept small, for files of many items.
    struct Origin {
        int file = -1;
        int line = 0;
        int column = 0;
    };
    struct ListOrigins {
        Origin list;
        std::vector<Origin> items;
    };
    // Character columns of one file, from the loader's byte columns.
    class Columns {
    public:
        explicit Columns(const std::string& path);
        int characters(int line, int byteColumn);

    private:
        std::string _bytes;
        bool _utf8 = true;
        std::vector<std::size_t> _lineStarts; // the loader ends lines at LF only
        // The last answer: registrations come in document order, so counting goes on
        // from there, and a file written on one line costs one pass.
        std::size_t _offset = 0;
        int _line = 0;
        int _column = 0;
    };
    Origin origin(const koltRegistration& r);
    Where where(const Origin& o) const;
    ListOrigins& listAt(std::vector<ListOrigins>& lists, int index);

    const koltSettingManager& _manager;
    std::vector<std::string> _files;
    std::vector<Columns> _columns; // per file
    std::vector<ListOrigins> _lists[std::size(kRegistries)];
    std::vector<Origin> _reports;
    std::map<std::string, Origin> _runSettings;
    // The list the last item went into: items come in runs.
    const TAIndex* _lastRegistry = nullptr;
    int _lastIndex = -1;
};

// The number of items of `list`, a list of `registry` (0 for none).
int listSize(Registry registry, const void* list) noexcept;

} // namespace kolt::tool

#endif
