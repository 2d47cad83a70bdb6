/// \file
/// Host XML document interface: the node handle GAXXMLNode and the parser RUVXMLParser.
#ifndef KOLTSETTINGS_HOST_XML_H
#define KOLTSETTINGS_HOST_XML_H

#include <koltSettings/export.h>

#include <cstddef>
#include <memory>

/// The XML parser's own types, opaque here: no public header includes the parser.
namespace pugi {
/// An element of a parsed document, as the parser stores it.
struct xml_node_struct;
} // namespace pugi

/// A handle on one element of a parsed document, passed by value. A null handle is
/// valid: every query on it answers null (or 0). Handles and the texts they give stay
/// valid while the RUVXMLParser that produced them lives and parses nothing else. Queries
/// change nothing: several threads may query one document at once.
class KOLT_API GAXXMLNode {
public:
    /// The null handle.
    GAXXMLNode() noexcept = default;
    /// A handle on the parser's element `node` (null: the null handle).
    explicit GAXXMLNode(pugi::xml_node_struct* node) noexcept : _node(node) {}

    /// Element name; null for a null handle.
    const char* GetTag() const noexcept;

    /// Attribute cookie of the first attribute, null when there is none.
    void* GetFirstAttr() const noexcept;
    /// Name of the attribute a cookie designates; null for a null cookie.
    const char* GetAttrName(void* const& cookie) const noexcept;
    /// Value of the attribute a cookie designates, as written (entity references not
    /// decoded); null for a null cookie.
    const char* GetAttrValue(void* const& cookie) const noexcept;
    /// Moves the cookie to the next attribute; null after the last.
    void GetNextAttr(void*& cookie) const noexcept;

    /// Child cookie of the first child element (text is never a child), null when none.
    void* GetFirstNode() const noexcept;
    /// Returns the child the cookie designates and moves the cookie to the next child
    /// element (null after the last); a null cookie gives a null handle.
    GAXXMLNode GetNextNode(void*& cookie) const noexcept;

    /// The element's first text content exactly as written in the file (entity
    /// references not decoded), or null when it has none.
    const char* GetFirstContent() const noexcept;

    /// The parent element; null for the document's root element.
    GAXXMLNode GetFather() const noexcept;

    /// Non-zero for the null handle.
    int IsNull() const noexcept { return _node == nullptr; }

    /// Byte offset of the element's name in the parsed buffer, or -1.
    std::ptrdiff_t GetOffset() const noexcept;

    /// The parser's element, for the library itself; null for the null handle.
    pugi::xml_node_struct* internal_object() const noexcept { return _node; }
    /// True when both handles designate the same element (or both are null).
    friend bool operator==(GAXXMLNode a, GAXXMLNode b) noexcept { return a._node == b._node; }
    /// True when the handles designate different elements.
    friend bool operator!=(GAXXMLNode a, GAXXMLNode b) noexcept { return a._node != b._node; }

private:
    pugi::xml_node_struct* _node = nullptr;
};

/// Reads an XML document and hands out its root element. Element texts and attribute
/// values are kept as written (entity and character references are not decoded); a
/// document type declaration is skipped, never processed; the parser prints nothing.
/// A document that is not well-formed yields a null root, never a partial tree.
/// The parser owns the document: one parser per thread.
class KOLT_API RUVXMLParser {
public:
    /// A parser that has loaded nothing (GetStatus() is NotLoaded).
    RUVXMLParser();
    /// Releases the document: handles it gave become invalid.
    ~RUVXMLParser();
    /// \name No copies
    //@{
    /// Handles point into the one document the parser owns.
    RUVXMLParser(const RUVXMLParser&) = delete;
    RUVXMLParser& operator=(const RUVXMLParser&) = delete;
    //@}

    /// Parses the file at `path` and returns its root element (null on any failure, a
    /// null path included, and when memory runs out). Releases the document loaded
    /// before.
    GAXXMLNode LoadFromFile(const char* path) noexcept;
    /// Parses `size` bytes at `data` (copied; `data` may be null when `size` is 0) and
    /// returns the root element. Releases the document loaded before.
    GAXXMLNode LoadFromMemory(const void* data, std::size_t size) noexcept;

    /// Outcome of the last load.
    enum Status {
        NotLoaded,      ///< Nothing loaded yet.
        Parsed,         ///< A well-formed document was read.
        FileUnreadable, ///< The file could not be opened or read (or the path was null).
        OutOfMemory,    ///< Memory ran out.
        Malformed       ///< The input is not well-formed XML.
    };
    /// Outcome of the last load.
    Status GetStatus() const noexcept;
    /// The parser's description of the last failure ("No error" after success). Static
    /// storage, never null.
    const char* GetErrorDescription() const noexcept;
    /// Byte offset in the input where the last parse failed, or -1.
    std::ptrdiff_t GetErrorOffset() const noexcept;
    /// Asked before a load, the parser records where the input's lines start, so that
    /// offsets can be turned into 1-based line and column (in bytes) afterwards.
    void KeepLineIndex(bool keep) noexcept;
    /// Turns an offset of the last load into a 1-based line and byte column. False when no
    /// line index was kept or the offset is negative; `line` and `column` are then left
    /// as they were.
    bool GetLineColumn(std::ptrdiff_t offset, int& line, int& column) const noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> _impl;
};

#endif
