// The JSON dump.
#include "dump_formats.h"
#include "json.h"

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

// "key": [{"name": ..., itemsKey: [...]}, ...] for every list of a registry.
template <class List, class WriteItem>
void writeLists(JsonWriter& json, const char* key, const TAIndex& registry, const char* itemsKey,
                WriteItem writeItem) {
    json.key(key).beginArray();
    for (int i = 0; i < registry.Size(); ++i) {
        const auto* list = static_cast<const List*>(registry.GetValue(i));
        json.beginObject().key("name").value(registry.GetName(i)).key(itemsKey).beginArray();
        for (int pos = 1; list && pos <= list->Size(); ++pos) {
            writeItem((*list)[pos]);
        }
        json.endArray().endObject();
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

void writeJsonDump(const koltSettingManager& m, std::ostream& out) {
    JsonWriter json(true);
    json.beginObject();
    json.key("runType").value(static_cast<std::int64_t>(m._typeOfRun));
    json.key("reportTestFramework").value(static_cast<std::int64_t>(m._reportTestFw));
    json.key("reports").beginArray();
    for (int i = 0; i < m.activeReports().Size(); ++i) {
        json.value(m.activeReports().GetName(i));
    }
    json.endArray();
    writeLists<GAXListValGAXString>(json, "stringLists", m.stringLists(), "items",
                                    [&](const GAXString& s) { json.value(std::string_view(s.str())); });
    writeLists<GAXListPtrCallWithSpecificArg>(json, "callWithSpecificArgLists", m.callWithSpecificArgLists(),
                                              "records", [&](const CallWithSpecificArg* r) {
                                                  json.beginObject()
                                                      .key("className")
                                                      .value(r->className)
                                                      .key("methodOrFunctionSign")
                                                      .value(r->methodOrFunctionSign)
                                                      .key("specificArg")
                                                      .value(static_cast<std::int64_t>(r->specificArg))
                                                      .endObject();
                                              });
    writeLists<GAXListPtrCall>(json, "callLists", m.callLists(), "records", [&](const Call* r) {
        json.beginObject()
            .key("className")
            .value(r->className)
            .key("methodOrFunctionSign")
            .value(r->methodOrFunctionSign)
            .endObject();
    });
    writeLists<GAXListPtrCallDeclaration>(json, "callDeclarationLists", m.callDeclarationLists(), "records",
                                          [&](const CallDeclaration* r) {
                                              json.beginObject()
                                                  .key("frameworkName")
                                                  .value(r->frameworkName)
                                                  .key("className")
                                                  .value(r->className)
                                                  .key("methodOrFunctionSign")
                                                  .value(r->methodOrFunctionSign)
                                                  .endObject();
                                          });
    writeLists<GAXListPtrkoltEntityDetection>(json, "detectionLists", m.entityDetectionLists(), "rules",
                                              [&](const koltEntityDetection* r) { writeRule(json, r); });
    json.endObject();
    out << json.str() << '\n';
}

} // namespace kolt::tool
