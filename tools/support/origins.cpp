// Origins of what a manager registered, from its registration observer.
#include "origins.h"
#include "dump_formats.h"
#include "escape.h"

#include <koltSettings/settings/dump.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>

namespace kolt::tool {

const TAIndex& registryOf(const koltSettingManager& m, Registry registry) noexcept {
    switch (registry) {
    case Registry::Strings:
        return m.stringLists();
    case Registry::CallsWithSpecificArg:
        return m.callWithSpecificArgLists();
    case Registry::Calls:
        return m.callLists();
    case Registry::CallDeclarations:
        return m.callDeclarationLists();
    case Registry::Detections:
        break;
    }
    return m.entityDetectionLists();
}

const char* registryKey(Registry registry) noexcept {
    static const char* const keys[] = {"stringLists", "callWithSpecificArgLists", "callLists",
                                       "callDeclarationLists", "detectionLists"};
    return keys[static_cast<int>(registry)];
}

std::string Where::text() const {
    if (!known()) {
        return {};
    }
    return escapeForLine(file) + ":" + std::to_string(line) + ":" + std::to_string(column);
}

// {"file": ..., "line": ..., "column": ...}, or null when unknown.
void writeWhere(JsonWriter& json, const Where& w) {
    if (!w.known()) {
        json.null();
        return;
    }
    json.beginObject()
        .key("file")
        .value(w.file)
        .key("line")
        .value(w.line)
        .key("column")
        .value(w.column)
        .endObject();
}

Origins::Origin Origins::origin(const koltRegistration& r) {
    const char* file = r.file ? r.file : "";
    Origin o;
    // Loads register in runs from one file: the last file first.
    for (int i = static_cast<int>(_files.size()) - 1; i >= 0 && o.file < 0; --i) {
        if (_files[static_cast<std::size_t>(i)] == file) {
            o.file = i;
        }
    }
    if (o.file < 0) {
        o.file = static_cast<int>(_files.size());
        _files.emplace_back(file);
        _columns.emplace_back(file);
    }
    o.line = r.line;
    o.column = _columns[static_cast<std::size_t>(o.file)].characters(r.line, r.column);
    return o;
}

Origins::Columns::Columns(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    _bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    // The parser converts UTF-16, UTF-32 and Latin-1 first and counts in what it made:
    // there, and in a file that changed since, columns stay bytes.
    _utf8 = _bytes.compare(0, 2, "\xFE\xFF") != 0 && _bytes.compare(0, 2, "\xFF\xFE") != 0 &&
            _bytes.find('\0') == std::string::npos;
    _lineStarts.push_back(0);
    for (std::size_t i = 0; i < _bytes.size() && _utf8;) {
        if (_bytes[i] == '\n') {
            _lineStarts.push_back(i + 1);
        }
        const std::size_t length = decodeUtf8(std::string_view(_bytes).substr(i)).length;
        _utf8 = length > 0;
        i += length;
    }
}

int Origins::Columns::characters(int line, int byteColumn) {
    if (!_utf8 || line < 1 || byteColumn < 1 || static_cast<std::size_t>(line) > _lineStarts.size()) {
        return byteColumn;
    }
    const std::size_t start = _lineStarts[static_cast<std::size_t>(line) - 1];
    const std::size_t offset = start + static_cast<std::size_t>(byteColumn) - 1;
    if (offset > _bytes.size()) {
        return byteColumn;
    }
    if (line != _line || offset < _offset) {
        _line = line;
        _offset = start;
        _column = 1;
        if (line == 1 && _bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            _offset = 3; // editors count no byte order mark
        }
    }
    for (; _offset < offset; ++_offset) {
        _column += (static_cast<unsigned char>(_bytes[_offset]) & 0xC0) != 0x80 ? 1 : 0;
    }
    return _column;
}

Origins::ListOrigins& Origins::listAt(std::vector<ListOrigins>& lists, int index) {
    if (lists.size() <= static_cast<std::size_t>(index)) {
        lists.resize(static_cast<std::size_t>(index) + 1);
    }
    return lists[static_cast<std::size_t>(index)];
}

void Origins::onRegistration(const koltRegistration& r) {
    if (r.kind == koltRegistrationKind::RunSetting) {
        _runSettings[r.name ? r.name : ""] = origin(r);
        return;
    }
    if (r.kind == koltRegistrationKind::Report) {
        if (_reports.size() <= static_cast<std::size_t>(r.position)) {
            _reports.resize(static_cast<std::size_t>(r.position) + 1);
        }
        _reports[static_cast<std::size_t>(r.position)] = origin(r);
        return;
    }
    for (const Registry registry : kRegistries) {
        if (&registryOf(_manager, registry) != r.registry) {
            continue;
        }
        auto& lists = _lists[static_cast<std::size_t>(registry)];
        if (r.kind == koltRegistrationKind::List) {
            listAt(lists, r.position).list = origin(r);
            return;
        }
        if (_lastRegistry != r.registry || _lastIndex < 0 ||
            std::strcmp(r.registry->GetName(_lastIndex), r.name) != 0) {
            _lastRegistry = r.registry;
            _lastIndex = r.registry->IsIn(r.name);
        }
        if (_lastIndex >= 0 && r.position > 0) {
            auto& items = listAt(lists, _lastIndex).items;
            if (items.size() < static_cast<std::size_t>(r.position)) {
                items.resize(static_cast<std::size_t>(r.position));
            }
            items[static_cast<std::size_t>(r.position) - 1] = origin(r);
        }
        return;
    }
}

Where Origins::where(const Origin& o) const {
    if (o.file < 0) {
        return {};
    }
    return {_files[static_cast<std::size_t>(o.file)], o.line, o.column};
}

Where Origins::list(Registry registry, int index) const {
    const auto& lists = _lists[static_cast<std::size_t>(registry)];
    return index >= 0 && static_cast<std::size_t>(index) < lists.size()
               ? where(lists[static_cast<std::size_t>(index)].list)
               : Where();
}

Where Origins::item(Registry registry, int index, int position) const {
    const auto& lists = _lists[static_cast<std::size_t>(registry)];
    if (index < 0 || static_cast<std::size_t>(index) >= lists.size() || position < 1) {
        return {};
    }
    const auto& items = lists[static_cast<std::size_t>(index)].items;
    return static_cast<std::size_t>(position) <= items.size()
               ? where(items[static_cast<std::size_t>(position) - 1])
               : Where();
}

Where Origins::report(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < _reports.size()
               ? where(_reports[static_cast<std::size_t>(index)])
               : Where();
}

Where Origins::runSetting(const std::string& attribute) const {
    const auto it = _runSettings.find(attribute);
    return it == _runSettings.end() ? Where() : where(it->second);
}

int listSize(Registry r, const void* list) noexcept {
    if (!list) {
        return 0;
    }
    switch (r) {
    case Registry::Strings:
        return static_cast<const GAXListValGAXString*>(list)->Size();
    case Registry::CallsWithSpecificArg:
        return static_cast<const GAXListPtrCallWithSpecificArg*>(list)->Size();
    case Registry::Calls:
        return static_cast<const GAXListPtrCall*>(list)->Size();
    case Registry::CallDeclarations:
        return static_cast<const GAXListPtrCallDeclaration*>(list)->Size();
    case Registry::Detections:
        break;
    }
    return static_cast<const GAXListPtrkoltEntityDetection*>(list)->Size();
}

void writeTextDump(const koltSettingManager& m, std::ostream& out, const Origins* origins) {
    std::ostringstream text;
    koltDumpText(m, text);
    // With origins, one entry per line of the text dump, in its order.
    std::vector<Where> notes;
    if (origins) {
        notes = {origins->runSetting("TypeOfRun"), origins->runSetting("ReportTestFw"), {}};
        for (int i = 0; i < m.activeReports().Size(); ++i) {
            notes.push_back(origins->report(i));
        }
        for (const Registry r : kRegistries) {
            const TAIndex& registry = registryOf(m, r);
            for (int i = 0; i < registry.Size(); ++i) {
                notes.push_back(origins->list(r, i));
                for (int pos = 1; pos <= listSize(r, registry.GetValue(i)); ++pos) {
                    notes.push_back(origins->item(r, i, pos));
                }
            }
        }
    }
    std::istringstream lines(text.str());
    std::size_t n = 0;
    for (std::string line; std::getline(lines, line); ++n) {
        if (n < notes.size() && notes[n].known()) {
            line += "  (from " + notes[n].text() + ")";
        }
        // The library escapes control bytes its own way in texts, but not C1 controls,
        // bytes that are not UTF-8 or CI log commands, nor anything in names.
        out << escapeForLine(line, true, false) << '\n';
    }
}

} // namespace kolt::tool
