// Warnings: a walk of the document that takes the loader's turns, then what the load
// registered, entry by entry.
#include "warnings.h"
#include "escape.h"
#include "hints.h"
#include "origins.h"

#include "host/text.h"
#include "host/walk.h"
#include "optionlists/vocabulary.h"

#include <pugixml.hpp>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace kolt::tool {

namespace {

using kolt::detail::Element;
using kolt::detail::isEmpty;
using kolt::detail::ListKind;
using kolt::detail::nameOf;
using kolt::detail::sameText;
namespace attributes = kolt::detail::attributes;
namespace elements = kolt::detail::elements;
namespace values = kolt::detail::values;

// Where something was, in one of the documents checked in turn.
struct Place {
    std::size_t file = 0;
    std::ptrdiff_t offset = -1;
    int line = 0;
    int column = 0;
};

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// The pieces of text of an element as the parser keeps them, in order; the loader reads
// the first.
struct Piece {
    const char* text;
    bool cdata;
};
std::vector<Piece> piecesOf(GAXXMLNode element) {
    std::vector<Piece> pieces;
    const pugi::xml_node node(element.internal_object());
    if (*node.value()) { // a text read before any child is kept in the element itself
        pieces.push_back({node.value(), false});
    }
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            pieces.push_back({child.value(), child.type() == pugi::node_cdata});
        }
    }
    return pieces;
}

// The last child named `tag`: a record or rule keeps the last of a repeated field.
GAXXMLNode lastChild(GAXXMLNode node, const char* tag) {
    GAXXMLNode found;
    kolt::detail::forEachChild(node, [&](GAXXMLNode child) {
        if (sameText(child.GetTag(), tag)) {
            found = child;
        }
    });
    return found;
}

// A reference in a text: "&name;" or "&#...;", as the loader leaves it.
struct Reference {
    std::size_t at = 0; // index in the text
    std::size_t length = 0;
    bool character = false;
    std::string decoded; // a character reference's character, as a fix may write it; "" for none
};

// The five entities the loader decodes in most texts.
bool isDecodedEntity(std::string_view name) {
    return name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos";
}

std::string utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// The character a reference's digits name, as a text the loader decodes would hold it
// written out; "" when it names none, or none that can stand there as itself.
std::string characterOf(std::string_view digits, bool decodedText, bool attribute) {
    const bool hex = !digits.empty() && digits.front() == 'x';
    char32_t c = 0;
    for (char d : hex ? digits.substr(1) : digits) {
        const int v = d >= '0' && d <= '9'          ? d - '0'
                      : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                      : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                    : -1;
        if (v < 0 || c > 0x10FFFF) {
            return {};
        }
        c = c * (hex ? 16 : 10) + static_cast<char32_t>(v);
    }
    if (c == '<' || c == '&') {
        return decodedText ? (c == '<' ? "&lt;" : "&amp;") : "";
    }
    // The parser turns CR into LF in texts, and every blank into a space in attributes.
    if (c == '\r' || (attribute && (c == '\t' || c == '\n' || c == '"' || c == '\''))) {
        return {};
    }
    const std::string text = utf8(c);
    return c <= 0x10FFFF && isXmlWritable(text) ? text : "";
}

std::vector<Reference> referencesIn(std::string_view text, bool decodedText, bool attribute) {
    std::vector<Reference> found;
    for (std::size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
        const std::size_t end = text.find(';', at);
        if (end == std::string_view::npos) {
            break;
        }
        const std::string_view body = text.substr(at + 1, end - at - 1);
        Reference r{at, end + 1 - at, !body.empty() && body.front() == '#', {}};
        if (r.character) {
            const std::string_view digits = body.substr(1);
            const bool hex = !digits.empty() && digits.front() == 'x';
            const std::string_view number = hex ? digits.substr(1) : digits;
            if (number.empty() || number.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
                                      std::string_view::npos) {
                continue;
            }
            r.decoded = characterOf(digits, decodedText, attribute);
        } else if (!isXmlName(body) || (decodedText && isDecodedEntity(body))) {
            continue;
        }
        found.push_back(std::move(r));
    }
    return found;
}

