// The single writer of diagnostics.
#include "load_state.h"
#include "../host/text.h"
#include "../host/walk.h"

#include <koltSettings/host/streams.h>

#include <cstdint>
#include <vector>

namespace {

using Cursor = koltSettingManager::LoadState::SiblingCursor;

// The 1-based rank of `node` among the children of `father` that bear its name.
// Diagnostics come in document order, so the scan goes on from where the previous
// question at the same depth stopped: siblings are counted once per father, not once
// per diagnostic.
int sameNameRank(Cursor& cursor, GAXXMLNode father, GAXXMLNode node) {
    if (cursor.father == father && cursor.node == node) {
        return cursor.rank;
    }
    for (int pass = 0; pass < 2; ++pass) {
        if (cursor.father != father || pass == 1) {
            cursor = Cursor();
            cursor.father = father;
            cursor.next = father.GetFirstNode();
        }
        while (cursor.next) {
            const GAXXMLNode sibling = father.GetNextNode(cursor.next);
            const char* tag = sibling.GetTag();
            const int rank = ++cursor.counts[tag ? tag : ""];
            if (sibling == node) {
                cursor.node = node;
                cursor.rank = rank;
                return rank;
            }
        }
        // Asked about a node before the cursor: count again from the first child.
    }
    return 0;
}

// "/Settings/OptionLists[1]/Call[17]": each step counts earlier siblings of the same name.
void appendIndexedPath(std::string& out, GAXXMLNode node, std::vector<Cursor>& cursors) {
    std::vector<GAXXMLNode> chain;
    for (GAXXMLNode n = node; !n.IsNull(); n = n.GetFather()) {
        chain.push_back(n);
    }
    if (cursors.size() < chain.size()) {
        cursors.resize(chain.size());
    }
    std::size_t depth = 0;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it, ++depth) {
        out += '/';
        out += it->GetTag();
        GAXXMLNode father = it->GetFather();
        if (father.IsNull()) {
            continue; // the root element is unique
        }
        out += '[';
        out += std::to_string(sameNameRank(cursors[depth], father, *it));
        out += ']';
    }
}

// Where the attribute named `attribute` (a pointer into the parsed buffer) starts, or -1.
// The parser keeps names where they were read, so the distance from the element's name
// is the distance in the document.
std::ptrdiff_t attributeOffset(GAXXMLNode node, const char* attribute) noexcept {
    const std::ptrdiff_t element = node.GetOffset();
    const auto name = reinterpret_cast<std::uintptr_t>(node.GetTag());
    const auto at = reinterpret_cast<std::uintptr_t>(attribute);
    if (element < 0 || !attribute || !name || at <= name) {
        return -1;
    }
    return element + static_cast<std::ptrdiff_t>(at - name);
}

} // namespace

void koltSettingManager::LoadState::refuseAttributes(GAXXMLNode node) {
    kolt::detail::forEachAttribute(node, [&](const char* name, const char*) {
        emitAttribute(kolt::detail::Code::NoAttributeAllowed, node, name);
    });
}

void koltSettingManager::LoadState::write(kolt::detail::Code code, GAXXMLNode node,
                                          std::initializer_list<const char*> args, const char* subject,
                                          const char* attribute) {
    goOn();
    const kolt::detail::Message& m = kolt::detail::message(code);
    text.clear();
    kolt::detail::appendMessage(text, code, args);
    const std::size_t lineEnd = text.size();
    text += '\n';
    if (m.dtdLine) {
        text += kolt::detail::kDtdLine;
        text += '\n';
    }
    const std::size_t pathStart = text.size();
    kolt::detail::appendPath(text, node);
    const std::size_t pathEnd = text.size();
    text += '\n';
    // What the observer gets is built before anything is written: when memory runs out
    // here, the record is neither written nor counted.
    std::string printed;
    if (observer) {
        line.assign(text, 0, lineEnd);
        path.clear();
        appendIndexedPath(path, node, cursors);
        printed.assign(text, pathStart, pathEnd - pathStart);
    }
    // One write per record keeps records whole when several loads share the stream.
    rzStderr.write(text.data(), text.size()).flush();

    ++report.total;
    report.counts.add(code);
    if (observer) {
        const char* tag = node.GetTag();
        koltDiagnostic d{code,
                         m.codeName,
                         line.c_str(),
                         documentName.c_str(),
                         0,
                         0,
                         path.c_str(),
                         printed.c_str(),
                         node,
                         subject ? subject
                         : tag   ? tag
                                 : "",
                         0,
                         0};
        if (parser) {
            parser->GetLineColumn(node.GetOffset(), d.line, d.column);
            if (const std::ptrdiff_t at = attributeOffset(node, attribute); at >= 0) {
                parser->GetLineColumn(at, d.attributeLine, d.attributeColumn);
            }
        }
        observer->onDiagnostic(d);
    }
}

void koltSettingManager::LoadState::announce(koltRegistration registration) {
    if (parser) {
        parser->GetLineColumn(registration.node.GetOffset(), registration.line, registration.column);
    }
    registrations->onRegistration(registration);
}
