// The vocabulary's element model as the features see it: the model of an element of the
// outline.
#ifndef KOLTSETTINGS_TOOLS_LSP_MODEL_H
#define KOLTSETTINGS_TOOLS_LSP_MODEL_H

#include "outline.h"

#include "support/schema.h"

namespace kolt::lsp {

// The model of an element of the outline: a top-level element is the root, whatever its
// name (the loader never compares it).
inline const kolt::tool::ElementModel* modelOf(const Outline& o, int element) {
    if (o.elements()[static_cast<std::size_t>(element)].parent < 0) {
        return &kolt::tool::Schema::instance().root();
    }
    return kolt::tool::Schema::instance().modelOf(o.name(element));
}

} // namespace kolt::lsp

#endif