// atoi's reading of a SpecificArg, saturated as the loader saturates it, when the text
// says something else than a plain number: blanks, an optional sign, digits, blanks.
bool plainNumber(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        text.remove_prefix(1);
    }
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    text.remove_prefix(std::min(text.find_first_not_of('0'), text.size()));
    return text.size() < 10 || (text.size() == 10 && text <= "2147483647");
}

// The uses a kind of rule permits, for a hint.
std::string permittedUses(kolt::detail::UseKind kind) {
    std::string out;
    for (const auto& use : kolt::detail::permitted::kUses) {
        if (kolt::detail::permits(kind, use)) {
            out += (out.empty() ? "'" : ", '") + std::string(use.name) + "'";
        }
    }
    return out;
}

} // namespace

Suggestion renameElement(const Source& source, Span span, const std::string& name) {
    Suggestion s{Suggestion::Kind::Rename, name, {{span.begin, span.end, name}}};
    if (const auto endTag = source.endTagName(span.begin)) {
        s.edits.push_back({endTag->begin, endTag->end, name});
    }
    return s;
}

struct WarningMemory::Lists {
    std::vector<std::string> files; // the documents, in the order they were checked
    // The entries of each list by what they hold, keyed by registry and name: where each
    // was first.
    std::unordered_map<std::string, std::unordered_map<std::string, Place>> entries;
    std::unordered_map<std::string, Place> activations; // report name: first activation
};

WarningMemory::WarningMemory() : _lists(std::make_unique<Lists>()) {}
WarningMemory::~WarningMemory() = default;

struct WarningScan::Walk {
    // A list element, and the elements the loader will append to it in this document.
    struct List {
        Registry registry;
        ListKind kind;
        std::string name;
        std::vector<GAXXMLNode> entries;
        int before = 0;
    };
    // A Report that activates, or says Activate="false" last.
    struct ReportSaid {
        GAXXMLNode report;
        const char* name;
        const char* nameAttribute;
        const char* activate; // the Activate attribute's name; null when it activates
    };

    const Source& source;
    std::string file;
    WarningMemory::Lists& memory;
    std::size_t fileIndex;
    RUVXMLParser parser;
    std::uintptr_t base = 0; // where the parser's buffer begins
    std::vector<List> lists;
    std::unordered_map<std::string, std::size_t> listIndex; // by registry and name
    std::vector<ReportSaid> reports;
    std::vector<GAXXMLNode> longerNames; // prefix-matched detection lists
    std::vector<Finding> found;
    std::vector<Place*> newPlaces; // to place once the document is done

    Walk(const Source& s, const std::string& name, WarningMemory::Lists& m)
        : source(s), file(name), memory(m), fileIndex(m.files.size()) {
        m.files.push_back(name);
    }

    // --- Where things are ------------------------------------------------------------

    // The offset of a name or text the parser handed over; -1 when its offsets are not
    // those of the document (a converted encoding).
    std::ptrdiff_t offsetOf(const char* p) const {
        return source.utf8() && p ? static_cast<std::ptrdiff_t>(reinterpret_cast<std::uintptr_t>(p) - base)
                                  : -1;
    }

