// Call records: CallWithSpecificArg, Call and CallDeclaration elements.
#include "../host/text.h"
#include "../host/walk.h"
#include "../settings/load_state.h"
#include "vocabulary.h"

#include <climits>
#include <cstdint>

namespace {

using kolt::detail::Code;
using kolt::detail::Element;
using kolt::detail::hasChild;
namespace elements = kolt::detail::elements;
using kolt::detail::isEmpty;
using kolt::detail::sameText;

// atoi semantics (leading white space, optional sign, digits up to the first other
// character, 0 without digits), saturated to the 32-bit range instead of overflowing.
std::int32_t parseSpecificArg(const char* text) noexcept {
    auto isSpace = [](char c) {
        return c == ' ' || (c >= '\t' && c <= '\r');
    };
    while (isSpace(*text)) {
        ++text;
    }
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value <= INT32_MAX) { // beyond that the result saturates; stop growing
            value = value * 10 + (*text - '0');
        }
    }
    if (negative) {
        value = -value;
    }
    return static_cast<std::int32_t>(value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : value);
}

// The children of a record element, as read (texts not yet decoded).
struct RecordChildren {
    const char* frameworkName = nullptr;
    const char* className = nullptr;
    const char* signature = nullptr;
    std::int32_t specificArg = -1;
};

// Whether `Record` has the field `Field`, decided when compiling.
template <Element Record, Element Field>
constexpr bool kTakes = hasChild(Record, Field);

// The fields `Record` takes, from its rows; a later child of the same name replaces the
// earlier value.
template <Element Record>
RecordChildren readChildren(koltSettingManager::LoadState& state, GAXXMLNode node) {
    state.goOn();
    state.refuseAttributesOnce(node);
    RecordChildren r;
    kolt::detail::forEachChild(node, [&](GAXXMLNode child) {
        const char* tag = child.GetTag();
        if (kTakes<Record, Element::ClassName> && sameText(tag, elements::ClassName)) {
            r.className = child.GetFirstContent();
        } else if (kTakes<Record, Element::MethodOrFunctionSign> &&
                   sameText(tag, elements::MethodOrFunctionSign)) {
            r.signature = child.GetFirstContent();
        } else if (kTakes<Record, Element::FrameworkName> && sameText(tag, elements::FrameworkName)) {
            r.frameworkName = child.GetFirstContent();
        } else if (kTakes<Record, Element::SpecificArg> && sameText(tag, elements::SpecificArg)) {
            if (const char* text = child.GetFirstContent(); !isEmpty(text)) {
                r.specificArg = parseSpecificArg(text);
            }
        } else {
            state.emit(Code::UnexpectedNode, child);
        }
    });
    return r;
}

// Records and their texts live in the manager's arena: they are never released one by
// one, only all together when the manager dies.
template <class Record>
Record* newRecord(koltSettingManager::LoadState& state) {
    return state.arena.make<Record>();
}

} // namespace

void koltSettingManager::parseFinalCallWithSpecificArg(GAXXMLNode node,
                                                       GAXListPtrCallWithSpecificArg* list) noexcept try {
    if (!list) {
        return;
    }
    const RecordChildren r = readChildren<Element::CallWithSpecificArg>(*_state, node);
    if (isEmpty(r.signature)) {
        _state->emit(Code::CallWithSpecificArgNoSignature, node);
        return;
    }
    if (r.specificArg < 0) {
        _state->emit(Code::CallWithSpecificArgBadArg, node);
        return;
    }
    auto* record = newRecord<CallWithSpecificArg>(*_state);
    record->className = _state->storedText(r.className);
    record->methodOrFunctionSign = _state->storedText(r.signature);
    record->specificArg = r.specificArg;
    list->Append(record);
    _state->registeredItem(koltRegistrationKind::Record, _callWithSpecificArgLists, list->Size(), record,
                           node);
} catch (const std::bad_alloc&) {
    _state->stepFailed();
}

void koltSettingManager::parseFinalCall(GAXXMLNode node, GAXListPtrCall* list) noexcept try {
    if (!list) {
        return;
    }
    const RecordChildren r = readChildren<Element::Call>(*_state, node);
    if (isEmpty(r.signature)) {
        _state->emit(Code::CallNoSignature, node);
        return;
    }
    auto* record = newRecord<Call>(*_state);
    record->className = _state->storedText(r.className);
    record->methodOrFunctionSign = _state->storedText(r.signature);
    list->Append(record);
    _state->registeredItem(koltRegistrationKind::Record, _callLists, list->Size(), record, node);
} catch (const std::bad_alloc&) {
    _state->stepFailed();
}

void koltSettingManager::parseFinalCallDeclaration(GAXXMLNode node, GAXListPtrCallDeclaration* list) noexcept
    try {
    if (!list) {
        return;
    }
    const RecordChildren r = readChildren<Element::CallDeclaration>(*_state, node);
    if (isEmpty(r.frameworkName)) {
        _state->emit(Code::CallDeclarationNoFramework, node);
        return;
    }
    if (isEmpty(r.signature)) {
        _state->emit(Code::CallDeclarationNoSignature, node);
        return;
    }
    auto* record = newRecord<CallDeclaration>(*_state);
    record->frameworkName = _state->storedText(r.frameworkName);
    record->className = _state->storedText(r.className);
    record->methodOrFunctionSign = _state->storedText(r.signature);
    list->Append(record);
    _state->registeredItem(koltRegistrationKind::Record, _callDeclarationLists, list->Size(), record, node);
} catch (const std::bad_alloc&) {
    _state->stepFailed();
}
