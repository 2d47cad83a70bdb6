// Well-formedness through libxml2, the parser xmllint and many editors use, so that
// they and kolt-settings agree on what is XML.
#include "wellformed.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <memory>
#include <mutex>
#include <new>

namespace kolt::tool {

namespace {

// The parser's error numbers by kind, first match wins. A few numbers stand for several
// kinds, which only the start of the message tells apart. An error not listed is
// kXmlOther, unless where it arose says more (kindOf).
struct KindRow {
    int error;
    const ToolCode* code;
    std::string_view messageStart = {};
};
constexpr KindRow kKinds[] = {
    {XML_ERR_INVALID_CHAR, &kXmlEncoding, "Input is not proper"},
    {XML_ERR_INVALID_CHAR, &kXmlForbiddenCharRef, "xmlParseCharRef"},
    {XML_ERR_INVALID_CHAR, &kXmlForbiddenCharRef, "xmlParseStringCharRef"},
    {XML_ERR_NAME_REQUIRED, &kXmlBadReference, "xmlParseEntityRef"},
    {XML_ERR_NAME_REQUIRED, &kXmlBadReference, "xmlParseStringEntityRef"},
    {XML_ERR_INTERNAL_ERROR, &kXmlDoctype, "internal error: xmlParseInternalSubset"},
    {XML_ERR_INTERNAL_ERROR, &kXmlLimit},
    {XML_ERR_NO_MEMORY, &kXmlLimit},
    {XML_ERR_NAME_TOO_LONG, &kXmlLimit},
    {XML_ERR_DOCUMENT_START, &kXmlStructure},
    {XML_ERR_DOCUMENT_EMPTY, &kXmlStructure},
    {XML_ERR_LT_REQUIRED, &kXmlStructure},
    {XML_ERR_GT_REQUIRED, &kXmlStructure},
    {XML_ERR_LTSLASH_REQUIRED, &kXmlStructure},
    {XML_ERR_TAG_NAME_MISMATCH, &kXmlStructure},
    {XML_ERR_TAG_NOT_FINISHED, &kXmlStructure},
    {XML_ERR_NOT_WELL_BALANCED, &kXmlStructure},
    {XML_ERR_CDATA_NOT_FINISHED, &kXmlStructure},
    {XML_ERR_PI_NOT_FINISHED, &kXmlStructure},
    {XML_ERR_ATTRIBUTE_REDEFINED, &kXmlDuplicateAttribute},
    {XML_ERR_LT_IN_ATTRIBUTE, &kXmlAttributeSyntax},
    {XML_ERR_ATTRIBUTE_NOT_STARTED, &kXmlAttributeSyntax},
    {XML_ERR_ATTRIBUTE_NOT_FINISHED, &kXmlAttributeSyntax},
    {XML_ERR_ATTRIBUTE_WITHOUT_VALUE, &kXmlAttributeSyntax},
    {XML_ERR_UNDECLARED_ENTITY, &kXmlUndeclaredEntity},
    {XML_ERR_CHARREF_AT_EOF, &kXmlBadReference},
    {XML_ERR_CHARREF_IN_PROLOG, &kXmlBadReference},
    {XML_ERR_CHARREF_IN_EPILOG, &kXmlBadReference},
    {XML_ERR_ENTITYREF_AT_EOF, &kXmlBadReference},
    {XML_ERR_ENTITYREF_IN_PROLOG, &kXmlBadReference},
    {XML_ERR_ENTITYREF_IN_EPILOG, &kXmlBadReference},
    {XML_ERR_ENTITYREF_NO_NAME, &kXmlBadReference},
    {XML_ERR_ENTITYREF_SEMICOL_MISSING, &kXmlBadReference},
    {XML_ERR_UNPARSED_ENTITY, &kXmlBadReference},
    {XML_ERR_ENTITY_IS_EXTERNAL, &kXmlBadReference},
    {XML_ERR_ENTITY_IS_PARAMETER, &kXmlBadReference},
    {XML_ERR_INVALID_CHAR, &kXmlForbiddenChar},
    {XML_ERR_INVALID_HEX_CHARREF, &kXmlForbiddenCharRef},
    {XML_ERR_INVALID_DEC_CHARREF, &kXmlForbiddenCharRef},
    {XML_ERR_INVALID_CHARREF, &kXmlForbiddenCharRef},
    {XML_ERR_MISPLACED_CDATA_END, &kXmlCdataEnd},
    {XML_ERR_HYPHEN_IN_COMMENT, &kXmlComment},
    {XML_ERR_COMMENT_NOT_FINISHED, &kXmlComment},
    {XML_ERR_RESERVED_XML_NAME, &kXmlReservedName},
    {XML_ERR_XMLDECL_NOT_STARTED, &kXmlDeclaration},
    {XML_ERR_XMLDECL_NOT_FINISHED, &kXmlDeclaration},
    {XML_ERR_VERSION_MISSING, &kXmlDeclaration},
    {XML_ERR_UNKNOWN_VERSION, &kXmlDeclaration},
    {XML_ERR_VERSION_MISMATCH, &kXmlDeclaration},
    {XML_ERR_STANDALONE_VALUE, &kXmlDeclaration},
    {XML_ERR_ENCODING_NAME, &kXmlDeclaration},
    {XML_ERR_STRING_NOT_STARTED, &kXmlDeclaration},
    {XML_ERR_STRING_NOT_CLOSED, &kXmlDeclaration},
    {XML_ERR_UNKNOWN_ENCODING, &kXmlEncoding},
    {XML_ERR_UNSUPPORTED_ENCODING, &kXmlEncoding},
    {XML_ERR_INVALID_ENCODING, &kXmlEncoding},
    {XML_ERR_MISSING_ENCODING, &kXmlEncoding},
    {XML_ERR_DOCUMENT_END, &kXmlAfterRoot},
    {XML_ERR_EXTRA_CONTENT, &kXmlAfterRoot},
    {XML_ERR_NAME_REQUIRED, &kXmlName},
    {XML_ERR_NMTOKEN_REQUIRED, &kXmlName},
    {XML_ERR_PI_NOT_STARTED, &kXmlName},
    {XML_ERR_CHARREF_IN_DTD, &kXmlDoctype},
    {XML_ERR_ENTITYREF_IN_DTD, &kXmlDoctype},
    {XML_ERR_PEREF_AT_EOF, &kXmlDoctype},
    {XML_ERR_PEREF_IN_PROLOG, &kXmlDoctype},
    {XML_ERR_PEREF_IN_EPILOG, &kXmlDoctype},
    {XML_ERR_PEREF_IN_INT_SUBSET, &kXmlDoctype},
    {XML_ERR_PEREF_NO_NAME, &kXmlDoctype},
    {XML_ERR_PEREF_SEMICOL_MISSING, &kXmlDoctype},
    {XML_ERR_ENTITY_NOT_STARTED, &kXmlDoctype},
    {XML_ERR_ENTITY_NOT_FINISHED, &kXmlDoctype},
    {XML_ERR_LITERAL_NOT_STARTED, &kXmlDoctype},
    {XML_ERR_LITERAL_NOT_FINISHED, &kXmlDoctype},
    {XML_ERR_NOTATION_NOT_STARTED, &kXmlDoctype},
    {XML_ERR_NOTATION_NOT_FINISHED, &kXmlDoctype},
    {XML_ERR_ATTLIST_NOT_STARTED, &kXmlDoctype},
    {XML_ERR_ATTLIST_NOT_FINISHED, &kXmlDoctype},
    {XML_ERR_MIXED_NOT_STARTED, &kXmlDoctype},
    {XML_ERR_MIXED_NOT_FINISHED, &kXmlDoctype},
    {XML_ERR_ELEMCONTENT_NOT_STARTED, &kXmlDoctype},
    {XML_ERR_ELEMCONTENT_NOT_FINISHED, &kXmlDoctype},
    {XML_ERR_CONDSEC_NOT_STARTED, &kXmlDoctype},
    {XML_ERR_CONDSEC_NOT_FINISHED, &kXmlDoctype},
    {XML_ERR_CONDSEC_INVALID, &kXmlDoctype},
    {XML_ERR_CONDSEC_INVALID_KEYWORD, &kXmlDoctype},
    {XML_ERR_EXT_SUBSET_NOT_FINISHED, &kXmlDoctype},
    {XML_ERR_DOCTYPE_NOT_FINISHED, &kXmlDoctype},
    {XML_ERR_SEPARATOR_REQUIRED, &kXmlDoctype},
    {XML_ERR_PCDATA_REQUIRED, &kXmlDoctype},
    {XML_ERR_URI_REQUIRED, &kXmlDoctype},
    {XML_ERR_PUBID_REQUIRED, &kXmlDoctype},
    {XML_ERR_ENTITY_PE_INTERNAL, &kXmlDoctype},
    {XML_ERR_ENTITY_CHAR_ERROR, &kXmlDoctype},
    {XML_ERR_ENTITY_LOOP, &kXmlEntityExpansion},
    {XML_ERR_ENTITY_BOUNDARY, &kXmlEntityExpansion},
    {XML_ERR_ENTITY_PROCESSING, &kXmlEntityExpansion},
};

template <class Error>
const ToolCode* kindOf(const Error& e) {
    const std::string_view message = e.message ? e.message : "";
    for (const KindRow& row : kKinds) {
        if (row.error == e.code && message.substr(0, row.messageStart.size()) == row.messageStart) {
            return row.code;
        }
    }
    // Errors of no kind of their own ("Blank needed here") take that of where they arose.
    if (e.domain == XML_FROM_PARSER && e.ctxt) {
        const auto* parser = static_cast<const xmlParserCtxt*>(e.ctxt);
        if (parser->inSubset != 0) {
            return &kXmlDoctype;
        }
        if (parser->instate == XML_PARSER_START) {
            return &kXmlDeclaration; // nothing but the XML declaration is read in that state
        }
    }
    return &kXmlOther;
}

// The parser's message on one line; its code's summary when it has none.
std::string oneLine(const char* message, const ToolCode& code) {
    std::string out = message ? message : "";
    if (out.compare(0, 26, "Unregistered error message") == 0) {
        out = code.summary;
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) {
        out.pop_back();
    }
    for (char& c : out) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return out;
}

struct Collector {
    const xmlParserCtxt* document = nullptr; // the context parsing the document itself
    std::vector<XmlViolation> fatal;
    std::vector<XmlViolation> errors; // errors of the XML domains that did not say fatal
    bool outOfMemory = false;
};

// libxml2 2.12 passes a const error; either signature binds.
template <class Error>
void onError(void* data, Error* e) {
    auto* c = static_cast<Collector*>(data);
    if (!e || (e->level != XML_ERR_FATAL && e->level != XML_ERR_ERROR)) {
        return;
    }
    if (e->level == XML_ERR_ERROR && e->domain != XML_FROM_PARSER) {
        return; // namespaces and validity are not well-formedness
    }
    try {
        const ToolCode* code = kindOf(*e);
        XmlViolation v{code, e->line, e->int2, oneLine(e->message, *code)};
        // The text of an entity is parsed by a context of its own, which counts lines from
        // the start of that text: the reference in the document is where to look.
        if (e->ctxt && e->ctxt != c->document && c->document && c->document->input) {
            v.line = c->document->input->line;
            v.column = c->document->input->col;
            v.description += " (in the text of the entity referenced here)";
        }
        auto& list = e->level == XML_ERR_FATAL ? c->fatal : c->errors;
        const bool repeated = !list.empty() && list.back().code == v.code && list.back().line == v.line &&
                              list.back().column == v.column && list.back().description == v.description;
        if (!repeated) { // the parser says some things twice
            list.push_back(std::move(v));
        }
    } catch (const std::bad_alloc&) { // never through the parser's C frames
        c->outOfMemory = true;
    }
}

// Whether this thread is inside checkWellFormed.
thread_local bool tChecking = false;
xmlExternalEntityLoader gOtherLoader = nullptr;

// The options below already keep the parser from loading anything; should it try all
// the same, the loader refuses during a check and leaves other users of libxml2 alone.
xmlParserInputPtr refuseWhileChecking(const char* url, const char* id, xmlParserCtxtPtr context) {
    return tChecking ? nullptr : gOtherLoader(url, id, context);
}

void initialise() {
    xmlInitParser();
    gOtherLoader = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(refuseWhileChecking);
}

// While it lives, this thread's libxml2 errors go to `collector` (those without a parser
// context would otherwise go to standard error) and nothing external is loaded.
class CheckScope {
public:
    explicit CheckScope(Collector& collector)
        : _handler(xmlStructuredError), _context(xmlStructuredErrorContext) {
        xmlSetStructuredErrorFunc(&collector, onError);
        tChecking = true;
    }
    ~CheckScope() {
        tChecking = false;
        xmlSetStructuredErrorFunc(_context, _handler);
    }
    CheckScope(const CheckScope&) = delete;
    CheckScope& operator=(const CheckScope&) = delete;

private:
    xmlStructuredErrorFunc _handler;
    void* _context;
};

struct ContextDeleter {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};
struct DocDeleter {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

// The options of xmllint --noout, and XML_PARSE_NONET, which decides nothing about
// well-formedness: no entity substitution (XML_PARSE_NOENT), no DTD loading, defaulting
// or validation, no XInclude, and the default limits on sizes and entity amplification
// (no XML_PARSE_HUGE). A document is built, as xmllint does: its checks of entity
// declarations depend on it.
constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_COMPACT | XML_PARSE_BIG_LINES;

} // namespace

std::vector<XmlViolation> checkWellFormed(std::string_view document, const std::string& name) {
    if (document.size() > static_cast<std::size_t>(INT_MAX)) {
        return {{&kXmlLimit, 0, 0, "the document is larger than the parser takes (2 GiB)"}};
    }
    static std::once_flag initialised;
    std::call_once(initialised, initialise);

    Collector collector;
    bool wellFormed = false;
    {
        CheckScope scope(collector);
        std::unique_ptr<xmlParserCtxt, ContextDeleter> context(xmlNewParserCtxt());
        if (!context) {
            throw std::bad_alloc();
        }
        collector.document = context.get();
        std::unique_ptr<xmlDoc, DocDeleter> doc(xmlCtxtReadMemory(context.get(), document.data(),
                                                                  static_cast<int>(document.size()),
                                                                  name.c_str(), nullptr, kOptions));
        wellFormed = doc && context->wellFormed;
    }
    if (collector.outOfMemory) {
        throw std::bad_alloc();
    }
    if (wellFormed) {
        return {};
    }
    if (collector.fatal.empty()) {
        collector.fatal = std::move(collector.errors);
    }
    if (collector.fatal.empty()) {
        collector.fatal.push_back({&kXmlOther, 0, 0, "not well-formed"});
    }
    return std::move(collector.fatal);
}

} // namespace kolt::tool