    Finding& add(const ToolCode& code, std::ptrdiff_t begin, std::ptrdiff_t end, std::string message,
                 std::string hint, std::string subject) {
        Finding& f = found.emplace_back();
        f.severity = Severity::Warning;
        f.code = code.code;
        f.file = file;
        f.message = std::move(message);
        f.hint = std::move(hint);
        f.subject = std::move(subject);
        if (begin >= 0) {
            f.hasSpan = true;
            f.begin = static_cast<std::size_t>(begin);
            f.end = static_cast<std::size_t>(std::max(begin, end));
        }
        return f;
    }
    Finding& addAtElement(const ToolCode& code, GAXXMLNode element, std::string message, std::string hint,
                          std::string subject) {
        const std::ptrdiff_t at = offsetOf(element.GetTag());
        return add(code, at, at < 0 ? at : at + static_cast<std::ptrdiff_t>(std::strlen(element.GetTag())),
                   std::move(message), std::move(hint), std::move(subject));
    }
    Place& remember(std::unordered_map<std::string, Place>& places, const std::string& key,
                    std::ptrdiff_t offset, bool& first) {
        const auto [it, inserted] = places.try_emplace(key, Place{fileIndex, offset});
        first = inserted;
        if (inserted) {
            newPlaces.push_back(&it->second);
        }
        return it->second;
    }
    // Refers the last finding to `p`.
    void relate(const Place& p, std::string message) {
        Finding& f = found.back();
        f.related.push_back({memory.files[p.file], p.line, p.column, std::move(message)});
        if (p.file == fileIndex) {
            pendingRelated.push_back({found.size() - 1, f.related.size() - 1, &p});
        }
    }
    // Related places in this document get their position with everything else.
    struct PendingRelated {
        std::size_t finding;
        std::size_t index;
        const Place* place;
    };
    std::vector<PendingRelated> pendingRelated;

    // --- The walk, as the loader takes it ----------------------------------------------

    void document(std::string_view bytes) {
        const GAXXMLNode root = parser.LoadFromMemory(bytes.data(), bytes.size());
        if (root.IsNull()) {
            return;
        }
        base =
            reinterpret_cast<std::uintptr_t>(root.GetTag()) - static_cast<std::uintptr_t>(root.GetOffset());
        void* cookie = root.GetFirstNode();
        while (cookie) {
            const GAXXMLNode child = root.GetNextNode(cookie);
            const char* tag = child.GetTag();
            if (sameText(tag, elements::RunType)) {
                kolt::detail::forEachChild(child, [&](GAXXMLNode list) {
                    if (sameText(list.GetTag(), elements::ExcludeFramework)) {
                        listElement(list, Registry::Strings, ListKind::Strings, elements::FrameworkName);
                    }
                });
            } else if (sameText(tag, elements::ReportSet)) {
                reportSet(child);
            } else if (sameText(tag, elements::OptionLists)) {
                kolt::detail::forEachChild(child, [&](GAXXMLNode group) {
                    if (const auto* row = kolt::detail::findGroup(group.GetTag())) {
                        groupElement(group, row->group);
                    }
                });
            } else {
                return; // the load stops here
            }
        }
    }

    void reportSet(GAXXMLNode node) {
        kolt::detail::forEachChild(node, [&](GAXXMLNode report) {
            if (!sameText(report.GetTag(), elements::Report)) {
                return;
            }
            ReportSaid said{report, nullptr, nullptr, nullptr};
            bool activated = false;
            for (void* a = report.GetFirstAttr(); a; report.GetNextAttr(a)) {
                const char* name = report.GetAttrName(a);
                const char* value = report.GetAttrValue(a);
                if (isEmpty(name) || isEmpty(value)) {
                    continue;
                }
                if (sameText(name, attributes::MessageName)) {
                    said.name = value;
                    said.nameAttribute = name;
                } else if (sameText(name, attributes::Activate) && sameText(value, values::True)) {
                    activated = true;
                } else if (sameText(name, attributes::Activate) && sameText(value, values::False)) {
                    activated = false;
                    said.activate = name;
                }
            }
            if (isEmpty(said.name) || (!activated && !said.activate)) {
                return;
            }
            if (activated) {
                said.activate = nullptr;
            }
            reports.push_back(said);
        });
    }

