// String lists: one GAXListValGAXString per list element name.
#include "../settings/load_state.h"
#include "../settings/text.h"
#include "../settings/walk.h"
#include "registry.h"

using kolt::detail::Code;
using kolt::detail::isEmpty;

void koltSettingManager::parseFinalGAXListOfGAXString(GAXXMLNode node, const char* itemName) {
    const char* name = node.GetTag();
    if (isEmpty(name) || isEmpty(itemName)) {
        return;
    }
    LoadState& state = *_state;
    if (node.GetFirstAttr()) {
        state.emit(Code::NoAttributeAllowed, node); // once, however many attributes
    }
    GAXListValGAXString* list = kolt::detail::getOrCreateList<GAXListValGAXString>(_stringLists, name);
    kolt::detail::forEachChild(node, [&](GAXXMLNode item) {
        if (!kolt::detail::sameText(item.GetTag(), itemName)) {
            state.emit(Code::UnexpectedNode, item);
        } else if (!isFinalNode(item)) {
            state.emit(Code::ItemNotFinal, item);
        } else if (const char* text = item.GetFirstContent(); !isEmpty(text)) {
            std::string value(text);
            value.resize(std::strlen(kolt::detail::decodeEntities(value.data())));
            list->Append(GAXString(std::move(value)));
        }
    });
}
