// What the language server knows about settings files, as plain functions over a
// document snapshot. No JSON and no protocol here: positions are byte offsets into the
// snapshot's UTF-8 text, and the protocol layer converts them.
#ifndef KOLTSETTINGS_TOOLS_LSP_FEATURES_H
#define KOLTSETTINGS_TOOLS_LSP_FEATURES_H

#include "support/source.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kolt::lsp {

// Bytes [begin, end) of the snapshot's text.
using Span = kolt::tool::Span;

// One version of an open document, valid for the duration of a call.
struct Snapshot {
    std::string_view uri;
    std::int64_t version = 0;
    std::string_view text;
};

enum class Severity { Error = 1, Warning = 2, Information = 3, Hint = 4 };

// Another place in the same document that explains a diagnostic.
struct Related {
    Span span;
    std::string message;
};

struct Diagnostic {
    Span span; // the name, attribute or value concerned
    Severity severity = Severity::Error;
    std::string code;    // "KS007", "KT003"
    std::string message; // one line, naming its subject
    std::string hint;    // "" for none
    std::vector<Related> related;
};

struct TextEdit {
    Span span;
    std::string newText;
};

struct CompletionItem {
    enum class Kind { Element, Attribute, Value };
    std::string label;
    Kind kind = Kind::Element;
    std::string documentation; // Markdown
    TextEdit edit;             // replaces what is typed of the name at the cursor
    bool snippet = false;      // edit.newText holds $1 ... placeholders, indented as it stands
};

struct Completion {
    std::vector<CompletionItem> items;
};

struct Hover {
    Span span;
    std::string markdown;
};

struct CodeAction {
    std::string title;
    std::vector<Diagnostic> diagnostics; // those it fixes
    std::vector<TextEdit> edits;         // on the snapshot's document
    bool preferred = false;
    std::string disabled; // why it cannot be made here ("" when it can): the title says what to do
};

struct Symbol {
    enum class Kind { Section, Group, List };
    std::string name;
    std::string detail; // "12 items"
    Kind kind = Kind::Section;
    Span span;      // the whole element
    Span selection; // its name
    std::vector<Symbol> children;
};

// What the client can show, from its initialize request.
struct ClientSupport {
    bool snippets = false;
};

// The five features, on the check engine of kolt-settings check (tools/support/check.h)
// and the vocabulary tables. Calls throw nothing but std::bad_alloc, for any text or
// offset (an offset past the end means the end); results are for the snapshot given.
class Features {
public:
    Features();
    ~Features();
    Features(const Features&) = delete;
    Features& operator=(const Features&) = delete;

    void setClientSupport(const ClientSupport& support) { _client = support; }

    // What `kolt-settings check` finds in the document alone, in its order.
    std::vector<Diagnostic> diagnostics(const Snapshot& s);
    Completion completion(const Snapshot& s, std::size_t offset);
    std::optional<Hover> hover(const Snapshot& s, std::size_t offset);
    // Quick fixes for the server's diagnostics of this text that touch `range` or are
    // among those the client hands back (matched by code and span).
    std::vector<CodeAction> codeActions(const Snapshot& s, Span range,
                                        const std::vector<Diagnostic>& diagnostics);
    std::vector<Symbol> documentSymbols(const Snapshot& s);

private:
    struct Checked;
    // The findings of the last text checked, for the code actions that follow.
    const Checked& check(const Snapshot& s);

    ClientSupport _client;
    std::unique_ptr<Checked> _last;
};

} // namespace kolt::lsp

#endif
