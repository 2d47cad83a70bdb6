// String lists: one GAXListValGAXString per list element name.
#include "../host/text.h"
#include "../host/walk.h"
#include "../settings/load_state.h"
#include "registry.h"

using kolt::detail::Code;
using kolt::detail::isEmpty;

void koltSettingManager::parseFinalGAXListOfGAXString(GAXXMLNode node, const char* itemName) noexcept try {
    const char* name = node.GetTag();
    if (isEmpty(name) || isEmpty(itemName)) {
        return;
    }
    LoadState& state = *_state;
    state.goOn();
    state.refuseAttributesOnce(node);
    int created = -1;
    GAXListValGAXString* list =
        kolt::detail::getOrCreateList<GAXListValGAXString>(_stringLists, name, created);
    state.listRegistered(_stringLists, created, node);
    kolt::detail::forEachChild(node, [&](GAXXMLNode item) {
        if (!kolt::detail::sameText(item.GetTag(), itemName)) {
            state.emit(Code::UnexpectedNode, item);
        } else if (!isFinalNode(item)) {
            state.emit(Code::ItemNotFinal, item);
        } else if (const char* text = item.GetFirstContent(); !isEmpty(text)) {
            const std::size_t length = std::strlen(text);
            if (!std::memchr(text, '&', length)) {
                list->Append(GAXString(std::string(text, length)));
            } else {
                // Decoded in the scratch buffer, so that the string is allocated at the
                // decoded length rather than the length as written.
                const std::size_t decoded = state.decoding.decode(text, length);
                list->Append(GAXString(std::string(state.decoding.data(), decoded)));
            }
            state.registeredItem(koltRegistrationKind::String, _stringLists, list->Size(), nullptr, item);
        }
    });
} catch (const std::bad_alloc&) {
    _state->stepFailed();
}
