// The vocabulary tables and their lookups.
#include "vocabulary.h"

#include <cstring>

namespace kolt::detail {

const GroupRow kGroups[kGroupCount] = {
    {Group::Global, "Global_OptionLists"},
    {Group::LifeCycle, "LifeCycle_OptionLists"},
    {Group::SuspiciousAlloc, "SuspiciousAlloc_OptionLists"},
    {Group::MemoryManagement, "MemoryManagement_OptionLists"},
    {Group::ExceptionManagement, "ExceptionManagement_OptionLists"},
    {Group::EntityDetection, "EntityDetection_OptionLists"},
    {Group::Various, "Various_OptionLists"},
};

const ListRow kLists[] = {
#define KOLT_LIST(group, element, kind, item, match)                                                         \
    {Group::group, element, sizeof(element) - 1, ListKind::kind, item, Match::match},
#include "vocabulary.def"
#undef KOLT_LIST
};

const std::size_t kListCount = sizeof(kLists) / sizeof(kLists[0]);

const GroupRow* findGroup(const char* name) noexcept {
    if (!name) {
        return nullptr;
    }
    for (const GroupRow& row : kGroups) {
        if (std::strcmp(row.element, name) == 0) {
            return &row;
        }
    }
    return nullptr;
}

const ListRow* findList(Group group, const char* name) noexcept {
    if (!name) {
        return nullptr;
    }
    for (std::size_t i = 0; i < kListCount; ++i) {
        const ListRow& row = kLists[i];
        if (row.group != group) {
            continue;
        }
        const bool hit = row.match == Match::Prefix ? std::strncmp(row.element, name, row.length) == 0
                                                    : std::strcmp(row.element, name) == 0;
        if (hit) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace kolt::detail
