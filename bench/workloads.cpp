// The floor, the full load and the libxml2 comparison.
#include "workloads.h"

#include "host/xml_options.h"

#include <koltSettings/koltSettings.h>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <pugixml.hpp>

#include <cstring>

namespace kolt::bench {

namespace {

// Reads every byte of each name and value: what any consumer of the tree does at least.
std::size_t visit(pugi::xml_node root) {
    std::size_t bytes = 0;
    pugi::xml_node node = root;
    while (node) {
        bytes += std::strlen(node.name()) + std::strlen(node.value());
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
            bytes += std::strlen(a.name()) + std::strlen(a.value());
        }
        if (pugi::xml_node child = node.first_child()) {
            node = child;
            continue;
        }
        while (node && node != root && !node.next_sibling()) {
            node = node.parent();
        }
        node = node == root ? pugi::xml_node() : node.next_sibling();
    }
    return bytes;
}

std::size_t length(const xmlChar* text) {
    return text ? std::strlen(reinterpret_cast<const char*>(text)) : 0;
}

std::size_t visit(xmlNodePtr root) {
    std::size_t bytes = 0;
    xmlNodePtr node = root;
    while (node) {
        if (node->type == XML_ELEMENT_NODE) {
            bytes += length(node->name);
            for (xmlAttrPtr a = node->properties; a; a = a->next) {
                bytes += length(a->name);
                for (xmlNodePtr v = a->children; v; v = v->next) {
                    bytes += length(v->content);
                }
            }
        } else if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            bytes += length(node->content);
        }
        if (node->type == XML_ELEMENT_NODE && node->children) {
            node = node->children;
            continue;
        }
        while (node && node != root && !node->next) {
            node = node->parent;
        }
        node = node == root ? nullptr : node->next;
    }
    return bytes;
}

} // namespace

void parseAndVisit(const std::string& path, Probe&, Sample& sample) {
    RUVXMLParser parser;
    const GAXXMLNode root = parser.LoadFromFile(path.c_str());
    sample.check = root.IsNull() ? -1 : static_cast<double>(visit(pugi::xml_node(root.internal_object())));
}

void parseAndVisitWithPugixmlLoadFile(const std::string& path, Probe&, Sample& sample) {
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_file(path.c_str(), kolt::detail::kParseOptions);
    sample.check = result ? static_cast<double>(visit(document)) : -1;
}

void loadWithManager(const std::string& path, Probe& probe, Sample& sample) {
    auto* manager = new koltSettingManager();
    const int status = manager->loadFromXmlFile(path.c_str());
    probe.pause();
    sample.keptBytes = probe.residentGrowth();
    sample.check = status == 0 ? 1 : -1;
    probe.resume();
    delete manager;
}

void parseAndVisitWithLibxml2(const std::string& path, Probe&, Sample& sample) {
    xmlDocPtr document = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
    sample.check = document ? static_cast<double>(visit(xmlDocGetRootElement(document))) : -1;
    xmlFreeDoc(document);
}

} // namespace kolt::bench
