// The RunType element: the two run settings and the frameworks to exclude.
#include "../host/text.h"
#include "../host/walk.h"
#include "../optionlists/vocabulary.h"
#include "load_state.h"

using kolt::detail::Code;
using kolt::detail::sameText;
namespace attributes = kolt::detail::attributes;
namespace elements = kolt::detail::elements;
namespace values = kolt::detail::values;

void koltSettingManager::parseRunType(GAXXMLNode node) noexcept try {
    LoadState& state = *_state;
    kolt::detail::forEachAttribute(node, [&](const char* name, const char* value) {
        // Only null tests here: an empty value is judged by its attribute's rule.
        if (!name) {
            state.emitAttribute(Code::RunTypeAttributeNameNull, node, name);
        } else if (!value) {
            state.emitAttribute(Code::RunTypeAttributeValueNull, node, name);
        } else if (sameText(name, attributes::TypeOfRun)) {
            if (sameText(value, values::Check)) {
                _typeOfRun = 0;
                state.registered(koltRegistrationKind::RunSetting, nullptr, name, 0, nullptr, node);
            } else {
                state.emitAttribute(Code::TypeOfRunInvalid, node, name, value);
            }
        } else if (sameText(name, attributes::ReportTestFw)) {
            if (sameText(value, values::True)) {
                _reportTestFw = 1;
                state.registered(koltRegistrationKind::RunSetting, nullptr, name, 0, nullptr, node);
            } else if (!sameText(value, values::False)) {
                state.emitAttribute(Code::ReportTestFwInvalid, node, name, value, {value});
            }
        } else {
            state.emitAttribute(Code::UnexpectedAttribute, node, name);
        }
    });
    kolt::detail::forEachChild(node, [&](GAXXMLNode child) {
        if (sameText(child.GetTag(), elements::ExcludeFramework)) {
            parseFinalGAXListOfGAXString(child, elements::FrameworkName);
        } else {
            state.emit(Code::UnexpectedNode, child);
        }
    });
} catch (const std::bad_alloc&) {
    _state->stepFailed();
}
