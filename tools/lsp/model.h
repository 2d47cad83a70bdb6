// The vocabulary's element model as the features see it: the model of a name, and of an
// element of the outline.
#ifndef KOLTSETTINGS_TOOLS_LSP_MODEL_H
#define KOLTSETTINGS_TOOLS_LSP_MODEL_H

#include "outline.h"

#include "support/schema.h"

#include <string_view>

namespace kolt::lsp {

// The model of an element name: an element of the vocabulary or a prefix-named list.
inline const kolt::tool::ElementModel* modelOf(std::string_view name) {
    const kolt::tool::Schema& schema = kolt::tool::Schema::instance();
    const kolt::tool::ElementModel* m = schema.find(name);
    return m ? m : schema.listModel(name);
}

// The model of an element of the outline: a top-level element is the root, whatever its
// name (the loader never compares it).
inline const kolt::tool::ElementModel* modelOf(const Outline& o, int element) {
    if (o.elements()[static_cast<std::size_t>(element)].parent < 0) {
        return &kolt::tool::Schema::instance().root();
    }
    return modelOf(o.name(element));
}

} // namespace kolt::lsp

#endif
