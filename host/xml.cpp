// XML document interface over pugixml.
#include <koltSettings/host/xml.h>

#include "huge_pages.h"
#include "xml_options.h"

#include <pugixml.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

pugi::xml_node nodeOf(pugi::xml_node_struct* n) noexcept {
    return pugi::xml_node(n);
}

pugi::xml_node_struct* nextElement(pugi::xml_node n) noexcept {
    while (n && n.type() != pugi::node_element) {
        n = n.next_sibling();
    }
    return n.internal_object();
}

pugi::xml_node nextSiblingElement(pugi::xml_node n) noexcept {
    return pugi::xml_node(nextElement(n.next_sibling()));
}

} // namespace

const char* GAXXMLNode::GetTag() const noexcept {
    return _node ? nodeOf(_node).name() : nullptr;
}

void* GAXXMLNode::GetFirstAttr() const noexcept {
    return _node ? nodeOf(_node).first_attribute().internal_object() : nullptr;
}

const char* GAXXMLNode::GetAttrName(void* const& cookie) const noexcept {
    return cookie ? pugi::xml_attribute(static_cast<pugi::xml_attribute_struct*>(cookie)).name() : nullptr;
}

const char* GAXXMLNode::GetAttrValue(void* const& cookie) const noexcept {
    return cookie ? pugi::xml_attribute(static_cast<pugi::xml_attribute_struct*>(cookie)).value() : nullptr;
}

void GAXXMLNode::GetNextAttr(void*& cookie) const noexcept {
    if (cookie) {
        cookie = pugi::xml_attribute(static_cast<pugi::xml_attribute_struct*>(cookie))
                     .next_attribute()
                     .internal_object();
    }
}

void* GAXXMLNode::GetFirstNode() const noexcept {
    return _node ? nextElement(nodeOf(_node).first_child()) : nullptr;
}

GAXXMLNode GAXXMLNode::GetNextNode(void*& cookie) const noexcept {
    if (!cookie) {
        return GAXXMLNode();
    }
    auto* current = static_cast<pugi::xml_node_struct*>(cookie);
    cookie = nextElement(nodeOf(current).next_sibling());
    return GAXXMLNode(current);
}

const char* GAXXMLNode::GetFirstContent() const noexcept {
    if (!_node) {
        return nullptr;
    }
    const pugi::xml_node node = nodeOf(_node);
    // A text read before any child is embedded in the element (parse_embed_pcdata); it is
    // never empty, and it comes first in document order.
    if (const char* embedded = node.value(); *embedded) {
        return embedded;
    }
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            return child.value();
        }
    }
    return nullptr;
}

GAXXMLNode GAXXMLNode::GetFather() const noexcept {
    if (!_node) {
        return GAXXMLNode();
    }
    const pugi::xml_node parent = nodeOf(_node).parent();
    // The document node is not an element: the root element has no father.
    return parent.type() == pugi::node_element ? GAXXMLNode(parent.internal_object()) : GAXXMLNode();
}

std::ptrdiff_t GAXXMLNode::GetOffset() const noexcept {
    return _node ? nodeOf(_node).offset_debug() : -1;
}

// ---------------------------------------------------------------------------------------

struct RUVXMLParser::Impl {
    pugi::xml_document document;
    Status status = NotLoaded;
    pugi::xml_parse_result result;
    bool keepLineIndex = false;
    bool secondRoot = false;             // the failure is a second top-level element
    std::vector<std::size_t> lineStarts; // offsets of the first byte of each line

    // False when memory ran out (the index is then empty).
    bool indexLines(const char* data, std::size_t size) noexcept {
        lineStarts.clear();
        if (!keepLineIndex) {
            return true;
        }
        try {
            lineStarts.push_back(0);
            for (const char* p = data;
                 (p = static_cast<const char*>(std::memchr(p, '\n', size - (p - data))));) {
                ++p;
                lineStarts.push_back(static_cast<std::size_t>(p - data));
            }
            return true;
        } catch (const std::bad_alloc&) {
            lineStarts.clear();
            return false;
        }
    }

