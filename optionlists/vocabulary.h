// The settings vocabulary as data: groups, list elements, record and rule elements.
#ifndef KOLTSETTINGS_OPTIONLISTS_VOCABULARY_H
#define KOLTSETTINGS_OPTIONLISTS_VOCABULARY_H

#include <cstddef>
#include <cstdint>

namespace kolt::detail {

enum class Group : std::uint8_t {
    Global,
    LifeCycle,
    SuspiciousAlloc,
    MemoryManagement,
    ExceptionManagement,
    EntityDetection,
    Various,
};
inline constexpr std::size_t kGroupCount = 7;

enum class ListKind : std::uint8_t {
    Strings,
    CallsWithSpecificArg,
    Calls,
    CallDeclarations,    // only through CallsOrDeclarations
    CallsOrDeclarations, // chosen by the first child
    ClassDetections,
    InterfaceDetections,
    MethodDetections,
    WordDetections,
};

enum class Match : std::uint8_t { Exact, Prefix };

struct GroupRow {
    Group group;
    const char* element;
};

struct ListRow {
    Group group;
    const char* element;
    std::size_t length; // of element
    ListKind kind;
    const char* item;
    Match match;
};

// The seven groups, in the order OptionLists compares names.
extern const GroupRow kGroups[kGroupCount];
// Every list element, in the order each group compares names.
extern const ListRow kLists[];
extern const std::size_t kListCount;

// The group of this element name, or null.
const GroupRow* findGroup(const char* name) noexcept;
// The first row of `group` that accepts this child name, or null.
const ListRow* findList(Group group, const char* name) noexcept;

} // namespace kolt::detail

#endif
