// Use sets: the names of the prohibited uses of a detection element.
#include "../host/text.h"
#include "../host/walk.h"
#include "../settings/load_state.h"
#include "vocabulary.h"

#include <string>

using kolt::detail::Code;
using kolt::detail::isEmpty;
using kolt::detail::sameText;
namespace attributes = kolt::detail::attributes;
namespace values = kolt::detail::values;

void koltSettingManager::parseUseSet(GAXXMLNode node, const char* useKind, GAXListValGAXString* uses) noexcept
    try {
    if (!uses) {
        return;
    }
    LoadState& state = *_state;
    state.refuseAttributes(node);
    // The use element of a kind of the vocabulary; a direct call with another kind gets
    // the name the vocabulary would give it.
    std::string builtName;
    const char* useElement = nullptr;
    if (const auto* kind = kolt::detail::findUseKind(useKind)) {
        useElement = kolt::detail::nameOf(kind->use);
    } else {
        builtName = std::string(useKind ? useKind : "") + "Use";
        useElement = builtName.c_str();
    }
    kolt::detail::forEachChild(node, [&](GAXXMLNode use) {
        if (!sameText(use.GetTag(), useElement)) {
            state.emit(Code::UnexpectedNode, use); // not looked into
            return;
        }
        const char* useName = nullptr;
        bool prohibited = false;
        kolt::detail::forEachAttribute(use, [&](const char* name, const char* value) {
            if (isEmpty(name)) {
                state.emitAttribute(Code::AttributeNameNull, use, name);
            } else if (isEmpty(value)) {
                state.emitAttribute(Code::AttributeValueNull, use, name);
            } else if (sameText(name, attributes::Use)) {
                useName = value;
            } else if (!sameText(name, attributes::Prohibited)) {
                state.emitAttribute(Code::UnexpectedAttribute, use, name);
            } else if (sameText(value, values::True)) {
                prohibited = true;
            } else if (sameText(value, values::False)) {
                prohibited = false;
            } else {
                state.emitAttribute(Code::ProhibitedValueInvalid, use, name, value, {useKind, value});
            }
        });
        if (isEmpty(useName)) {
            state.emit(Code::UseWithoutName, use);
        } else if (prohibited) {
            uses->Append(GAXString(useName)); // taken as written: no decoding
        }
        kolt::detail::forEachChild(use, [&](GAXXMLNode child) { state.emit(Code::UnexpectedNode, child); });
    });
} catch (const std::bad_alloc&) {
    _state->stepFailed();
}