    // Parses the buffer, allocated with pugixml's allocator, which pugixml then owns
    // (and frees, whatever the outcome).
    GAXXMLNode parse(void* buffer, std::size_t size) noexcept {
        auto deallocate = pugi::get_memory_deallocation_function();
        if (!indexLines(static_cast<const char*>(buffer), size)) {
            deallocate(buffer);
            status = OutOfMemory;
            return GAXXMLNode();
        }
        secondRoot = false;
        result =
            document.load_buffer_inplace_own(buffer, size, kolt::detail::kParseOptions, pugi::encoding_auto);
        if (!result) {
            // Never hand out a partial tree.
            document.reset();
            status = result.status == pugi::status_out_of_memory ? OutOfMemory : Malformed;
            return GAXXMLNode();
        }
        // pugixml accepts several top-level elements; a well-formed document has one.
        const pugi::xml_node root = document.document_element();
        if (const pugi::xml_node second = nextSiblingElement(root)) {
            result.status = pugi::status_no_document_element;
            result.offset = second.offset_debug();
            document.reset();
            status = Malformed;
            secondRoot = true;
            return GAXXMLNode();
        }
        status = Parsed;
        return GAXXMLNode(root.internal_object());
    }

    void* allocate(std::size_t size) noexcept {
        // One extra byte so that an empty input still gets a real buffer.
        void* buffer = pugi::get_memory_allocation_function()(size + 1);
        kolt::detail::adviseHugePages(buffer, size + 1); // still pugixml's buffer
        return buffer;
    }
};

RUVXMLParser::RUVXMLParser() : _impl(std::make_unique<Impl>()) {}
RUVXMLParser::~RUVXMLParser() = default;

GAXXMLNode RUVXMLParser::LoadFromFile(const char* path) noexcept {
    Impl& impl = *_impl;
    impl.document.reset();
    impl.result = pugi::xml_parse_result();
    impl.lineStarts.clear();
    impl.status = FileUnreadable;
    if (!path) {
        return GAXXMLNode();
    }
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return GAXXMLNode();
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return GAXXMLNode();
    }
    // Size the buffer from the file's length, one byte more so that reading to the end
    // needs no second buffer; still read until end of file, in case the length changed.
    std::size_t capacity = static_cast<std::size_t>(info.st_size) + 1;
    auto deallocate = pugi::get_memory_deallocation_function();
    char* buffer = static_cast<char*>(impl.allocate(capacity));
    std::size_t size = 0;
    bool failed = false;
    while (buffer) {
        if (size == capacity) {
            char* grown = static_cast<char*>(impl.allocate(capacity * 2));
            if (grown) {
                std::memcpy(grown, buffer, size);
                capacity *= 2;
            }
            deallocate(buffer);
            buffer = grown;
            continue;
        }
        const ssize_t got = ::read(fd, buffer + size, capacity - size);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            failed = true;
            break;
        }
        if (got == 0) {
            break;
        }
        size += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (!buffer) {
        impl.status = OutOfMemory;
        return GAXXMLNode();
    }
    if (failed) {
        deallocate(buffer);
        return GAXXMLNode();
    }
    return impl.parse(buffer, size);
}

GAXXMLNode RUVXMLParser::LoadFromMemory(const void* data, std::size_t size) noexcept {
    Impl& impl = *_impl;
    impl.document.reset();
    impl.result = pugi::xml_parse_result();
    impl.lineStarts.clear();
    void* buffer = impl.allocate(size);
    if (!buffer) {
        impl.status = OutOfMemory;
        return GAXXMLNode();
    }
    if (size) {
        std::memcpy(buffer, data, size);
    }
    return impl.parse(buffer, size);
}

RUVXMLParser::Status RUVXMLParser::GetStatus() const noexcept {
    return _impl->status;
}

const char* RUVXMLParser::GetErrorDescription() const noexcept {
    if (_impl->secondRoot) {
        return "More than one top-level element";
    }
    return _impl->result.description();
}

std::ptrdiff_t RUVXMLParser::GetErrorOffset() const noexcept {
    return _impl->status == Malformed ? _impl->result.offset : -1;
}

void RUVXMLParser::KeepLineIndex(bool keep) noexcept {
    _impl->keepLineIndex = keep;
}

bool RUVXMLParser::GetLineColumn(std::ptrdiff_t offset, int& line, int& column) const noexcept {
    const auto& starts = _impl->lineStarts;
    if (offset < 0 || starts.empty()) {
        return false;
    }
    const auto it = std::upper_bound(starts.begin(), starts.end(), static_cast<std::size_t>(offset));
    const std::size_t index = static_cast<std::size_t>(it - starts.begin()) - 1;
    line = static_cast<int>(index + 1);
    column = static_cast<int>(static_cast<std::size_t>(offset) - starts[index] + 1);
    return true;
}
