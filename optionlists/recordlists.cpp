// Lists of records: call lists and detection lists, one per list element name.
#include "../host/text.h"
#include "../host/walk.h"
#include "../settings/load_state.h"
#include "registry.h"
#include "vocabulary.h"

namespace {

using kolt::detail::Code;
namespace elements = kolt::detail::elements;

// Registers (or finds) the list named after `node` and hands each child bearing
// `itemName` to `parseItem`; other children are unexpected nodes.
template <class List, class ParseItem>
void readRecordList(koltSettingManager::LoadState& state, TAIndex& registry, GAXXMLNode node,
                    const char* itemName, ParseItem parseItem) noexcept try {
    const char* name = node.GetTag();
    if (kolt::detail::isEmpty(name)) {
        return;
    }
    state.goOn();
    state.refuseAttributesOnce(node);
    int created = -1;
    List* list = kolt::detail::getOrCreateList<List>(registry, name, created);
    state.listRegistered(registry, created, node);
    if (!list) {
        return;
    }
    kolt::detail::forEachChild(node, [&](GAXXMLNode item) {
        if (kolt::detail::sameText(item.GetTag(), itemName)) {
            parseItem(item, list);
        } else {
            state.emit(Code::UnexpectedNode, item);
        }
    });
} catch (const std::bad_alloc&) {
    state.stepFailed();
}

} // namespace

void koltSettingManager::parseFinalListOfCallWithSpecificArg(GAXXMLNode node) noexcept {
    readRecordList<GAXListPtrCallWithSpecificArg>(
        *_state, _callWithSpecificArgLists, node, elements::CallWithSpecificArg,
        [this](GAXXMLNode item, GAXListPtrCallWithSpecificArg* list) {
            parseFinalCallWithSpecificArg(item, list);
        });
}

void koltSettingManager::parseFinalListOfCall(GAXXMLNode node) noexcept {
    readRecordList<GAXListPtrCall>(
        *_state, _callLists, node, elements::Call,
        [this](GAXXMLNode item, GAXListPtrCall* list) { parseFinalCall(item, list); });
}

void koltSettingManager::parseFinalListOfCallDeclaration(GAXXMLNode node) noexcept {
    readRecordList<GAXListPtrCallDeclaration>(
        *_state, _callDeclarationLists, node, elements::CallDeclaration,
        [this](GAXXMLNode item, GAXListPtrCallDeclaration* list) { parseFinalCallDeclaration(item, list); });
}

void koltSettingManager::parseFinalListOfClassDetection(GAXXMLNode node) noexcept {
    readRecordList<GAXListPtrkoltClassDetection>(*_state, _entityDetectionLists, node,
                                                 elements::ClassDetection,
                                                 [this](GAXXMLNode item, GAXListPtrkoltClassDetection* list) {
                                                     parseFinalClassDetection(item, list);
                                                 });
}

void koltSettingManager::parseFinalListOfInterfaceDetection(GAXXMLNode node) noexcept {
    readRecordList<GAXListPtrkoltInterfaceDetection>(
        *_state, _entityDetectionLists, node, elements::InterfaceDetection,
        [this](GAXXMLNode item, GAXListPtrkoltInterfaceDetection* list) {
            parseFinalInterfaceDetection(item, list);
        });
}

void koltSettingManager::parseFinalListOfMethodDetection(GAXXMLNode node) noexcept {
    readRecordList<GAXListPtrkoltMethodDetection>(
        *_state, _entityDetectionLists, node, elements::MethodDetection,
        [this](GAXXMLNode item, GAXListPtrkoltMethodDetection* list) {
            parseFinalMethodDetection(item, list);
        });
}

void koltSettingManager::parseFinalListOfWordDetection(GAXXMLNode node) noexcept {
    readRecordList<GAXListPtrkoltWordDetection>(
        *_state, _entityDetectionLists, node, elements::WordDetection,
        [this](GAXXMLNode item, GAXListPtrkoltWordDetection* list) { parseFinalWordDetection(item, list); });
}
