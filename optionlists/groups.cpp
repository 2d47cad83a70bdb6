// OptionLists and its groups, driven by the vocabulary table.
#include "../host/text.h"
#include "../host/walk.h"
#include "../rules/use_tables.h"
#include "../settings/load_state.h"
#include "vocabulary.h"

using kolt::detail::Code;
using kolt::detail::Group;
using kolt::detail::ListKind;

namespace {

using GroupOperation = void (koltSettingManager::*)(GAXXMLNode);

// Indexed by Group.
constexpr GroupOperation kGroupOperations[] = {
#define KOLT_GROUP(Id, Name, About) &koltSettingManager::parse##Id##_OptionLists,
#include "vocabulary.def"
};
static_assert(sizeof(kGroupOperations) / sizeof(kGroupOperations[0]) == kolt::detail::kGroupCount);

} // namespace

void koltSettingManager::parseOptionLists(GAXXMLNode node) noexcept try {
    LoadState& state = *_state;
    state.refuseAttributes(node);
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
    state.refuseAttributes(node);
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
            if (kolt::detail::sameText(first, row->item)) {
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

#define KOLT_GROUP(Id, Name, About)                                                                          \
    void koltSettingManager::parse##Id##_OptionLists(GAXXMLNode node) noexcept {                             \
        parseGroup(node, static_cast<int>(Group::Id));                                                       \
    }
#include "vocabulary.def"
