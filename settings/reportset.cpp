// The ReportSet element: the names of the reports switched on.
#include "load_state.h"
#include "text.h"
#include "walk.h"

using kolt::detail::Code;
using kolt::detail::isEmpty;
using kolt::detail::sameText;

void koltSettingManager::parseReportSet(GAXXMLNode node) noexcept try {
    LoadState& state = *_state;
    kolt::detail::forEachAttribute(
        node, [&](const char*, const char*) { state.emit(Code::NoAttributeAllowed, node); });
    kolt::detail::forEachChild(node, [&](GAXXMLNode report) {
        if (!sameText(report.GetTag(), "Report")) {
            state.emit(Code::UnexpectedNode, report);
            return;
        }
        const char* messageName = nullptr;
        bool activated = false;
        kolt::detail::forEachAttribute(report, [&](const char* name, const char* value) {
            if (isEmpty(name)) {
                state.emit(Code::AttributeNameNull, report);
            } else if (isEmpty(value)) {
                state.emit(Code::AttributeValueNull, report);
            } else if (sameText(name, "MessageName")) {
                messageName = value;
            } else if (sameText(name, "Activate")) {
                if (sameText(value, "true")) {
                    activated = true;
                } else if (sameText(value, "false")) {
                    activated = false;
                } else {
                    state.emit(Code::ReportActivateInvalid, report, {value});
                }
            } else {
                state.emit(Code::UnexpectedAttribute, report);
            }
        });
        if (isEmpty(messageName)) {
            state.emit(Code::ReportWithoutMessageName, report);
        } else if (activated) {
            // Stored as read: report names are not entity-decoded.
            _activeReports.Append(messageName, nullptr);
        }
        kolt::detail::forEachChild(report,
                                   [&](GAXXMLNode child) { state.emit(Code::UnexpectedNode, child); });
    });
} catch (const std::bad_alloc&) {
    _state->stepFailed();
}
