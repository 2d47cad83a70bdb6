// Host XML document interface: the node handle GAXXMLNode and the parser RUVXMLParser.
#ifndef KOLTSETTINGS_HOST_XML_H
#define KOLTSETTINGS_HOST_XML_H

#include <koltSettings/export.h>

#include <cstddef>
#include <memory>

namespace pugi {
struct xml_node_struct;
}

// A handle on one element of a parsed document, passed by value. A null handle is
// valid: every query on it answers null (or 0). Handles and the texts they give stay
// valid while the RUVXMLParser that produced them lives and parses nothing else.
class KOLT_API GAXXMLNode {
public:
    GAXXMLNode() noexcept = default;
    explicit GAXXMLNode(pugi::xml_node_struct* node) noexcept : _node(node) {}

    // Element name; null for a null handle.
    const char* GetTag() const noexcept;

    // Attribute cookie of the first attribute, null when there is none.
    void* GetFirstAttr() const noexcept;
    // Name and value of the attribute a cookie designates; null for a null cookie.
    const char* GetAttrName(void* const& cookie) const noexcept;
    const char* GetAttrValue(void* const& cookie) const noexcept;
    // Moves the cookie to the next attribute; null after the last.
    void GetNextAttr(void*& cookie) const noexcept;

    // Child cookie of the first child element (text is never a child), null when none.
    void* GetFirstNode() const noexcept;
    // Returns the child the cookie designates and moves the cookie to the next child
    // element (null after the last); a null cookie gives a null handle.
    GAXXMLNode GetNextNode(void*& cookie) const noexcept;

    // The element's first text content exactly as written in the file (entity
    // references not decoded), or null when it has none.
    const char* GetFirstContent() const noexcept;

    // The parent element; null for the document's root element.
    GAXXMLNode GetFather() const noexcept;

    int IsNull() const noexcept { return _node == nullptr; }

    // Byte offset of the element's name in the parsed buffer, or -1.
    std::ptrdiff_t GetOffset() const noexcept;

    pugi::xml_node_struct* internal_object() const noexcept { return _node; }
    friend bool operator==(GAXXMLNode a, GAXXMLNode b) noexcept { return a._node == b._node; }
    friend bool operator!=(GAXXMLNode a, GAXXMLNode b) noexcept { return a._node != b._node; }

private:
    pugi::xml_node_struct* _node = nullptr;
};

// Reads an XML document and hands out its root element. Element texts and attribute
// values are kept as written (entity and character references are not decoded); a
// document type declaration is skipped, never processed; the parser prints nothing.
// A document that is not well-formed yields a null root, never a partial tree.
class KOLT_API RUVXMLParser {
public:
    RUVXMLParser();
    ~RUVXMLParser();
    RUVXMLParser(const RUVXMLParser&) = delete;
    RUVXMLParser& operator=(const RUVXMLParser&) = delete;

    // Parses the file at `path` and returns its root element (null on any failure).
    GAXXMLNode LoadFromFile(const char* path) noexcept;
    // Parses `size` bytes at `data` (copied) and returns the root element.
    GAXXMLNode LoadFromMemory(const void* data, std::size_t size) noexcept;

    // Outcome of the last load.
    enum Status { NotLoaded, Parsed, FileUnreadable, OutOfMemory, Malformed };
    Status GetStatus() const noexcept;
    // The parser's description of the last failure ("No error" after success).
    const char* GetErrorDescription() const noexcept;
    // Byte offset in the input where the last parse failed, or -1.
    std::ptrdiff_t GetErrorOffset() const noexcept;
    // Asked before a load, the parser records where the input's lines start, so that
    // offsets can be turned into 1-based line and column (in bytes) afterwards.
    void KeepLineIndex(bool keep) noexcept;
    // False when no line index was kept or the offset is negative.
    bool GetLineColumn(std::ptrdiff_t offset, int& line, int& column) const noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> _impl;
};

#endif
