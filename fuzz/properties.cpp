// Properties of loading: two loads of one document, and a document cut in two.
#include "properties.h"

#include "host/xml_options.h"

#include <koltSettings/koltSettings.h>

#include <pugixml.hpp>

#include <sstream>
#include <utility>
#include <vector>

namespace kolt::fuzz {

namespace {

std::string text(const char* s) {
    return s ? '"' + std::string(s) + '"' : std::string("null");
}

std::string describe(const GAXString& s) {
    return text(s);
}
std::string describe(const CallWithSpecificArg* r) {
    return text(r->className) + ' ' + text(r->methodOrFunctionSign) + ' ' + std::to_string(r->specificArg);
}
std::string describe(const Call* r) {
    return text(r->className) + ' ' + text(r->methodOrFunctionSign);
}
std::string describe(const CallDeclaration* r) {
    return text(r->frameworkName) + ' ' + text(r->className) + ' ' + text(r->methodOrFunctionSign);
}
std::string describe(const koltEntityDetection* r) {
    std::string d =
        std::string(r->getDetectionType()) + ' ' + text(r->getName()) + ' ' + text(r->getReplacementName());
    if (const auto* m = dynamic_cast<const koltMethodDetection*>(r)) {
        d += ' ' + text(m->getClassName()) + ' ' + std::to_string(m->getArgCount()) + ' ' +
             std::to_string(m->isAAllClassMethodDetection());
    }
    for (int i = 0; i < r->usesToDetect().Size(); ++i) {
        d += ' ';
        d += r->usesToDetect().GetName(i);
    }
    return d;
}

template <class List>
void addLists(Snapshot& s, const char* label, const TAIndex& registry) {
    for (int i = 0; i < registry.Size(); ++i) {
        std::vector<std::string> items;
        if (const auto* list = static_cast<const List*>(registry.GetValue(i))) {
            for (int pos = 1; pos <= list->Size(); ++pos) {
                items.push_back(describe((*list)[pos]));
            }
        }
        s.lists.emplace_back(std::string(label) + ' ' + registry.GetName(i), std::move(items));
    }
}

} // namespace

Snapshot snapshot(const koltSettingManager& m) {
    Snapshot s;
    s.typeOfRun = m._typeOfRun;
    s.reportTestFw = m._reportTestFw;
    std::vector<std::string> reports;
    for (int i = 0; i < m.activeReports().Size(); ++i) {
        reports.emplace_back(m.activeReports().GetName(i));
    }
    s.lists.emplace_back("reports", std::move(reports));
    addLists<GAXListValGAXString>(s, "strings", m.stringLists());
    addLists<GAXListPtrCallWithSpecificArg>(s, "calls-with-arg", m.callWithSpecificArgLists());
    addLists<GAXListPtrCall>(s, "calls", m.callLists());
    addLists<GAXListPtrCallDeclaration>(s, "call-declarations", m.callDeclarationLists());
    addLists<GAXListPtrkoltEntityDetection>(s, "detections", m.entityDetectionLists());
    return s;
}

namespace {

std::string differ(const std::string& what, const std::string& expected, const std::string& actual) {
    return what + "\n--- expected\n" + expected + "\n--- actual\n" + actual;
}

// Rebuilds the diagnostic records from what the observer is handed.
struct Recorder : koltDiagnosticObserver {
    std::string records;
    std::string failure;
    void onDiagnostic(const koltDiagnostic& d) override {
        records += std::string(d.message) + '\n';
        // The two rule-dropping messages have no dtd line.
        if (d.code != koltDiagnosticCode::ClassDetectionNoUse &&
            d.code != koltDiagnosticCode::InterfaceDetectionNoUse) {
            records += "--> This file is not valid according to the dtd\n";
        }
        records += std::string(d.printedPath) + '\n';
        if (failure.empty() &&
            (d.line < 1 || d.column < 1 || d.elementPath[0] != '/' || std::string(d.file) != kDocumentName)) {
            failure = "the observer gets no position, path or file for " + std::string(d.printedPath);
        }
    }
};

// Each registered name answers its own list.
template <class List, class Query>
bool queriesAnswer(const TAIndex& registry, Query query) {
    for (int i = 0; i < registry.Size(); ++i) {
        if (registry.IsIn(registry.GetName(i)) == i &&
            query(registry.GetName(i)) != static_cast<List*>(registry.GetValue(i))) {
            return false;
        }
    }
    return true;
}

std::string queryFailure(const koltSettingManager& m) {
    const bool answered =
        queriesAnswer<GAXListValGAXString>(m.stringLists(),
                                           [&](const char* n) { return m.getGAXListOfGAXString(n); }) &&
        queriesAnswer<GAXListPtrCallWithSpecificArg>(
            m.callWithSpecificArgLists(),
            [&](const char* n) { return m.getGAXListOfCallWithSpecificArg(n); }) &&
        queriesAnswer<GAXListPtrCall>(m.callLists(), [&](const char* n) { return m.getGAXListOfCall(n); }) &&
        queriesAnswer<GAXListPtrCallDeclaration>(
            m.callDeclarationLists(), [&](const char* n) { return m.getGAXListOfCallDeclaration(n); }) &&
        queriesAnswer<GAXListPtrkoltEntityDetection>(
            m.entityDetectionLists(), [&](const char* n) { return m.getGAXListOfEntityDetection(n); });
    for (int i = 0; answered && i < m.activeReports().Size(); ++i) {
        if (m.report(m.activeReports().GetName(i)) != 1) {
            return "report() denies an active report";
        }
    }
    return answered ? std::string() : "a query does not answer the list registered under its name";
}

// Loads documents in turn into one manager, with everything written on the streams
// captured; after a load that returns 1 the rest is skipped when `stopOnFailure`.
struct Run {
    std::vector<int> results;
    std::vector<koltLoadReport> reports;
    std::string err;
    Snapshot state;
    std::string failure; // of the observer or the queries
};

Run load(const std::vector<std::string_view>& documents, bool stopOnFailure) {
    Run run;
    koltSettingManager manager;
    Recorder recorder;
    manager.setDiagnosticObserver(&recorder);
    std::ostringstream out;
    {
        rzStreamRedirect err(rzStderr, out);
        rzStreamRedirect display(rzStdout, out);
        for (std::string_view d : documents) {
            run.results.push_back(manager.loadFromXmlMemory(d.data(), d.size(), kDocumentName));
            run.reports.push_back(manager.lastLoadReport());
            if (stopOnFailure && run.results.back() == 1) {
                break;
            }
        }
    }
    run.err = out.str();
    run.state = snapshot(manager);
    run.failure = recorder.failure;
    if (run.failure.empty() && recorder.records != run.err) {
        run.failure = differ("the observer is not handed what rzStderr gets", run.err, recorder.records);
    }
    if (run.failure.empty()) {
        run.failure = queryFailure(manager);
    }
    return run;
}

std::string join(const std::vector<std::string>& items) {
    std::string all;
    for (const std::string& i : items) {
        all += i + '\n';
    }
    return all;
}

// The element children of the document's root, when the bytes can be cut between them.
struct Cuts {
    std::string rootName;
    std::vector<std::size_t> starts; // offset of each top-level element's '<'
};

bool findCuts(std::string_view document, Cuts& cuts) {
    // In place, as the loader parses: pugixml's copying load_buffer accepts some documents
    // (a NUL byte, then an unfinished tag) that its in-place parse rejects.
    std::string copy(document);
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer_inplace(copy.data(), copy.size(), kolt::detail::kParseOptions, pugi::encoding_auto);
    // Offsets are those of the input only when nothing was converted.
    if (!parsed || parsed.encoding != pugi::encoding_utf8) {
        return false;
    }
    const pugi::xml_node root = doc.document_element();
    for (pugi::xml_node n = root.next_sibling(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_element) {
            return false; // a second root: not well-formed, nothing is walked
        }
    }
    cuts.rootName = root.name();
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const std::ptrdiff_t offset = child.offset_debug();
        const std::string_view name = child.name();
        if (offset < 1 || static_cast<std::size_t>(offset) + name.size() > document.size() ||
            document[static_cast<std::size_t>(offset) - 1] != '<' ||
            document.substr(static_cast<std::size_t>(offset), name.size()) != name) {
            return false;
        }
        cuts.starts.push_back(static_cast<std::size_t>(offset) - 1);
    }
    return true;
}

} // namespace

