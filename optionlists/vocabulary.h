// The settings vocabulary as data, generated from vocabulary.def: the names the loader
// compares with, where each element stands, and the lists of the option-list groups.
#ifndef KOLTSETTINGS_OPTIONLISTS_VOCABULARY_H
#define KOLTSETTINGS_OPTIONLISTS_VOCABULARY_H

#include <cstddef>
#include <cstdint>

namespace kolt::detail {

enum class Group : std::uint8_t {
#define KOLT_GROUP(Id, Name, About) Id,
#include "vocabulary.def"
};
inline constexpr std::size_t kGroupCount = 0
#define KOLT_GROUP(Id, Name, About) +1
#include "vocabulary.def"
    ;

enum class Element : std::uint8_t {
#define KOLT_ELEMENT(Id, Name, How, About) Id,
#include "vocabulary.def"
};
enum class Attribute : std::uint8_t {
#define KOLT_ATTRIBUTE(Id, Name, About) Id,
#include "vocabulary.def"
};
enum class Value : std::uint8_t {
#define KOLT_VALUE(Id, Name, About) Id,
#include "vocabulary.def"
};
enum class UseKind : std::uint8_t {
#define KOLT_USE_KIND(Id, Name, Rule, UseSet, Use) Id,
#include "vocabulary.def"
};

enum class Content : std::uint8_t { Elements, Fields, Empty, Text };
enum class Presence : std::uint8_t { Optional, Required };

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

// The names as constants: sameText(tag, elements::ClassName). The compiler sees the text,
// as it would a literal.
namespace elements {
#define KOLT_ELEMENT(Id, Name, How, About) inline constexpr char Id[] = Name;
#include "vocabulary.def"
} // namespace elements
namespace attributes {
#define KOLT_ATTRIBUTE(Id, Name, About) inline constexpr char Id[] = Name;
#include "vocabulary.def"
} // namespace attributes
namespace values {
#define KOLT_VALUE(Id, Name, About) inline constexpr char Id[] = Name;
#include "vocabulary.def"
#define KOLT_RULE_VALUE(Id, Name, About) inline constexpr char Id[] = Name;
#include "../rules/uses.def"
} // namespace values

struct ElementRow {
    const char* name;
    Content content;
};
inline constexpr ElementRow kElements[] = {
#define KOLT_ELEMENT(Id, Name, How, About) {Name, Content::How},
#include "vocabulary.def"
};

struct ChildRow {
    Element parent;
    Element child;
    Presence presence;
};
inline constexpr ChildRow kChildren[] = {
#define KOLT_CHILD(Parent, Child, Presence_) {Element::Parent, Element::Child, Presence::Presence_},
#include "vocabulary.def"
};

inline constexpr const char* kAttributeNames[] = {
#define KOLT_ATTRIBUTE(Id, Name, About) Name,
#include "vocabulary.def"
};
struct AttributeOfRow {
    Element element;
    Attribute attribute;
    Presence presence;
};
inline constexpr AttributeOfRow kAttributesOf[] = {
#define KOLT_ATTRIBUTE_OF(Element_, Attribute_, Presence_)                                                   \
    {Element::Element_, Attribute::Attribute_, Presence::Presence_},
#include "vocabulary.def"
};

inline constexpr const char* kValueNames[] = {
#define KOLT_VALUE(Id, Name, About) Name,
#include "vocabulary.def"
};
struct AttributeValueRow {
    Attribute attribute;
    Value value;
};
inline constexpr AttributeValueRow kAttributeValues[] = {
#define KOLT_ATTRIBUTE_VALUE(Attribute_, Value_) {Attribute::Attribute_, Value::Value_},
#include "vocabulary.def"
};

struct UseKindRow {
    const char* name; // "Class"
    Element rule;
    Element useSet;
    Element use;
};
inline constexpr UseKindRow kUseKinds[] = {
#define KOLT_USE_KIND(Id, Name, Rule, UseSet, Use) {Name, Element::Rule, Element::UseSet, Element::Use},
#include "vocabulary.def"
};

// The uses some kind of rule permits (rules/uses.def), with one bit per kind.
namespace permitted {
enum : unsigned {
#define KOLT_USE_KIND(Id, Name, Rule, UseSet, Use) Id = 1u << static_cast<unsigned>(UseKind::Id),
#include "vocabulary.def"
};
struct UseRow {
    const char* name;
    unsigned kinds; // the bits of the kinds of rule that permit it
};
inline constexpr UseRow kUses[] = {
#define KOLT_USE(Id, Name, Permitted, About) {Name, Permitted},
#include "../rules/uses.def"
};
} // namespace permitted
constexpr bool permits(UseKind kind, const permitted::UseRow& use) noexcept {
    return (use.kinds & (1u << static_cast<unsigned>(kind))) != 0;
}

struct GroupRow {
    Group group;
    const char* element;
};
// The groups, in the order OptionLists compares names.
inline constexpr GroupRow kGroups[] = {
#define KOLT_GROUP(Id, Name, About) {Group::Id, Name},
#include "vocabulary.def"
};

struct ListRow {
    Group group;
    const char* element;
    std::size_t length; // of element
    ListKind kind;
    const char* item;
    Match match;
};
// Every list element, in the order each group compares names.
inline constexpr ListRow kLists[] = {
#define KOLT_LIST(Group_, Name, Kind, Item, Match_, About)                                                   \
    {Group::Group_, Name, sizeof(Name) - 1, ListKind::Kind, elements::Item, Match::Match_},
#include "vocabulary.def"
};
inline constexpr std::size_t kListCount = sizeof(kLists) / sizeof(kLists[0]);

constexpr const char* nameOf(Element e) noexcept {
    return kElements[static_cast<std::size_t>(e)].name;
}
constexpr const char* nameOf(Attribute a) noexcept {
    return kAttributeNames[static_cast<std::size_t>(a)];
}
constexpr const char* nameOf(Value v) noexcept {
    return kValueNames[static_cast<std::size_t>(v)];
}
constexpr const UseKindRow& rowOf(UseKind k) noexcept {
    return kUseKinds[static_cast<std::size_t>(k)];
}

// The row that places `child` under `parent`, or null.
constexpr const ChildRow* findChild(Element parent, Element child) noexcept {
    for (const ChildRow& row : kChildren) {
        if (row.parent == parent && row.child == child) {
            return &row;
        }
    }
    return nullptr;
}
constexpr bool hasChild(Element parent, Element child) noexcept {
    return findChild(parent, child) != nullptr;
}
constexpr bool requiresChild(Element parent, Element child) noexcept {
    const ChildRow* row = findChild(parent, child);
    return row && row->presence == Presence::Required;
}
// The first required text of a record or rule: what a rule detects.
constexpr Element firstRequiredText(Element parent) noexcept {
    for (const ChildRow& row : kChildren) {
        if (row.parent == parent && row.presence == Presence::Required &&
            kElements[static_cast<std::size_t>(row.child)].content == Content::Text) {
            return row.child;
        }
    }
    return parent;
}

// The group of this element name, or null.
const GroupRow* findGroup(const char* name) noexcept;
// The first row of `group` that accepts this child name, or null.
const ListRow* findList(Group group, const char* name) noexcept;
// The first row of any group that accepts this list name, groups in table order, or null.
const ListRow* findList(const char* name) noexcept;
// The kind of rule whose uses bear this name ("Class"), or null.
const UseKindRow* findUseKind(const char* name) noexcept;
// The kind of rule of this rule element ("ClassDetection"), or null.
const UseKindRow* findRuleKind(const char* element) noexcept;

} // namespace kolt::detail

#endif