    void groupElement(GAXXMLNode group, kolt::detail::Group id) {
        kolt::detail::forEachChild(group, [&](GAXXMLNode list) {
            const auto* row = kolt::detail::findList(id, list.GetTag());
            if (!row) {
                return;
            }
            if (row->match == kolt::detail::Match::Prefix && !sameText(row->element, list.GetTag())) {
                longerNames.push_back(list);
            }
            switch (row->kind) {
            case ListKind::Strings:
                listElement(list, Registry::Strings, row->kind, row->item);
                break;
            case ListKind::CallsWithSpecificArg:
                listElement(list, Registry::CallsWithSpecificArg, row->kind, elements::CallWithSpecificArg);
                break;
            case ListKind::Calls:
                listElement(list, Registry::Calls, row->kind, elements::Call);
                break;
            case ListKind::CallDeclarations:
                listElement(list, Registry::CallDeclarations, row->kind, elements::CallDeclaration);
                break;
            case ListKind::CallsOrDeclarations: {
                void* cookie = list.GetFirstNode();
                const char* first = list.GetNextNode(cookie).GetTag();
                if (!first) {
                    emptyList(list, " is empty and registers no list");
                } else if (sameText(first, row->item)) {
                    listElement(list, Registry::CallDeclarations, ListKind::CallDeclarations,
                                elements::CallDeclaration);
                } else {
                    listElement(list, Registry::Calls, ListKind::Calls, elements::Call);
                }
                break;
            }
            default: // the four kinds of rules
                listElement(list, Registry::Detections, row->kind, nameOf(ruleRow(row->kind).rule));
                break;
            }
        });
    }

    static const kolt::detail::UseKindRow& ruleRow(ListKind kind) {
        using kolt::detail::UseKind;
        return kolt::detail::rowOf(kind == ListKind::ClassDetections       ? UseKind::Class
                                   : kind == ListKind::InterfaceDetections ? UseKind::Interface
                                   : kind == ListKind::MethodDetections    ? UseKind::Method
                                                                           : UseKind::Word);
    }

    // A list element: the children the loader will append (records and rules unless the
    // load refuses them).
    void listElement(GAXXMLNode node, Registry registry, ListKind kind, const char* item) {
        const char* name = node.GetTag();
        if (isEmpty(name)) {
            return;
        }
        const std::string key = std::string(1, static_cast<char>(registry)) + name;
        const auto [it, inserted] = listIndex.try_emplace(key, lists.size());
        if (inserted) {
            lists.push_back({registry, kind, name, {}, 0});
        }
        List& list = lists[it->second];
        bool any = false;
        kolt::detail::forEachChild(node, [&](GAXXMLNode child) {
            any = true;
            if (!sameText(child.GetTag(), item)) {
                return;
            }
            if (registry == Registry::Strings &&
                (child.GetFirstAttr() || child.GetFirstNode() || isEmpty(child.GetFirstContent()))) {
                return; // refused, or empty and skipped
            }
            list.entries.push_back(child);
        });
        if (!any) {
            emptyList(node, " is empty", item);
        }
    }

    void emptyList(GAXXMLNode node, const char* says, const char* item = nullptr) {
        std::string hint =
            item ? "it holds no '" + std::string(item) + "'; add items or remove it" : "remove it";
        for (const Piece& p : piecesOf(node)) {
            if (const std::string_view text = trimmed(p.text); !text.empty() && item) {
                hint = "its text is no item: write <" + std::string(item) + ">" + std::string(text) + "</" +
                       item + ">";
                break;
            }
        }
        addAtElement(kWarnEmptyList, node, "list " + quoted(node.GetTag()) + says, std::move(hint),
                     node.GetTag());
    }

    // --- What the load registered ------------------------------------------------------

    static int sizeOf(const koltSettingManager& m, const List& list) {
        const TAIndex& registry = registryOf(m, list.registry);
        const int index = registry.IsIn(list.name.c_str());
        return index < 0 ? 0 : listSize(list.registry, registry.GetValue(index));
    }

    // A text the loader stores, where the parser read it, and what it stored.
    struct Text {
        GAXXMLNode element;
        const char* what;                // the element or attribute, for messages
        const char* read;                // as the parser handed it over
        const char* attribute = nullptr; // an attribute value: the attribute's name
        bool cdata = false;
        bool decoded = true; // the loader decodes the five entities in it
    };

    Text fieldText(GAXXMLNode element, bool decoded = true) {
        const std::vector<Piece> pieces = piecesOf(element);
        Text t{element, element.GetTag(), pieces.empty() ? nullptr : pieces.front().text};
        t.cdata = !pieces.empty() && pieces.front().cdata;
        t.decoded = decoded;
        return t;
    }