std::string checkLoadTwice(std::string_view document) {
    const Run once = load({document}, false);
    const Run twice = load({document, document}, false);
    for (const Run* run : {&once, &twice}) {
        if (!run->failure.empty()) {
            return run->failure;
        }
    }
    if (twice.results.size() != 2 || twice.results[0] != once.results[0] ||
        twice.results[1] != once.results[0]) {
        return "the two loads return different results";
    }
    if (twice.err != once.err + once.err) {
        return differ("the second load does not repeat the first one's diagnostics", once.err + once.err,
                      twice.err);
    }
    if (twice.reports[1].total != once.reports[0].total ||
        twice.reports[1].counts != once.reports[0].counts ||
        twice.reports[1].outcome != once.reports[0].outcome) {
        return "the second load's report differs from the first one's";
    }
    if (twice.state.typeOfRun != once.state.typeOfRun ||
        twice.state.reportTestFw != once.state.reportTestFw) {
        return "a second load changes the run settings";
    }
    if (twice.state.lists.size() != once.state.lists.size()) {
        return "a second load registers other lists";
    }
    for (std::size_t i = 0; i < once.state.lists.size(); ++i) {
        const auto& [name, items] = once.state.lists[i];
        std::vector<std::string> doubled = items;
        doubled.insert(doubled.end(), items.begin(), items.end());
        if (twice.state.lists[i].first != name) {
            return differ("lists registered in another order", name, twice.state.lists[i].first);
        }
        if (twice.state.lists[i].second != doubled) {
            return differ("list " + name + " does not hold its items twice", join(doubled),
                          join(twice.state.lists[i].second));
        }
    }
    return {};
}

