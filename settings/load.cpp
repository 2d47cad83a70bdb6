// Loading a settings document: the path check, the parse and the walk of the root.
#include "../host/text.h"
#include "../optionlists/vocabulary.h"
#include "load_state.h"

#include <koltSettings/host/streams.h>

#include <new>

namespace {

using kolt::detail::Code;
using kolt::detail::sameText;
namespace elements = kolt::detail::elements;
using LoadState = koltSettingManager::LoadState;

// Clears the running parser when the walk ends, however it ends.
struct ParserScope {
    const RUVXMLParser*& slot;
    ParserScope(const RUVXMLParser*& s, const RUVXMLParser* parser) : slot(s) { slot = parser; }
    ~ParserScope() { slot = nullptr; }
    ParserScope(const ParserScope&) = delete;
    ParserScope& operator=(const ParserScope&) = delete;
};

// Where a document failed to parse. The first parse keeps a line index only for an
// observer (the index of a large file costs time and memory); failures are rare, so the
// input is parsed again with one. Out of memory, the position stays unknown.
template <class Parse>
void locateParseError(koltLoadReport& report, std::ptrdiff_t offset, Parse parse) noexcept {
    if (report.outcome != koltLoadReport::Malformed || report.parseErrorLine != 0) {
        return;
    }
    try {
        RUVXMLParser again;
        again.KeepLineIndex(true);
        parse(again);
        if (again.GetStatus() == RUVXMLParser::Malformed && again.GetErrorOffset() == offset) {
            again.GetLineColumn(offset, report.parseErrorLine, report.parseErrorColumn);
        }
    } catch (const std::bad_alloc&) {
    }
}

// Marks the steps of a walk as part of a load, however the walk ends; steps called on
// their own afterwards start afresh.
struct LoadingScope {
    LoadState& state;
    explicit LoadingScope(LoadState& s) : state(s) { state.loading = true; }
    ~LoadingScope() {
        state.loading = false;
        state.outOfMemory = false;
    }
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;
};

// Runs one load. Memory may run out anywhere, before the walk (the document's name, the
// parser) as well as in it: everything appended so far is complete and owned, the rest
// of the file is lost, and the load fails.
template <class Load>
int guarded(LoadState& state, Load load) noexcept {
    try {
        return load();
    } catch (const std::bad_alloc&) {
        state.report.outcome = koltLoadReport::OutOfMemory;
        return 1;
    }
}

// Parses with `parse`, walks the root with `walk` while the parser gives positions,
// then locates a parse failure.
template <class Parse, class Walk>
int parseAndWalk(LoadState& state, Parse parse, Walk walk) {
    RUVXMLParser parser;
    parser.KeepLineIndex(state.keepsPositions());
    const GAXXMLNode root = parse(parser);
    ParserScope scope(state.parser, &parser);
    const int result = walk(root, parser.GetStatus());
    locateParseError(state.report, parser.GetErrorOffset(), parse);
    return result;
}

} // namespace

int koltSettingManager::loadFromXmlFile(const char* path) noexcept {
    LoadState& state = *_state;
    return guarded(state, [&] {
        state.start(path);
        if (!TAFileName(path).IsFile()) {
            state.report.outcome = koltLoadReport::NotAFile;
            return 1;
        }
        return parseAndWalk(
            state, [path](RUVXMLParser& p) { return p.LoadFromFile(path); },
            [this](GAXXMLNode root, int status) { return walkDocument(root, status); });
    });
}

int koltSettingManager::loadFromXmlMemory(const void* data, std::size_t size,
                                          const char* documentName) noexcept {
    LoadState& state = *_state;
    return guarded(state, [&] {
        state.start(documentName);
        return parseAndWalk(
            state, [data, size](RUVXMLParser& p) { return p.LoadFromMemory(data, size); },
            [this](GAXXMLNode root, int status) { return walkDocument(root, status); });
    });
}

int koltSettingManager::loadFromXmlRoot(GAXXMLNode root, const char* documentName) noexcept {
    LoadState& state = *_state;
    return guarded(state, [&] {
        state.start(documentName);
        return walkDocument(root, RUVXMLParser::Parsed);
    });
}

int koltSettingManager::walkDocument(GAXXMLNode root, int parseStatus) {
    LoadState& state = *_state;
    koltLoadReport& report = state.report;
    switch (parseStatus) {
    case RUVXMLParser::Parsed:
        report.outcome = koltLoadReport::Loaded;
        break;
    case RUVXMLParser::Malformed:
        report.outcome = koltLoadReport::Malformed;
        if (state.parser) {
            report.parseError = state.parser->GetErrorDescription();
            state.parser->GetLineColumn(state.parser->GetErrorOffset(), report.parseErrorLine,
                                        report.parseErrorColumn);
        }
        break;
    case RUVXMLParser::OutOfMemory:
        report.outcome = koltLoadReport::OutOfMemory;
        return 1; // nothing of the document was read
    default:
        report.outcome = koltLoadReport::Unreadable;
        break;
    }
    const LoadingScope loading(state);
    void* cookie = root.GetFirstNode();
    while (cookie) {
        const GAXXMLNode child = root.GetNextNode(cookie);
        const char* tag = child.GetTag();
        if (sameText(tag, elements::RunType)) {
            parseRunType(child);
        } else if (sameText(tag, elements::ReportSet)) {
            parseReportSet(child);
        } else if (sameText(tag, elements::OptionLists)) {
            parseOptionLists(child);
        } else {
            state.emit(Code::UnknownTopLevelElement, child, {state.documentName.c_str()});
            report.outcome = koltLoadReport::Stopped;
            return 1;
        }
        state.goOn();
    }
    return 0;
}

void koltSettingManager::printXmlPath(GAXXMLNode node, int endLine) noexcept try {
    std::string path;
    kolt::detail::appendPath(path, node);
    if (endLine) {
        path += '\n';
    }
    rzStderr.write(path.data(), path.size());
    if (endLine) {
        rzStderr.flush();
    }
} catch (const std::bad_alloc&) {
    // Nothing written: a path is printed whole or not at all.
}

int koltSettingManager::isFinalNode(GAXXMLNode node) noexcept {
    return node.GetFirstAttr() == nullptr && node.GetFirstNode() == nullptr ? 1 : 0;
}
