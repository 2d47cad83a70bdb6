// Iteration over the attributes and child elements of a node.
#ifndef KOLTSETTINGS_HOST_WALK_H
#define KOLTSETTINGS_HOST_WALK_H

#include <koltSettings/host/xml.h>

namespace kolt::detail {

// Calls f(name, value) for every attribute, in document order.
template <class F>
void forEachAttribute(GAXXMLNode node, F&& f) {
    for (void* cookie = node.GetFirstAttr(); cookie; node.GetNextAttr(cookie)) {
        f(node.GetAttrName(cookie), node.GetAttrValue(cookie));
    }
}

// Calls f(child) for every child element, in document order.
template <class F>
void forEachChild(GAXXMLNode node, F&& f) {
    void* cookie = node.GetFirstNode();
    while (cookie) {
        f(node.GetNextNode(cookie));
    }
}

} // namespace kolt::detail

#endif
