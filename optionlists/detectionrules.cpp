// Detection elements: ClassDetection, InterfaceDetection, MethodDetection, WordDetection.
#include "../host/text.h"
#include "../host/walk.h"
#include "../settings/load_state.h"
#include "../settings/rule_storage.h"
#include "vocabulary.h"

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

namespace {

using kolt::detail::Code;
using kolt::detail::Element;
using kolt::detail::nameOf;
using kolt::detail::UseKind;
namespace elements = kolt::detail::elements;
using kolt::detail::isEmpty;
using kolt::detail::RuleStorage;
using kolt::detail::sameText;

// What differs between the four kinds of detection element: the names from their rows,
// the diagnostics from the loader.
struct DetectionShape {
    const char* nameChild; // required, non-empty
    bool takesClassName;   // methods only
    const char* useSetChild;
    const char* useKind;
    Code noName;
    bool needsUse; // class and interface rules are dropped without a use
    Code noUse;
    Code refusedUse;
};

constexpr DetectionShape shapeOf(UseKind kind, Code noName, Code noUse, Code refusedUse) {
    const kolt::detail::UseKindRow& k = kolt::detail::rowOf(kind);
    const Element name = kolt::detail::firstRequiredText(k.rule);
    return {nameOf(name),
            name != Element::ClassName && kolt::detail::hasChild(k.rule, Element::ClassName),
            nameOf(k.useSet),
            k.name,
            noName,
            kolt::detail::requiresChild(k.rule, k.useSet),
            noUse,
            refusedUse};
}

constexpr DetectionShape kClass =
    shapeOf(UseKind::Class, Code::ClassDetectionNoName, Code::ClassDetectionNoUse, Code::ClassUseRefused);
constexpr DetectionShape kInterface = shapeOf(UseKind::Interface, Code::InterfaceDetectionNoName,
                                              Code::InterfaceDetectionNoUse, Code::InterfaceUseRefused);
constexpr DetectionShape kMethod = shapeOf(UseKind::Method, Code::MethodDetectionNoName,
                                           Code::MethodDetectionNoName, Code::MethodUseRefused);
constexpr DetectionShape kWord =
    shapeOf(UseKind::Word, Code::WordDetectionNoName, Code::WordDetectionNoName, Code::WordUseRefused);
static_assert(kClass.needsUse && kInterface.needsUse && !kMethod.needsUse && !kWord.needsUse);
static_assert(kMethod.takesClassName && !kClass.takesClassName);

// The children of a detection element, as read.
struct DetectionChildren {
    const char* name = nullptr;
    const char* className = nullptr;
    const char* replacement = nullptr;
    GAXListValGAXString uses;
};

// The method name (text before the first "(" without its blanks), copied into the
// arena, and the argument count (pieces between commas up to the first ")", as Split
// counts them; -1 without "(").
int splitSignature(std::string_view signature, kolt::detail::Arena& arena, char*& methodName) {
    const std::size_t open = signature.find('(');
    const std::size_t nameEnd = open == std::string_view::npos ? signature.size() : open;
    int argCount = -1;
    if (open != std::string_view::npos) {
        const std::size_t close = signature.find(')', open + 1);
        const std::size_t end = close == std::string_view::npos ? signature.size() : close;
        argCount = 0;
        if (end > open + 1) {
            argCount = 1;
            for (std::size_t i = open + 1; i < end; ++i) {
                argCount += signature[i] == ',' ? 1 : 0;
            }
        }
    }
    // Only the space character is a blank here; tabs and line breaks stay.
    methodName = static_cast<char*>(arena.allocate(nameEnd + 1, 1));
    char* out = std::remove_copy(signature.data(), signature.data() + nameEnd, methodName, ' ');
    *out = '\0';
    return argCount;
}

// Shared walk of the four detection parsers; `makeRule` builds the rule in the arena
// from the name, the class name and the replacement, all as read.
template <class List, class MakeRule>
void parseDetection(koltSettingManager& manager, koltSettingManager::LoadState& state, GAXXMLNode node,
                    List* list, const DetectionShape& shape, MakeRule makeRule) noexcept try {
    if (!list) {
        return;
    }
    state.refuseAttributesOnce(node);
    DetectionChildren c;
    kolt::detail::forEachChild(node, [&](GAXXMLNode child) {
        const char* tag = child.GetTag();
        if (sameText(tag, shape.nameChild)) {
            c.name = child.GetFirstContent();
        } else if (shape.takesClassName && sameText(tag, elements::ClassName)) {
            c.className = child.GetFirstContent();
        } else if (sameText(tag, elements::Replacement)) {
            c.replacement = child.GetFirstContent();
        } else if (sameText(tag, shape.useSetChild)) {
            manager.parseUseSet(child, shape.useKind, &c.uses);
        } else {
            state.emit(Code::UnexpectedNode, child);
        }
    });
    state.goOn(); // a use set may have lost uses
    if (isEmpty(c.name)) {
        state.emit(shape.noName, node);
        return;
    }
    if (shape.needsUse && c.uses.Size() == 0) {
        state.emit(shape.noUse, node, {c.name}, c.name); // the name as read, entities and all
        return;
    }
    auto* made = makeRule(state, c.name, c.className, c.replacement);
    kolt::detail::BuiltRule<std::remove_pointer_t<decltype(made)>> rule(made);
    for (int i = 1; i <= c.uses.Size(); ++i) {
        if (RuleStorage::addUse(*rule, c.uses[i]) == -1) {
            state.emit(shape.refusedUse, node, {c.uses[i]}, c.uses[i]);
        }
    }
    // Kept even when every use was refused.
    list->Append(rule.get());
    const koltEntityDetection* appended = rule.release();
    state.registeredItem(koltRegistrationKind::Rule, manager.entityDetectionLists(), list->Size(), appended,
                         node);
} catch (const std::bad_alloc&) {
    state.stepFailed();
}

} // namespace

