// Use sets: the names of the prohibited uses of a detection element.
#include "../settings/load_state.h"
#include "../settings/text.h"
#include "../settings/walk.h"

#include <string>

using kolt::detail::Code;
using kolt::detail::isEmpty;
using kolt::detail::sameText;

void koltSettingManager::parseUseSet(GAXXMLNode node, const char* useKind, GAXListValGAXString* uses) noexcept
    try {
    if (!uses) {
        return;
    }
    LoadState& state = *_state;
    kolt::detail::forEachAttribute(
        node, [&](const char*, const char*) { state.emit(Code::NoAttributeAllowed, node); });
    const std::string useElement = std::string(useKind ? useKind : "") + "Use";
    kolt::detail::forEachChild(node, [&](GAXXMLNode use) {
        if (!sameText(use.GetTag(), useElement.c_str())) {
            state.emit(Code::UnexpectedNode, use); // not looked into
            return;
        }
        const char* useName = nullptr;
        bool prohibited = false;
        kolt::detail::forEachAttribute(use, [&](const char* name, const char* value) {
            if (isEmpty(name)) {
                state.emit(Code::AttributeNameNull, use);
            } else if (isEmpty(value)) {
                state.emit(Code::AttributeValueNull, use);
            } else if (sameText(name, "use")) {
                useName = value;
            } else if (!sameText(name, "prohibited")) {
                state.emit(Code::UnexpectedAttribute, use);
            } else if (sameText(value, "true")) {
                prohibited = true;
            } else if (sameText(value, "false")) {
                prohibited = false;
            } else {
                state.emit(Code::ProhibitedValueInvalid, use, {useKind, value});
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
