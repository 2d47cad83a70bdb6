// The RunType element: the two run settings and the frameworks to exclude.
#include "load_state.h"
#include "text.h"
#include "walk.h"

using kolt::detail::Code;
using kolt::detail::sameText;

void koltSettingManager::parseRunType(GAXXMLNode node) noexcept try {
    LoadState& state = *_state;
    kolt::detail::forEachAttribute(node, [&](const char* name, const char* value) {
        // Only null tests here: an empty value is judged by its attribute's rule.
        if (!name) {
            state.emit(Code::RunTypeAttributeNameNull, node);
        } else if (!value) {
            state.emit(Code::RunTypeAttributeValueNull, node);
        } else if (sameText(name, "TypeOfRun")) {
            if (sameText(value, "Check")) {
                _typeOfRun = 0;
            } else {
                state.emit(Code::TypeOfRunInvalid, node);
            }
        } else if (sameText(name, "ReportTestFw")) {
            if (sameText(value, "true")) {
                _reportTestFw = 1;
            } else if (!sameText(value, "false")) {
                state.emit(Code::ReportTestFwInvalid, node, {value});
            }
        } else {
            state.emit(Code::UnexpectedAttribute, node);
        }
    });
    kolt::detail::forEachChild(node, [&](GAXXMLNode child) {
        if (sameText(child.GetTag(), "ExcludeFramework")) {
            parseFinalGAXListOfGAXString(child, "FrameworkName");
        } else {
            state.emit(Code::UnexpectedNode, child);
        }
    });
} catch (const std::bad_alloc&) {
    _state->stepFailed();
}
