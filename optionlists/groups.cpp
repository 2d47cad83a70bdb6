// OptionLists and its seven groups, driven by the vocabulary table.
#include "../rules/rule_storage.h"
#include "../settings/load_state.h"
#include "../settings/text.h"
#include "../settings/walk.h"
#include "vocabulary.h"

using kolt::detail::Code;
using kolt::detail::Group;
using kolt::detail::ListKind;

namespace {

using GroupOperation = void (koltSettingManager::*)(GAXXMLNode);

// Indexed by Group.
constexpr GroupOperation kGroupOperations[kolt::detail::kGroupCount] = {
    &koltSettingManager::parseGlobal_OptionLists,
    &koltSettingManager::parseLifeCycle_OptionLists,
    &koltSettingManager::parseSuspiciousAlloc_OptionLists,
    &koltSettingManager::parseMemoryManagement_OptionLists,
    &koltSettingManager::parseExceptionManagement_OptionLists,
    &koltSettingManager::parseEntityDetection_OptionLists,
    &koltSettingManager::parseVarious_OptionLists,
};

} // namespace

void koltSettingManager::parseOptionLists(GAXXMLNode node) noexcept try {
    LoadState& state = *_state;
    kolt::detail::forEachAttribute(
        node, [&](const char*, const char*) { state.emit(Code::NoAttributeAllowed, node); });
    kolt::detail::forEachChild(node, [&](GAXXMLNode child) {
        if (const auto* group = kolt::detail::findGroup(child.GetTag())) {
            (this->*kGroupOperations[static_cast<std::size_t>(group->group)])(child);
        } else {
            state.emit(Code::UnexpectedNode, child);
        }
    });
} catch (const std::bad_alloc&) {
    _state->stepFailed();
}

void koltSettingManager::parseGroup(GAXXMLNode node, int group) noexcept try {
    LoadState& state = *_state;
    kolt::detail::forEachAttribute(
        node, [&](const char*, const char*) { state.emit(Code::NoAttributeAllowed, node); });
    kolt::detail::forEachChild(node, [&](GAXXMLNode child) {
        const auto* row = kolt::detail::findList(static_cast<Group>(group), child.GetTag());
        if (!row) {
            state.emit(Code::UnexpectedNode, child);
            return;
        }
        switch (row->kind) {
        case ListKind::Strings:
            parseFinalGAXListOfGAXString(child, row->item);
            break;
        case ListKind::CallsWithSpecificArg:
            parseFinalListOfCallWithSpecificArg(child);
            break;
        case ListKind::Calls:
            parseFinalListOfCall(child);
            break;
        case ListKind::CallDeclarations:
            parseFinalListOfCallDeclaration(child);
            break;
        case ListKind::CallsOrDeclarations: {
            void* cookie = child.GetFirstNode();
            const char* first = child.GetNextNode(cookie).GetTag();
            if (!first) {
                break; // no child element: nothing registered, nothing said
            }
            if (kolt::detail::sameText(first, "CallDeclaration")) {
                parseFinalListOfCallDeclaration(child);
            } else {
                parseFinalListOfCall(child);
            }
            break;
        }
        case ListKind::ClassDetections:
            kolt::detail::fillClassUses();
            parseFinalListOfClassDetection(child);
            break;
        case ListKind::InterfaceDetections:
            kolt::detail::fillInterfaceUses();
            parseFinalListOfInterfaceDetection(child);
            break;
        case ListKind::MethodDetections:
            parseFinalListOfMethodDetection(child);
            break;
        case ListKind::WordDetections:
            parseFinalListOfWordDetection(child);
            break;
        }
    });
} catch (const std::bad_alloc&) {
    _state->stepFailed();
}

void koltSettingManager::parseGlobal_OptionLists(GAXXMLNode node) noexcept {
    parseGroup(node, static_cast<int>(Group::Global));
}
void koltSettingManager::parseLifeCycle_OptionLists(GAXXMLNode node) noexcept {
    parseGroup(node, static_cast<int>(Group::LifeCycle));
}
void koltSettingManager::parseSuspiciousAlloc_OptionLists(GAXXMLNode node) noexcept {
    parseGroup(node, static_cast<int>(Group::SuspiciousAlloc));
}
void koltSettingManager::parseMemoryManagement_OptionLists(GAXXMLNode node) noexcept {
    parseGroup(node, static_cast<int>(Group::MemoryManagement));
}
void koltSettingManager::parseExceptionManagement_OptionLists(GAXXMLNode node) noexcept {
    parseGroup(node, static_cast<int>(Group::ExceptionManagement));
}
void koltSettingManager::parseEntityDetection_OptionLists(GAXXMLNode node) noexcept {
    parseGroup(node, static_cast<int>(Group::EntityDetection));
}
void koltSettingManager::parseVarious_OptionLists(GAXXMLNode node) noexcept {
    parseGroup(node, static_cast<int>(Group::Various));
}
