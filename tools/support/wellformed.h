// Strict XML 1.0 well-formedness, for what the loader's lenient parser lets through.
#ifndef KOLTSETTINGS_TOOLS_WELLFORMED_H
#define KOLTSETTINGS_TOOLS_WELLFORMED_H

#include "findings.h"

#include <string>
#include <string_view>
#include <vector>

namespace kolt::tool {

// A code per kind of violation; the parser's own description comes with each.
inline constexpr ToolCode kXmlOther{"KX001",
                                    "the document is not well-formed XML (a mistake of no other kind)"};
inline constexpr ToolCode kXmlStructure{"KX002",
                                        "markup that is not closed or does not nest, or no root element"};
inline constexpr ToolCode kXmlDuplicateAttribute{"KX003", "an attribute appears twice on one element"};
inline constexpr ToolCode kXmlAttributeSyntax{"KX004",
                                              "an attribute is not name=\"value\", or its value holds '<'"};
inline constexpr ToolCode kXmlUndeclaredEntity{"KX005", "a reference names an entity that is not declared"};
inline constexpr ToolCode kXmlBadReference{
    "KX006", "an '&' that begins no reference, or a reference not allowed there"};
inline constexpr ToolCode kXmlForbiddenChar{"KX007", "a character that XML does not allow"};
inline constexpr ToolCode kXmlForbiddenCharRef{
    "KX008", "a character reference that is malformed or names a character XML does not allow"};
inline constexpr ToolCode kXmlCdataEnd{"KX009", "']]>' in text"};
inline constexpr ToolCode kXmlComment{"KX010", "a comment holds '--' or is not closed"};
inline constexpr ToolCode kXmlReservedName{
    "KX011", "an XML declaration that does not begin the document, or a processing instruction named 'xml'"};
inline constexpr ToolCode kXmlDeclaration{"KX012", "the XML declaration is malformed"};
inline constexpr ToolCode kXmlEncoding{"KX013",
                                       "the bytes do not match the encoding, or the encoding is unknown"};
inline constexpr ToolCode kXmlAfterRoot{"KX014", "content after the root element"};
inline constexpr ToolCode kXmlName{"KX015", "a name that XML does not allow"};
inline constexpr ToolCode kXmlDoctype{"KX016", "the DOCTYPE declaration or its internal subset is malformed"};
inline constexpr ToolCode kXmlEntityExpansion{
    "KX017", "an entity refers to itself, or expands past the parser's limits"};
inline constexpr ToolCode kXmlLimit{"KX018", "the document exceeds the parser's limits, or memory ran out"};
inline constexpr const ToolCode* kWellFormedCodes[] = {
    &kXmlOther,           &kXmlStructure,        &kXmlDuplicateAttribute,
    &kXmlAttributeSyntax, &kXmlUndeclaredEntity, &kXmlBadReference,
    &kXmlForbiddenChar,   &kXmlForbiddenCharRef, &kXmlCdataEnd,
    &kXmlComment,         &kXmlReservedName,     &kXmlDeclaration,
    &kXmlEncoding,        &kXmlAfterRoot,        &kXmlName,
    &kXmlDoctype,         &kXmlEntityExpansion,  &kXmlLimit,
};

struct XmlViolation {
    const ToolCode* code = &kXmlOther;
    int line = 0;            // 1-based; 0 when unknown
    int column = 0;          // 1-based, in characters of the line (see checkWellFormed); 0 when unknown
    std::string description; // the parser's, on one line; may quote bytes of the document
};

// The violations of XML 1.0 well-formedness in `document` (the bytes of a file, in any
// encoding the parser detects from them or their XML declaration), in document order;
// none when it is well-formed. The parser goes on after most violations and reports
// each; after some (bytes that do not match the encoding, an entity loop) it stops.
// Positions are where the parser noticed the violation, usually just past the offending
// text: lines as the document's line ends count them, columns in characters (code
// points; a tab is one, a byte order mark none). `name` is the document's URI for the
// parser's messages; nothing is ever read from it or from anywhere else: no DTD, no
// external entity, no network, and entity expansion is bounded.
std::vector<XmlViolation> checkWellFormed(std::string_view document, const std::string& name);

} // namespace kolt::tool

#endif