std::size_t splitPoints(std::string_view document) {
    Cuts cuts;
    return findCuts(document, cuts) && cuts.starts.size() > 1 ? cuts.starts.size() - 1 : 0;
}

std::string checkSplit(std::string_view document, std::size_t point) {
    Cuts cuts;
    if (!findCuts(document, cuts) || point < 1 || point >= cuts.starts.size()) {
        return "no top-level element to cut before";
    }
    const std::size_t cut = cuts.starts[point];
    const std::string first = std::string(document.substr(0, cut)) + "</" + cuts.rootName + ">";
    const std::string second =
        std::string(document.substr(0, cuts.starts[0])) + std::string(document.substr(cut));

    const Run whole = load({document}, false);
    const Run parts = load({first, second}, true);
    if (!parts.failure.empty()) {
        return parts.failure;
    }
    for (const koltLoadReport& r : parts.reports) {
        if (r.outcome != koltLoadReport::Loaded && r.outcome != koltLoadReport::Stopped) {
            return "a part of a well-formed document is not well-formed: " + r.parseError + "\n--- first\n" +
                   first + "\n--- second\n" + second;
        }
    }
    const int result = parts.results.back();
    if (result != whole.results[0]) {
        return "the parts end with " + std::to_string(result) + ", the whole returns " +
               std::to_string(whole.results[0]);
    }
    if (parts.err != whole.err) {
        return differ("the parts write other diagnostics", whole.err, parts.err);
    }
    if (parts.state.typeOfRun != whole.state.typeOfRun ||
        parts.state.reportTestFw != whole.state.reportTestFw) {
        return "the parts give other run settings";
    }
    if (parts.state.lists != whole.state.lists) {
        std::string expected;
        std::string actual;
        for (const auto& [name, items] : whole.state.lists) {
            expected += name + '\n' + join(items);
        }
        for (const auto& [name, items] : parts.state.lists) {
            actual += name + '\n' + join(items);
        }
        return differ("the parts give other lists", expected, actual);
    }
    return {};
}

} // namespace kolt::fuzz
