// Lookups in the vocabulary tables.
#include "vocabulary.h"

#include "../host/text.h"

#include <cstring>

namespace kolt::detail {

namespace {

constexpr bool sameName(const char* a, const char* b) {
    for (; *a && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

// An element's identifier is its name, so that code reads as the file does.
#define KOLT_ELEMENT(Id, Name, How, About)                                                                   \
    static_assert(sameName(#Id, Name), "element " #Id " is named " Name);
#include "vocabulary.def"

// String lists hold texts; the other lists hold records or rules.
#define KOLT_LIST(Group, Name, Kind, Item, Match, About)                                                     \
    static_assert((ListKind::Kind == ListKind::Strings) ==                                                   \
                      (kElements[static_cast<std::size_t>(Element::Item)].content == Content::Text),         \
                  Name " holds items of the wrong kind");
#include "vocabulary.def"

} // namespace

const GroupRow* findGroup(const char* name) noexcept {
    for (const GroupRow& row : kGroups) {
        if (sameText(row.element, name)) {
            return &row;
        }
    }
    return nullptr;
}

const ListRow* findList(Group group, const char* name) noexcept {
    if (!name) {
        return nullptr;
    }
    for (const ListRow& row : kLists) {
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

const ListRow* findList(const char* name) noexcept {
    for (const GroupRow& g : kGroups) {
        if (const ListRow* row = findList(g.group, name)) {
            return row;
        }
    }
    return nullptr;
}

const UseKindRow* findUseKind(const char* name) noexcept {
    for (const UseKindRow& row : kUseKinds) {
        // The loader passes the row's own text: no comparison of the bytes.
        if (row.name == name || sameText(row.name, name)) {
            return &row;
        }
    }
    return nullptr;
}

const UseKindRow* findRuleKind(const char* element) noexcept {
    for (const UseKindRow& row : kUseKinds) {
        if (sameText(nameOf(row.rule), element)) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace kolt::detail