    // The bytes of a text in the document; begin < 0 when unknown.
    std::pair<std::ptrdiff_t, std::ptrdiff_t> rawSpan(const Text& t) const {
        if (t.attribute) {
            const std::ptrdiff_t at = offsetOf(t.attribute);
            if (const auto a = at < 0 ? std::nullopt : source.attribute(static_cast<std::size_t>(at))) {
                return {static_cast<std::ptrdiff_t>(a->value.begin),
                        static_cast<std::ptrdiff_t>(a->value.end)};
            }
            return {-1, -1};
        }
        const std::ptrdiff_t at = offsetOf(t.read);
        if (at < 0) {
            return {-1, -1};
        }
        const Span s = source.text(static_cast<std::size_t>(at), t.cdata);
        return {static_cast<std::ptrdiff_t>(s.begin), static_cast<std::ptrdiff_t>(s.end)};
    }

    // KW002 to KW005 on a text the loader stored as `stored`.
    void checkText(const Text& t, std::string_view stored) {
        if (!t.read) {
            return;
        }
        const auto span = rawSpan(t); // a structured binding could not be captured below
        const std::ptrdiff_t begin = span.first;
        const std::ptrdiff_t end = span.second;
        const std::string what = t.what;
        if (!stored.empty() && (isBlank(stored.front()) || isBlank(stored.back()))) {
            const std::string_view inner = trimmed(stored);
            const bool front = isBlank(stored.front());
            const bool back = isBlank(stored.back());
            Finding& f = add(kWarnBlanks, begin, end,
                             inner.empty() ? what + " " + quoted(stored) + " is made of blanks only"
                                           : what + " " + quoted(stored) + " keeps the blanks at its " +
                                                 (front && back ? "start and end"
                                                  : front       ? "start"
                                                                : "end"),
                             "the checker compares texts as written: remove the blanks", std::string(stored));
            if (begin >= 0) {
                const std::string_view raw = source.bytes().substr(static_cast<std::size_t>(begin),
                                                                   static_cast<std::size_t>(end - begin));
                if (!trimmed(raw).empty() && trimmed(raw).size() != raw.size()) {
                    f.suggestions.push_back({Suggestion::Kind::Replace,
                                             std::string(trimmed(raw)),
                                             {{f.begin, f.end, std::string(trimmed(raw))}}});
                }
            }
        }
        if (!t.attribute) {
            checkPieces(t, stored);
        }
        if (t.cdata) {
            return; // a CDATA section holds no reference, for XML as for the loader
        }
        const std::vector<Reference> refs = referencesIn(t.read, t.decoded, t.attribute != nullptr);
        const auto at = [&](std::size_t index) -> std::ptrdiff_t {
            const std::ptrdiff_t from = t.attribute ? begin : offsetOf(t.read);
            return from < 0
                       ? -1
                       : static_cast<std::ptrdiff_t>(source.inText(static_cast<std::size_t>(from), index));
        };
        for (const bool character : {true, false}) {
            const auto first = std::find_if(refs.begin(), refs.end(),
                                            [&](const Reference& r) { return r.character == character; });
            if (first == refs.end()) {
                continue;
            }
            const std::string written(t.read + first->at, first->length);
            const std::ptrdiff_t from = at(first->at);
            Finding& f =
                character
                    ? add(kWarnCharacterReference, from, from < 0 ? -1 : at(first->at + first->length),
                          what + " keeps " + quoted(written) + " as written" +
                              (first->decoded.empty() ? "" : ", not as " + quoted(first->decoded)),
                          "the loader decodes no character reference: write the character itself", written)
                    : add(kWarnEntityReference, from, from < 0 ? -1 : at(first->at + first->length),
                          what + " keeps " + quoted(written) + " as written",
                          t.decoded
                              ? "the loader decodes only &amp; &lt; &gt; &quot; &apos;: write the "
                                "character itself"
                              : what + " is taken exactly as written: write the name without references",
                          written);
            if (!character || begin < 0) {
                continue;
            }
            Suggestion s{Suggestion::Kind::Replace, {}, {}};
            for (const Reference& r : refs) {
                if (r.character && !r.decoded.empty()) {
                    s.edits.push_back({static_cast<std::size_t>(at(r.at)),
                                       static_cast<std::size_t>(at(r.at + r.length)), r.decoded});
                }
            }
            if (!s.edits.empty()) {
                s.text = first->decoded;
                f.suggestions.push_back(std::move(s));
            }
        }
    }

