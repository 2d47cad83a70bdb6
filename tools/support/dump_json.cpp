// The JSON dump.
#include "dump_formats.h"
#include "json.h"
#include "origins.h"

#include "optionlists/vocabulary.h"

#include <koltSettings/settings/manager.h>

#include <ostream>

namespace kolt::tool {

const char* ruleElement(const koltEntityDetection& rule) noexcept {
    namespace elements = kolt::detail::elements;
    if (dynamic_cast<const koltClassDetection*>(&rule)) {
        return elements::ClassDetection;
    }
    if (dynamic_cast<const koltInterfaceDetection*>(&rule)) {
        return elements::InterfaceDetection;
    }
    if (dynamic_cast<const koltMethodDetection*>(&rule)) {
        return elements::MethodDetection;
    }
    return elements::WordDetection;
}

namespace {

// "key": [{"name": ..., itemsKey: [...]}, ...] for every list of a registry; with
// origins, each list's "origin" and "origins", one per item.
template <class List, class WriteItem>
void writeLists(JsonWriter& json, const koltSettingManager& m, Registry r, const char* itemsKey,
                const Origins* origins, WriteItem writeItem) {
    const TAIndex& registry = registryOf(m, r);
    json.key(registryKey(r)).beginArray();
    for (int i = 0; i < registry.Size(); ++i) {
        const auto* list = static_cast<const List*>(registry.GetValue(i));
        const int size = list ? list->Size() : 0;
        json.beginObject().key("name").value(registry.GetName(i)).key(itemsKey).beginArray();
        for (int pos = 1; pos <= size; ++pos) {
            writeItem((*list)[pos]);
        }
        json.endArray();
        if (origins) {
            json.key("origin");
            writeWhere(json, origins->list(r, i));
            json.key("origins").beginArray();
            for (int pos = 1; pos <= size; ++pos) {
                writeWhere(json, origins->item(r, i, pos));
            }
            json.endArray();
        }
        json.endObject();
    }
    json.endArray();
}

void writeRule(JsonWriter& json, const koltEntityDetection* rule) {
    if (!rule) {
        json.null();
        return;
    }
    json.beginObject();
    json.key("kind").value(ruleElement(*rule));
    json.key("detectionType").value(rule->getDetectionType());
    json.key("name").value(rule->getName());
    if (const auto* method = dynamic_cast<const koltMethodDetection*>(rule)) {
        json.key("className").value(method->getClassName());
        json.key("argumentCount").value(method->getArgCount());
        json.key("allClasses").value(method->isAAllClassMethodDetection() != 0);
        json.key("function").value(method->isAFunction() != 0);
    }
    json.key("replacement").value(rule->getReplacementName());
    json.key("uses").beginArray();
    const TAIndex& uses = rule->usesToDetect();
    for (int i = 0; i < uses.Size(); ++i) {
        json.value(uses.GetName(i));
    }
    json.endArray().endObject();
}

} // namespace

void writeJsonDump(const koltSettingManager& m, std::ostream& out, const Origins* origins) {
    JsonWriter json(true);
    json.beginObject();
    json.key("runType").value(static_cast<std::int64_t>(m._typeOfRun));
    json.key("reportTestFramework").value(static_cast<std::int64_t>(m._reportTestFw));
    json.key("reports").beginArray();
    for (int i = 0; i < m.activeReports().Size(); ++i) {
        json.value(m.activeReports().GetName(i));
    }
    json.endArray();
    if (origins) {
        json.key("origins").beginObject();
        json.key("runType");
        writeWhere(json, origins->runSetting(kolt::detail::attributes::TypeOfRun));
        json.key("reportTestFramework");
        writeWhere(json, origins->runSetting(kolt::detail::attributes::ReportTestFw));
        json.key("reports").beginArray();
        for (int i = 0; i < m.activeReports().Size(); ++i) {
            writeWhere(json, origins->report(i));
        }
        json.endArray().endObject();
    }
    writeLists<GAXListValGAXString>(json, m, Registry::Strings, "items", origins,
                                    [&](const GAXString& s) { json.value(std::string_view(s.str())); });
    // The fields of every call record, between those of its kind.
    const auto call = [&](const char* className, const char* signature) {
        json.key("className").value(className).key("methodOrFunctionSign").value(signature);
    };
    writeLists<GAXListPtrCallWithSpecificArg>(
        json, m, Registry::CallsWithSpecificArg, "records", origins, [&](const CallWithSpecificArg* r) {
            json.beginObject();
            call(r->className, r->methodOrFunctionSign);
            json.key("specificArg").value(static_cast<std::int64_t>(r->specificArg)).endObject();
        });
    writeLists<GAXListPtrCall>(json, m, Registry::Calls, "records", origins, [&](const Call* r) {
        json.beginObject();
        call(r->className, r->methodOrFunctionSign);
        json.endObject();
    });
    writeLists<GAXListPtrCallDeclaration>(json, m, Registry::CallDeclarations, "records", origins,
                                          [&](const CallDeclaration* r) {
                                              json.beginObject().key("frameworkName").value(r->frameworkName);
                                              call(r->className, r->methodOrFunctionSign);
                                              json.endObject();
                                          });
    writeLists<GAXListPtrkoltEntityDetection>(json, m, Registry::Detections, "rules", origins,
                                              [&](const koltEntityDetection* r) { writeRule(json, r); });
    json.endObject();
    out << json.str() << '\n';
}

} // namespace kolt::tool
