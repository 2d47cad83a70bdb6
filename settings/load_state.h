// Per-manager state behind the loading steps: diagnostics routing and scratch buffers.
#ifndef KOLTSETTINGS_SETTINGS_LOAD_STATE_H
#define KOLTSETTINGS_SETTINGS_LOAD_STATE_H

#include "messages.h"

#include <koltSettings/settings/manager.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>

// Hidden here rather than in the public header: there it would hide the manager too
// when a consumer compiles the header with default visibility (static library).
struct KOLT_LOCAL koltSettingManager::LoadState {
    koltDiagnosticObserver* observer = nullptr;
    koltLoadReport report;
    std::string documentName;             // as given to the running load
    const RUVXMLParser* parser = nullptr; // of the running load, for line numbers
    std::string text;                     // diagnostic being written
    std::string line;                     // observer copies
    std::string path;

    // How far the children of one element have been counted for indexed paths. The walk
    // reports the children of an element in document order, so counting resumes where
    // the previous diagnostic left off and a list of n bad items costs O(n) in all.
    struct SiblingCursor {
        void* next = nullptr;                           // child cookie after `last`
        GAXXMLNode last;                                // last child counted; null before the first
        std::unordered_map<std::string_view, int> seen; // children counted, by name
    };
    // Keyed by parent element; holds pointers into the running document only.
    std::unordered_map<const void*, SiblingCursor> cursors;

    // Begins the report of a new load.
    void start(const char* name) {
        report = koltLoadReport();
        documentName = name ? name : "";
        cursors.clear();
    }

    // Writes one diagnostic record on rzStderr: the error line of `code` with its
    // arguments, the dtd line when the code has one, and the path of `node`; hands the
    // same to the observer. Every diagnostic of the loader goes through here.
    void emit(kolt::detail::Code code, GAXXMLNode node, std::initializer_list<const char*> args = {});

    // 1-based position of `child` among the children of `parent` that bear its name.
    int siblingIndex(GAXXMLNode parent, GAXXMLNode child);
};

#endif