    // KW003: an element's text in pieces.
    void checkPieces(const Text& t, std::string_view stored) {
        const std::vector<Piece> pieces = piecesOf(t.element);
        if (std::none_of(pieces.begin() + std::min<std::size_t>(1, pieces.size()), pieces.end(),
                         [](const Piece& p) { return !trimmed(p.text).empty(); })) {
            return;
        }
        std::ptrdiff_t begin = -1;
        std::ptrdiff_t end = -1;
        // What ends the first piece: known from the pieces for CDATA, else from the bytes.
        std::string splitter =
            t.cdata || pieces[1].cdata ? "CDATA section" : "comment or processing instruction";
        if (const std::ptrdiff_t first = offsetOf(pieces.front().text); first >= 0) {
            begin = static_cast<std::ptrdiff_t>(source.text(static_cast<std::size_t>(first), t.cdata).end) +
                    (t.cdata ? 3 : 0);
            const std::string_view after = source.bytes().substr(static_cast<std::size_t>(begin));
            if (!t.cdata) {
                splitter = after.substr(0, 4) == "<!--"        ? "comment"
                           : after.substr(0, 2) == "<?"        ? "processing instruction"
                           : after.substr(0, 9) == "<![CDATA[" ? "CDATA section"
                                                               : "element";
            }
            const Piece& last = pieces.back();
            end = static_cast<std::ptrdiff_t>(
                source.text(static_cast<std::size_t>(offsetOf(last.text)), last.cdata).end);
        }
        add(kWarnSplitText, begin, end,
            std::string(t.what) + " is read as " + quoted(stored) + ": " +
                (splitter == "element" ? "an " : "a ") + splitter +
                " splits its text, and the rest is dropped",
            splitter == "CDATA section"
                ? "write the text all inside one CDATA section, or all outside"
                : "write the text in one piece: move the " + splitter + " out of the element",
            std::string(stored));
    }

    // KW006: `key` listed before in the same list.
    void checkRepeated(const List& list, GAXXMLNode entry, const std::string& key, const std::string& shown,
                       const std::string& subject) {
        bool first = false;
        const Place& p =
            remember(memory.entries[std::string(1, static_cast<char>(list.registry)) + list.name], key,
                     offsetOf(entry.GetTag()), first);
        if (!first) {
            addAtElement(kWarnDuplicate, entry, shown + " is listed twice in " + quoted(list.name),
                         "the list holds it twice: remove one", subject);
            relate(p, "listed first here");
        }
    }

    void finishList(const koltSettingManager& m, List& list,
                    const std::unordered_set<std::ptrdiff_t>& refused) {
        if (list.registry != Registry::Strings) {
            list.entries.erase(std::remove_if(list.entries.begin(), list.entries.end(),
                                              [&](GAXXMLNode n) { return refused.count(n.GetOffset()) > 0; }),
                               list.entries.end());
        }
        if (sizeOf(m, list) - list.before != static_cast<int>(list.entries.size())) {
            return; // not what the load registered: say nothing rather than something wrong
        }
        const char* name = list.name.c_str();
        for (std::size_t i = 0; i < list.entries.size(); ++i) {
            const GAXXMLNode entry = list.entries[i];
            const int pos = list.before + static_cast<int>(i) + 1;
            switch (list.registry) {
            case Registry::Strings: {
                const GAXString& item = (*m.getGAXListOfGAXString(name))[pos];
                checkText(fieldText(entry), item.str());
                checkRepeated(list, entry, item.str(), quoted(item.str()), item.str());
                break;
            }
            case Registry::CallsWithSpecificArg: {
                const CallWithSpecificArg& r = *(*m.getGAXListOfCallWithSpecificArg(name))[pos];
                checkRecord(list, entry, r.className, r.methodOrFunctionSign, nullptr,
                            "/" + std::to_string(r.specificArg));
                checkSpecificArg(entry, r.specificArg);
                break;
            }
            case Registry::Calls: {
                const Call& r = *(*m.getGAXListOfCall(name))[pos];
                checkRecord(list, entry, r.className, r.methodOrFunctionSign, nullptr, "");
                break;
            }
            case Registry::CallDeclarations: {
                const CallDeclaration& r = *(*m.getGAXListOfCallDeclaration(name))[pos];
                checkRecord(list, entry, r.className, r.methodOrFunctionSign, r.frameworkName, "");
                break;
            }
            case Registry::Detections:
                checkRule(list, entry, *(*m.getGAXListOfEntityDetection(name))[pos]);
                break;
            }
        }
    }

