// Rules built by a manager: the object and its two texts in the manager's arena.
#ifndef KOLTSETTINGS_SETTINGS_RULE_STORAGE_H
#define KOLTSETTINGS_SETTINGS_RULE_STORAGE_H

#include "../host/arena.h"
#include "../host/text.h"

#include <koltSettings/rules/detections.h>

#include <memory>
#include <new>
#include <utility>

namespace kolt::detail {

// A rule the manager builds lives in its arena, object and texts (name, replacement)
// alike; it reads and behaves as one built with new. It is ended with end(), which
// runs its destructor (the kind's own clean-up included) but leaves the texts and the
// object's memory to the arena. The name and replacement must be arena texts or null.
struct RuleStorage {
    template <class Kind, class... Args>
    static Kind* make(Arena& arena, char* name, char* replacement, Args&&... args) {
        Kind* rule = new (arena.allocate(sizeof(Kind), alignof(Kind)))
            Kind(nullptr, std::forward<Args>(args)..., nullptr);
        rule->_name = name;
        rule->_replacementName = replacement;
        return rule;
    }

    static void end(koltEntityDetection* rule) noexcept {
        if (rule) {
            rule->_name = nullptr;
            rule->_replacementName = nullptr;
            rule->~koltEntityDetection();
        }
    }

    // addUse as the loader needs it: memory running out throws std::bad_alloc instead
    // of refusing the use. addUse refuses a non-empty permitted use only for want of memory.
    static int addUse(koltEntityDetection& rule, const char* use) {
        const int added = rule.addUse(use);
        if (added == -1 && !isEmpty(use) && rule.isAUse(use)) {
            throw std::bad_alloc();
        }
        return added;
    }

    struct Ender {
        void operator()(koltEntityDetection* rule) const noexcept { end(rule); }
    };
};

// A rule being built: ended unless handed to a list.
template <class Kind>
using BuiltRule = std::unique_ptr<Kind, RuleStorage::Ender>;

} // namespace kolt::detail

#endif
