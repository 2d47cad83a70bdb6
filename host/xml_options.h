// The parse options every settings document is read with.
#ifndef KOLTSETTINGS_HOST_XML_OPTIONS_H
#define KOLTSETTINGS_HOST_XML_OPTIONS_H

#include <pugixml.hpp>

namespace kolt::detail {

// Chosen on purpose:
// - no parse_escapes: texts and attribute values reach the loader with their entity
//   references as written; the loader decodes the five predefined entities itself;
// - parse_ws_pcdata_single: a text made only of blanks is still the element's text;
// - parse_embed_pcdata: a text that comes before any child is kept in its element
//   instead of a node of its own (64 bytes less per item, about 0.7 times the file size
//   on a typical settings file); GAXXMLNode::GetFirstContent looks there first;
// - no parse_doctype, parse_pi, parse_comments, parse_declaration: none of them is
//   ever looked at; a DOCTYPE is skipped and its entities are never expanded.
inline constexpr unsigned int kParseOptions = pugi::parse_cdata | pugi::parse_eol |
                                              pugi::parse_wconv_attribute | pugi::parse_ws_pcdata_single |
                                              pugi::parse_embed_pcdata;

} // namespace kolt::detail

#endif
