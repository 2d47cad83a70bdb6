// The settings vocabulary as an element model, built from the vocabulary tables: what
// each element may hold and carry, and what it is for. Drives the DTD, the reference,
// `kolt-settings vocabulary` and the "did you mean" hints.
#ifndef KOLTSETTINGS_TOOLS_SCHEMA_H
#define KOLTSETTINGS_TOOLS_SCHEMA_H

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace kolt::tool {

struct AttributeModel {
    std::string name;
    std::vector<std::string> values; // the only values accepted; empty: any text
    bool required = false;
    std::string description;
};

struct ElementModel {
    // Fields: the texts of a record or rule, in any order.
    enum Content { Empty, Text, Elements, Fields };

    std::string name;
    Content content = Elements;
    std::vector<std::string> children; // accepted child elements, in vocabulary order
    std::vector<std::string> required; // children that must occur (at most two), any order
    bool oneKind = false;              // all children bear the name of the first one
    std::vector<AttributeModel> attributes;
    std::string section; // heading of the DTD section the declaration opens, if any
    std::string description;

    bool accepts(std::string_view child) const;
    const AttributeModel* attribute(std::string_view attr) const;
};

// A fixed value, or a use with the rule elements that permit it.
struct ValueModel {
    std::string name;
    std::string description;
    std::vector<std::string> permittedBy; // uses only: "ClassDetection", ...
};

class Schema {
public:
    // Built once from the vocabulary tables.
    static const Schema& instance();

    const std::vector<ElementModel>& elements() const noexcept { return _elements; }
    // The fixed values of attributes and texts ("Check", "true", "RootClass", ...).
    const std::vector<ValueModel>& values() const noexcept { return _values; }
    // The values of `use` that some kind of rule permits.
    const std::vector<ValueModel>& uses() const noexcept { return _uses; }
    // Those a rule element of this name permits ("ClassDetection"), in vocabulary order.
    std::vector<const ValueModel*> usesPermittedBy(std::string_view rule) const;
    // The element of this name, or null.
    const ElementModel* find(std::string_view name) const;
    // The model that applies to a list element of this name, prefix-named detection lists
    // included (their name is not an element of the model); null for other names.
    const ElementModel* listModel(std::string_view name) const;
    // The element of this name, else the list model of it, else null.
    const ElementModel* modelOf(std::string_view name) const;
    // Elements that accept `name` as a child, in model order.
    std::vector<const ElementModel*> parentsOf(std::string_view name) const;
    // The root element's model (its name is conventional: the loader never compares it).
    const ElementModel& root() const { return _elements.front(); }

    // Writes the DTD.
    void writeDtd(std::ostream& out) const;

private:
    Schema();
    void addGroupsAndLists();
    std::vector<ElementModel> _elements;
    std::vector<ValueModel> _values;
    std::vector<ValueModel> _uses;
};

} // namespace kolt::tool

#endif