void koltSettingManager::parseFinalClassDetection(GAXXMLNode node,
                                                  GAXListPtrkoltClassDetection* list) noexcept {
    parseDetection(*this, *_state, node, list, kClass,
                   [](LoadState& state, const char* name, const char*, const char* replacement) {
                       return RuleStorage::make<koltClassDetection>(state.arena, state.storedText(name),
                                                                    state.storedText(replacement));
                   });
}

void koltSettingManager::parseFinalInterfaceDetection(GAXXMLNode node,
                                                      GAXListPtrkoltInterfaceDetection* list) noexcept {
    parseDetection(*this, *_state, node, list, kInterface,
                   [](LoadState& state, const char* name, const char*, const char* replacement) {
                       return RuleStorage::make<koltInterfaceDetection>(state.arena, state.storedText(name),
                                                                        state.storedText(replacement));
                   });
}

void koltSettingManager::parseFinalMethodDetection(GAXXMLNode node,
                                                   GAXListPtrkoltMethodDetection* list) noexcept {
    parseDetection(
        *this, *_state, node, list, kMethod,
        [](LoadState& state, const char* signature, const char* className, const char* replacement) {
            const std::size_t length = state.decoding.decode(signature, std::strlen(signature));
            char* methodName = nullptr;
            const int argCount = splitSignature({state.decoding.data(), length}, state.arena, methodName);
            // The class name goes to the rule as read, without decoding.
            return RuleStorage::make<koltMethodDetection>(state.arena, methodName,
                                                          state.storedText(replacement), className, argCount);
        });
}

void koltSettingManager::parseFinalWordDetection(GAXXMLNode node,
                                                 GAXListPtrkoltWordDetection* list) noexcept {
    parseDetection(*this, *_state, node, list, kWord,
                   [](LoadState& state, const char* name, const char*, const char* replacement) {
                       return RuleStorage::make<koltWordDetection>(state.arena, state.storedText(name),
                                                                   state.storedText(replacement));
                   });
}
