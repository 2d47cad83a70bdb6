// The single writer of diagnostics.
#include "load_state.h"
#include "text.h"

#include <koltSettings/host/streams.h>

#include <vector>

namespace {

std::string_view tagOf(GAXXMLNode node) noexcept {
    const char* tag = node.GetTag();
    return tag ? std::string_view(tag) : std::string_view();
}

} // namespace

int koltSettingManager::LoadState::siblingIndex(GAXXMLNode parent, GAXXMLNode child) {
    SiblingCursor& cursor = cursors[parent.internal_object()];
    if (cursor.last == child) {
        return cursor.seen[tagOf(child)];
    }
    for (int pass = 0; pass < 2; ++pass) {
        if (cursor.last.IsNull()) {
            cursor.next = parent.GetFirstNode();
        }
        while (cursor.next) {
            const GAXXMLNode sibling = parent.GetNextNode(cursor.next);
            const int index = ++cursor.seen[tagOf(sibling)];
            cursor.last = sibling;
            if (sibling == child) {
                return index;
            }
        }
        // Not after the last one counted: an earlier child, asked out of document order.
        cursor = SiblingCursor();
    }
    return 0; // not a child of `parent`
}

void koltSettingManager::LoadState::emit(kolt::detail::Code code, GAXXMLNode node,
                                         std::initializer_list<const char*> args) {
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
    // One write per record keeps records whole when several loads share the stream.
    rzStderr.write(text.data(), text.size()).flush();

    ++report.total;
    ++report.counts[static_cast<std::size_t>(code)];
    if (!observer) {
        return;
    }
    line.assign(text, 0, lineEnd);
    // "/Settings/OptionLists[1]/Call[17]": the root is unique, every other step is
    // numbered among the siblings of the same name.
    std::vector<GAXXMLNode> chain;
    for (GAXXMLNode n = node; !n.IsNull(); n = n.GetFather()) {
        chain.push_back(n);
    }
    path.clear();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += '/';
        path += tagOf(*it);
        if (it != chain.rbegin()) {
            path += '[';
            path += std::to_string(siblingIndex(*(it - 1), *it));
            path += ']';
        }
    }
    const std::string printed(text, pathStart, pathEnd - pathStart);
    koltDiagnostic d{code,         m.codeName,      line.c_str(), documentName.c_str(), 0, 0,
                     path.c_str(), printed.c_str(), node};
    if (parser) {
        parser->GetLineColumn(node.GetOffset(), d.line, d.column);
    }
    observer->onDiagnostic(d);
}
