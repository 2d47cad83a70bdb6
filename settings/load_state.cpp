// The single writer of diagnostics.
#include "load_state.h"
#include "text.h"

#include <koltSettings/host/streams.h>

#include <vector>

namespace {

// "/Settings/OptionLists[1]/Call[17]": each step counts earlier siblings of the same name.
void appendIndexedPath(std::string& out, GAXXMLNode node) {
    std::vector<GAXXMLNode> chain;
    for (GAXXMLNode n = node; !n.IsNull(); n = n.GetFather()) {
        chain.push_back(n);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const char* tag = it->GetTag();
        out += '/';
        out += tag;
        GAXXMLNode father = it->GetFather();
        if (father.IsNull()) {
            continue; // the root element is unique
        }
        int index = 0;
        void* cookie = father.GetFirstNode();
        while (cookie) {
            GAXXMLNode sibling = father.GetNextNode(cookie);
            if (kolt::detail::sameText(sibling.GetTag(), tag)) {
                ++index;
            }
            if (sibling == *it) {
                break;
            }
        }
        out += '[';
        out += std::to_string(index);
        out += ']';
    }
}

} // namespace

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
    if (observer) {
        line.assign(text, 0, lineEnd);
        path.clear();
        appendIndexedPath(path, node);
        const std::string printed(text, pathStart, pathEnd - pathStart);
        koltDiagnostic d{code, m.codeName, line.c_str(), documentName.c_str(),
                         0,    0,          path.c_str(), printed.c_str()};
        if (parser) {
            parser->GetLineColumn(node.GetOffset(), d.line, d.column);
        }
        observer->onDiagnostic(d);
    }
}
