// Detection elements: ClassDetection, InterfaceDetection, MethodDetection, WordDetection.
#include "../settings/load_state.h"
#include "../settings/text.h"
#include "../settings/walk.h"

#include <algorithm>
#include <memory>
#include <string>

namespace {

using kolt::detail::Code;
using kolt::detail::isEmpty;
using kolt::detail::sameText;

// What differs between the four kinds of detection element.
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

constexpr DetectionShape kClass{"ClassName",
                                false,
                                "ClassUseSet",
                                "Class",
                                Code::ClassDetectionNoName,
                                true,
                                Code::ClassDetectionNoUse,
                                Code::ClassUseRefused};
constexpr DetectionShape kInterface{"ClassName",
                                    false,
                                    "InterfaceUseSet",
                                    "Interface",
                                    Code::InterfaceDetectionNoName,
                                    true,
                                    Code::InterfaceDetectionNoUse,
                                    Code::InterfaceUseRefused};
constexpr DetectionShape kMethod{"MethodOrFunctionSign",
                                 true,
                                 "MethodUseSet",
                                 "Method",
                                 Code::MethodDetectionNoName,
                                 false,
                                 Code::MethodDetectionNoName,
                                 Code::MethodUseRefused};
constexpr DetectionShape kWord{"WordName",
                               false,
                               "WordUseSet",
                               "Word",
                               Code::WordDetectionNoName,
                               false,
                               Code::WordDetectionNoName,
                               Code::WordUseRefused};

// The children of a detection element, as read.
struct DetectionChildren {
    const char* name = nullptr;
    const char* className = nullptr;
    const char* replacement = nullptr;
    GAXListValGAXString uses;
};

// Decodes `text` into `out` and returns it, or null for a null text.
const char* decodeInto(std::string& out, const char* text) {
    if (!text) {
        return nullptr;
    }
    out.assign(text);
    out.resize(std::strlen(kolt::detail::decodeEntities(out.data())));
    return out.c_str();
}

// The method name (text before the first "(" without its blanks) and the argument count
// (pieces between commas up to the first ")", as Split counts them; -1 without "(").
int splitSignature(const std::string& signature, std::string& methodName) {
    const std::size_t open = signature.find('(');
    int argCount = -1;
    methodName.assign(signature, 0, open);
    if (open != std::string::npos) {
        const std::size_t close = signature.find(')', open + 1);
        const std::size_t end = close == std::string::npos ? signature.size() : close;
        argCount = 0;
        if (end > open + 1) {
            argCount = 1;
            for (std::size_t i = open + 1; i < end; ++i) {
                argCount += signature[i] == ',' ? 1 : 0;
            }
        }
    }
    // Only the space character is a blank here; tabs and line breaks stay.
    methodName.erase(std::remove(methodName.begin(), methodName.end(), ' '), methodName.end());
    return argCount;
}

// Shared walk of the four detection parsers; `makeRule` builds the rule from the
// decoded name, the class name as read, and the decoded replacement.
template <class List, class MakeRule>
void parseDetection(koltSettingManager& manager, koltSettingManager::LoadState& state, GAXXMLNode node,
                    List* list, const DetectionShape& shape, MakeRule makeRule) {
    if (!list) {
        return;
    }
    if (node.GetFirstAttr()) {
        state.emit(Code::NoAttributeAllowed, node); // once, however many attributes
    }
    DetectionChildren c;
    kolt::detail::forEachChild(node, [&](GAXXMLNode child) {
        const char* tag = child.GetTag();
        if (sameText(tag, shape.nameChild)) {
            c.name = child.GetFirstContent();
        } else if (shape.takesClassName && sameText(tag, "ClassName")) {
            c.className = child.GetFirstContent();
        } else if (sameText(tag, "Replacement")) {
            c.replacement = child.GetFirstContent();
        } else if (sameText(tag, shape.useSetChild)) {
            manager.parseUseSet(child, shape.useKind, &c.uses);
        } else {
            state.emit(Code::UnexpectedNode, child);
        }
    });
    if (isEmpty(c.name)) {
        state.emit(shape.noName, node);
        return;
    }
    if (shape.needsUse && c.uses.Size() == 0) {
        state.emit(shape.noUse, node, {c.name}); // the name as read, entities and all
        return;
    }
    std::string name;
    std::string replacement;
    auto* made = makeRule(decodeInto(name, c.name), c.className, decodeInto(replacement, c.replacement));
    std::unique_ptr<std::remove_pointer_t<decltype(made)>> rule(made);
    for (int i = 1; i <= c.uses.Size(); ++i) {
        if (rule->addUse(c.uses[i]) == -1) {
            state.emit(shape.refusedUse, node, {c.uses[i]});
        }
    }
    // Kept even when every use was refused.
    list->Append(rule.get());
    rule.release();
}

} // namespace

void koltSettingManager::parseFinalClassDetection(GAXXMLNode node, GAXListPtrkoltClassDetection* list) {
    parseDetection(*this, *_state, node, list, kClass,
                   [](const char* name, const char*, const char* replacement) {
                       return new koltClassDetection(name, replacement);
                   });
}

void koltSettingManager::parseFinalInterfaceDetection(GAXXMLNode node,
                                                      GAXListPtrkoltInterfaceDetection* list) {
    parseDetection(*this, *_state, node, list, kInterface,
                   [](const char* name, const char*, const char* replacement) {
                       return new koltInterfaceDetection(name, replacement);
                   });
}

void koltSettingManager::parseFinalMethodDetection(GAXXMLNode node, GAXListPtrkoltMethodDetection* list) {
    parseDetection(*this, *_state, node, list, kMethod,
                   [](const char* signature, const char* className, const char* replacement) {
                       std::string methodName;
                       const int argCount = splitSignature(signature, methodName);
                       // The class name goes to the rule as read, without decoding.
                       return new koltMethodDetection(methodName.c_str(), className, argCount, replacement);
                   });
}

void koltSettingManager::parseFinalWordDetection(GAXXMLNode node, GAXListPtrkoltWordDetection* list) {
    parseDetection(*this, *_state, node, list, kWord,
                   [](const char* name, const char*, const char* replacement) {
                       return new koltWordDetection(name, replacement);
                   });
}
