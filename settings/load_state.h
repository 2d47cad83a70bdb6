// Per-manager state behind the loading steps: diagnostics routing and scratch buffers.
#ifndef KOLTSETTINGS_SETTINGS_LOAD_STATE_H
#define KOLTSETTINGS_SETTINGS_LOAD_STATE_H

#include "../host/arena.h"
#include "entities.h"
#include "messages.h"

#include <koltSettings/settings/manager.h>

#include <initializer_list>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Hidden here rather than in the public header: there it would hide the manager too
// when a consumer compiles the header with default visibility (static library).
struct KOLT_LOCAL koltSettingManager::LoadState {
    koltDiagnosticObserver* observer = nullptr;
    koltRegistrationObserver* registrations = nullptr;
    koltLoadReport report;
    std::string documentName;             // as given to the running load
    const RUVXMLParser* parser = nullptr; // of the running load, for line numbers
    std::string text;                     // diagnostic being written
    std::string line;                     // observer copies
    std::string path;
    kolt::detail::Arena arena;         // call records, rules and their texts, until the manager dies
    kolt::detail::TextBuffer decoding; // a text being entity-decoded

    // Where the indexed paths of the observer stopped counting siblings, per depth.
    struct SiblingCursor {
        GAXXMLNode father;
        GAXXMLNode node;                                  // the last node ranked
        int rank = 0;                                     // its rank among the siblings of its name
        void* next = nullptr;                             // the sibling after it
        std::unordered_map<std::string_view, int> counts; // siblings per name, up to `node`
    };
    std::vector<SiblingCursor> cursors;

    // A copy of `read` in the arena, entities decoded (null stays null): the texts of
    // records and rules, which live as long as the manager.
    char* storedText(const char* read) { return kolt::detail::decodedCopy(arena, decoding, read); }

    // Memory ran out in the running load. The loading steps are noexcept: the step that
    // ran out returns, and every step still running stops where it next calls goOn(), so
    // that what the load registered stays a prefix of what the whole file gives.
    bool loading = false;
    bool outOfMemory = false;

    // Where a step begins, and after it called another step: stops it when memory ran out.
    void goOn() const {
        if (outOfMemory) {
            throw std::bad_alloc();
        }
    }
    // In the handler of a step that ran out of memory; outside a load, nothing to stop.
    void stepFailed() noexcept { outOfMemory = loading; }

    // Positions cost a line index: kept only for someone who listens.
    bool keepsPositions() const noexcept { return observer || registrations; }

    // Tells the registration observer, if any, what `node` has just registered. Nothing
    // is built when there is none: the loader's inner loop pays one test.
    void registered(koltRegistrationKind kind, const TAIndex* registry, const char* name, int position,
                    const void* object, GAXXMLNode node) {
        if (registrations) {
            announce({kind, registry, name, position, object, node, documentName.c_str(), 0, 0});
        }
    }
    // An item of the list that `item`'s father registered, at `position` in it.
    void registeredItem(koltRegistrationKind kind, const TAIndex& registry, int position, const void* object,
                        GAXXMLNode item) {
        if (registrations) {
            registered(kind, &registry, item.GetFather().GetTag(), position, object, item);
        }
    }
    // A list `registry` gained at `position` (-1: none was created).
    void listRegistered(const TAIndex& registry, int position, GAXXMLNode node) {
        if (registrations && position >= 0) {
            registered(koltRegistrationKind::List, &registry, registry.GetName(position), position,
                       registry.GetValue(position), node);
        }
    }

    // Begins the report of a new load.
    void start(const char* name) {
        report = koltLoadReport();
        cursors.clear(); // they point into the previous document
        report.counts = koltLoadReport::Counts(koltDiagnosticCodeCount);
        documentName = name ? name : "";
    }

    // Writes one diagnostic record on rzStderr: the error line of `code` with its
    // arguments, the dtd line when the code has one, and the path of `node`; hands the
    // same to the observer. Every diagnostic of the loader goes through here. The
    // observer's subject is `subject` as read, or the element's name when null.
    void emit(kolt::detail::Code code, GAXXMLNode node, std::initializer_list<const char*> args = {},
              const char* subject = nullptr) {
        write(code, node, args, subject, nullptr);
    }
    // A diagnostic about the attribute of `node` whose name is `attribute` (as read, in
    // the document): placed at it for the observer, and about `subject` as read, or the
    // attribute's name when null.
    void emitAttribute(kolt::detail::Code code, GAXXMLNode node, const char* attribute,
                       const char* subject = nullptr, std::initializer_list<const char*> args = {}) {
        write(code, node, args, subject ? subject : attribute ? attribute : "", attribute);
    }
    // The diagnostics of an element that takes no attribute: one per attribute.
    void refuseAttributes(GAXXMLNode node);
    // The same, once however many attributes there are (lists, records and rules).
    void refuseAttributesOnce(GAXXMLNode node) {
        if (void* first = node.GetFirstAttr()) {
            emitAttribute(kolt::detail::Code::NoAttributeAllowed, node, node.GetAttrName(first));
        }
    }

private:
    void announce(koltRegistration registration);
    void write(kolt::detail::Code code, GAXXMLNode node, std::initializer_list<const char*> args,
               const char* subject, const char* attribute);
};

#endif
