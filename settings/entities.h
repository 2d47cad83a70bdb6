// Decoding of the five predefined XML entities, in place or into a manager's arena.
#ifndef KOLTSETTINGS_SETTINGS_ENTITIES_H
#define KOLTSETTINGS_SETTINGS_ENTITIES_H

#include "../host/allocation.h"

#include <cstddef>

namespace kolt::detail {

class Arena;

// Decodes &amp; &lt; &gt; &quot; &apos; in place, in that order, in linear time. Null
// and empty texts are returned untouched.
char* decodeEntities(char* text) noexcept;
// The same on the `length` bytes at `text` (NUL-terminated); returns the new length.
std::size_t decodeEntities(char* text, std::size_t length) noexcept;

// A reusable buffer for texts being decoded: texts with entities are decoded here, then
// stored at their decoded length.
class TextBuffer {
public:
    TextBuffer() noexcept = default;
    ~TextBuffer() { freeBytes(_data); }
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    // Room for `size` bytes (earlier contents are not kept). Throws std::bad_alloc.
    char* reserve(std::size_t size);
    // Decodes the `length` bytes at `text` into the buffer; returns the decoded length.
    std::size_t decode(const char* text, std::size_t length);
    const char* data() const noexcept { return _data; }

private:
    char* _data = nullptr;
    std::size_t _capacity = 0;
};

// A copy in `arena` of `text` with its entities decoded, of the decoded length (null
// stays null); `buffer` holds a text that has entities while it is decoded.
char* decodedCopy(Arena& arena, TextBuffer& buffer, const char* text);

} // namespace kolt::detail

#endif
