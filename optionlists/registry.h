// Get-or-create of a named list in a registry.
#ifndef KOLTSETTINGS_OPTIONLISTS_REGISTRY_H
#define KOLTSETTINGS_OPTIONLISTS_REGISTRY_H

#include <koltSettings/rules/typedlists.h>

#include <memory>
#include <type_traits>

namespace kolt::detail {

// Detection lists of every kind are stored as GAXListPtrkoltEntityDetection*, the type
// the checker reads them as; other lists as themselves.
template <class List>
constexpr bool kIsDetectionList = std::is_base_of_v<GAXListPtrkoltEntityDetection, List>;

template <class List>
void* toRegistryValue(List* list) noexcept {
    if constexpr (kIsDetectionList<List>) {
        return static_cast<GAXListPtrkoltEntityDetection*>(list);
    } else {
        return list;
    }
}

template <class List>
List* fromRegistryValue(void* value) noexcept {
    if constexpr (kIsDetectionList<List>) {
        // A name always reaches the same detection kind through the vocabulary; a direct
        // call of another kind's operation gets null instead of a mistyped list.
        return dynamic_cast<List*>(static_cast<GAXListPtrkoltEntityDetection*>(value));
    } else {
        return static_cast<List*>(value);
    }
}

// The list registered under `name`, created empty and registered when there is none;
// `created` is then its position in the registry, else -1. Null only when the name is
// registered with a list of another kind.
template <class List>
List* getOrCreateList(TAIndex& registry, const char* name, int& created) {
    created = -1;
    const int pos = registry.IsIn(name);
    if (pos >= 0) {
        if (void* value = registry.GetValue(pos)) {
            return fromRegistryValue<List>(value);
        }
    }
    auto list = std::make_unique<List>();
    created = registry.Size();
    registry.Append(name, toRegistryValue(list.get()));
    return list.release();
}

} // namespace kolt::detail

#endif