    void checkField(GAXXMLNode record, const char* field, const char* stored, bool decoded = true) {
        if (const GAXXMLNode e = lastChild(record, field); !e.IsNull() && stored) {
            checkText(fieldText(e, decoded), stored);
        }
    }

    void checkRecord(const List& list, GAXXMLNode entry, const char* className, const char* signature,
                     const char* framework, const std::string& argument) {
        checkField(entry, elements::ClassName, className);
        checkField(entry, elements::MethodOrFunctionSign, signature);
        checkField(entry, elements::FrameworkName, framework);
        std::string key = std::string(signature) + '\0' + (className ? className : "\x01") + '\0' +
                          (framework ? framework : "") + argument;
        checkRepeated(list, entry, key,
                      std::string(entry.GetTag()) + " " + quoted(signature) +
                          (className ? " of " + quoted(className) : std::string()),
                      signature);
    }

    // KW001: the SpecificArg the record kept (the last that is not empty).
    void checkSpecificArg(GAXXMLNode record, std::int32_t value) {
        GAXXMLNode arg;
        kolt::detail::forEachChild(record, [&](GAXXMLNode child) {
            if (sameText(child.GetTag(), elements::SpecificArg) && !isEmpty(child.GetFirstContent())) {
                arg = child;
            }
        });
        if (arg.IsNull()) {
            return;
        }
        const Text t = fieldText(arg);
        checkPieces(t, t.read);
        if (plainNumber(t.read)) {
            return;
        }
        const auto [begin, end] = rawSpan(t);
        Finding& f = add(kWarnSpecificArg, begin, end,
                         "SpecificArg " + quoted(t.read) + " is read as " + std::to_string(value),
                         "write the position in decimal digits only", t.read);
        const std::string_view digits = trimmed(t.read);
        if (begin >= 0 && value < INT32_MAX && !digits.empty() && digits.front() >= '0' &&
            digits.front() <= '9') {
            f.suggestions.push_back({Suggestion::Kind::Replace,
                                     std::to_string(value),
                                     {{f.begin, f.end, std::to_string(value)}}});
        }
    }

    void checkRule(const List& list, GAXXMLNode entry, const koltEntityDetection& rule) {
        const auto& kind = ruleRow(list.kind);
        const auto* method = dynamic_cast<const koltMethodDetection*>(&rule);
        checkField(entry, nameOf(kolt::detail::firstRequiredText(kind.rule)), rule.getName());
        checkField(entry, elements::Replacement, rule.getReplacementName());
        if (method) {
            // Kept as written; RootClass reads as no class at all.
            checkField(entry, elements::ClassName, method->getClassName(), false);
        }
        std::string key = rule.getName() ? rule.getName() : "";
        if (method) {
            key += '\0' + std::string(method->getClassName() ? method->getClassName() : "") + '\0' +
                   std::to_string(method->getArgCount()) +
                   std::to_string(method->isAAllClassMethodDetection());
        }
        const std::string name = rule.getName() ? rule.getName() : "";
        checkRepeated(list, entry, key, "a rule on " + quoted(name), name);
        if (kolt::detail::requiresChild(kind.rule, kind.useSet) && rule.usesToDetect().Size() == 0) {
            addAtElement(
                kWarnRuleWithoutUse, entry,
                std::string(nameOf(kind.rule)) + " " + quoted(name) +
                    " is kept without a use: every prohibited use was refused, and it reports nothing",
                std::string(kind.name) == "Class"
                    ? "classes permit " + permittedUses(kolt::detail::UseKind::Class)
                    : "interfaces permit " + permittedUses(kolt::detail::UseKind::Interface),
                name);
        }
    }

