// The ReportSet element: the names of the reports switched on.
#include "../host/text.h"
#include "../host/walk.h"
#include "../optionlists/vocabulary.h"
#include "load_state.h"

using kolt::detail::Code;
using kolt::detail::isEmpty;
using kolt::detail::sameText;
namespace attributes = kolt::detail::attributes;
namespace elements = kolt::detail::elements;
namespace values = kolt::detail::values;

void koltSettingManager::parseReportSet(GAXXMLNode node) noexcept try {
    LoadState& state = *_state;
    state.refuseAttributes(node);
    kolt::detail::forEachChild(node, [&](GAXXMLNode report) {
        if (!sameText(report.GetTag(), elements::Report)) {
            state.emit(Code::UnexpectedNode, report);
            return;
        }
        const char* messageName = nullptr;
        bool activated = false;
        kolt::detail::forEachAttribute(report, [&](const char* name, const char* value) {
            if (isEmpty(name)) {
                state.emitAttribute(Code::AttributeNameNull, report, name);
            } else if (isEmpty(value)) {
                state.emitAttribute(Code::AttributeValueNull, report, name);
            } else if (sameText(name, attributes::MessageName)) {
                messageName = value;
            } else if (sameText(name, attributes::Activate)) {
                if (sameText(value, values::True)) {
                    activated = true;
                } else if (sameText(value, values::False)) {
                    activated = false;
                } else {
                    state.emitAttribute(Code::ReportActivateInvalid, report, name, value, {value});
                }
            } else {
                state.emitAttribute(Code::UnexpectedAttribute, report, name);
            }
        });
        if (isEmpty(messageName)) {
            state.emit(Code::ReportWithoutMessageName, report);
        } else if (activated) {
            // Stored as read: report names are not entity-decoded.
            _activeReports.Append(messageName, nullptr);
            state.registered(koltRegistrationKind::Report, &_activeReports, messageName,
                             _activeReports.Size() - 1, nullptr, report);
        }
        kolt::detail::forEachChild(report,
                                   [&](GAXXMLNode child) { state.emit(Code::UnexpectedNode, child); });
    });
} catch (const std::bad_alloc&) {
    _state->stepFailed();
}