    void finishReports(const koltSettingManager& m) {
        for (const ReportSaid& r : reports) {
            bool first = false;
            if (!r.activate) {
                remember(memory.activations, r.name, offsetOf(r.nameAttribute), first);
                Text t{r.report, attributes::MessageName, r.name, r.nameAttribute};
                t.decoded = false;
                checkText(t, r.name);
                continue;
            }
            const auto it = memory.activations.find(r.name);
            if (it == memory.activations.end() || m.report(r.name) != 1) {
                continue;
            }
            const std::ptrdiff_t at = offsetOf(r.activate);
            const auto a = at < 0 ? std::nullopt : source.attribute(static_cast<std::size_t>(at));
            add(kWarnActivateFalse, a ? static_cast<std::ptrdiff_t>(a->whole.begin) : -1,
                a ? static_cast<std::ptrdiff_t>(a->whole.end) : -1,
                "report " + quoted(r.name) + " stays active: Activate=\"false\" switches nothing off",
                "loads only ever switch reports on: remove the activation instead", r.name);
            relate(it->second, "activated here");
        }
    }
};

WarningScan::WarningScan(const Source& source, const std::string& name, const koltSettingManager& manager,
                         WarningMemory& memory)
    : _walk(std::make_unique<Walk>(source, name, *memory._lists)) {
    _walk->document(source.bytes());
    for (Walk::List& list : _walk->lists) {
        list.before = Walk::sizeOf(manager, list);
    }
}

WarningScan::~WarningScan() = default;

void WarningScan::finish(const koltSettingManager& manager, const std::unordered_set<std::ptrdiff_t>& refused,
                         std::vector<Finding>& out) {
    Walk& w = *_walk;
    for (Walk::List& list : w.lists) {
        w.finishList(manager, list, refused);
    }
    w.finishReports(manager);
    for (const GAXXMLNode list : w.longerNames) {
        const auto* group = kolt::detail::findGroup(list.GetFather().GetTag());
        const auto* row = group ? kolt::detail::findList(group->group, list.GetTag()) : nullptr;
        if (!row || manager.entityDetectionLists().IsIn(list.GetTag()) < 0) {
            continue;
        }
        Finding& f = w.addAtElement(
            kWarnLongerName, list, "detection list " + quoted(list.GetTag()) + " is a list of its own",
            quoted(list.GetTag()) + " is registered under its own name; the checker asks for " +
                quoted(row->element),
            list.GetTag());
        if (f.hasSpan) {
            f.suggestions.push_back(renameElement(w.source, {f.begin, f.end}, row->element));
        }
    }
    // Positions, in increasing order of offsets: each is found from the one before.
    std::vector<std::pair<std::size_t, std::pair<int*, int*>>> targets;
    for (Finding& f : w.found) {
        if (f.hasSpan) {
            targets.push_back({f.begin, {&f.line, &f.column}});
        }
    }
    for (Place* p : w.newPlaces) {
        if (p->offset >= 0) {
            targets.push_back({static_cast<std::size_t>(p->offset), {&p->line, &p->column}});
        }
    }
    std::sort(targets.begin(), targets.end());
    for (const auto& [offset, where] : targets) {
        const Source::Position p = w.source.position(offset);
        *where.first = p.line;
        *where.second = p.column;
    }
    for (const auto& r : w.pendingRelated) {
        w.found[r.finding].related[r.index].line = r.place->line;
        w.found[r.finding].related[r.index].column = r.place->column;
    }
    std::move(w.found.begin(), w.found.end(), std::back_inserter(out));
    w.found.clear();
}

} // namespace kolt::tool
