// Host foundation types: strings, string lists, pointer collections, the name index,
// file names and the reference-counted base class.
// As with the standard containers, what allocates throws std::bad_alloc when memory runs out.
#ifndef KOLTSETTINGS_HOST_FOUNDATION_H
#define KOLTSETTINGS_HOST_FOUNDATION_H

#include <koltSettings/export.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A text owning its own copy. A null character string is taken as the empty text.
class KOLT_API GAXString {
public:
    GAXString() = default;
    GAXString(const char* text) : _text(text ? text : "") {}
    GAXString(std::string text) noexcept : _text(std::move(text)) {}

    GAXString& operator=(const char* text);
    GAXString& operator+=(const char* text);

    operator const char*() const noexcept { return _text.c_str(); }
    const char* CastToCharPtr() const noexcept { return _text.c_str(); }
    int Length() const noexcept { return static_cast<int>(_text.size()); }
    const std::string& str() const noexcept { return _text; }

    // Replaces the first occurrence of `what` by `by`. Returns the position of the
    // replacement (0 or more), or -1 when `what` is empty or absent.
    int ReplaceSubString(const GAXString& what, const GAXString& by);

private:
    std::string _text;
};

// A list of strings holding its own copies; positions run from 1 to Size().
class KOLT_API GAXListValGAXString {
public:
    void Append(const GAXString& s) { _items.push_back(s); }
    void Append(GAXString&& s) { _items.push_back(std::move(s)); }
    [[nodiscard]] int Size() const noexcept { return static_cast<int>(_items.size()); }
    // The string at a 1-based position; outside 1..Size() an empty string.
    const GAXString& operator[](int pos) const noexcept;

private:
    std::vector<GAXString> _items;
};

// Appends to `pieces` the parts of `text` between occurrences of `separator`, in order.
// An empty text yields no piece; an empty separator yields the whole text as one piece.
KOLT_API void Split(const GAXString& text, GAXListValGAXString& pieces, const GAXString& separator);

// Root of the host collections.
class KOLT_API GAXCollecRoot {
public:
    GAXCollecRoot() = default;
    GAXCollecRoot(const GAXCollecRoot&) = default;
    GAXCollecRoot& operator=(const GAXCollecRoot&) = default;
    virtual ~GAXCollecRoot();
};

// An untyped collection of pointers that never owns what they point to.
// Positions run from 1 to Size().
class KOLT_API GAXRawCollPV : public GAXCollecRoot {
public:
    // The argument is a capacity hint.
    explicit GAXRawCollPV(int reserve = 0);
    GAXRawCollPV(const GAXRawCollPV& other) = default;
    GAXRawCollPV& operator=(const GAXRawCollPV& other);
    ~GAXRawCollPV() override;

    void Append(void* element) { _elements.push_back(element); }
    [[nodiscard]] int Size() const noexcept { return static_cast<int>(_elements.size()); }
    // The pointer at a 1-based position; outside 1..Size() a null pointer.
    void* operator[](int pos) const noexcept {
        return pos >= 1 && pos <= Size() ? _elements[static_cast<std::size_t>(pos - 1)] : nullptr;
    }

private:
    std::vector<void*> _elements;
};

// An insertion-ordered index from names to pointer values, with positions from 0.
// Names are copied into storage that stays put while the index lives, so GetName()
// pointers remain valid across later appends; lookups are hashed.
// The hash is keyed with a secret drawn per process, so names cannot be chosen to collide.
class KOLT_API TAIndex {
public:
    TAIndex() noexcept;
    ~TAIndex();
    TAIndex(const TAIndex&) = delete;
    TAIndex& operator=(const TAIndex&) = delete;

    // Adds (name, value) at the end, keeping a copy of the name; a null name is
    // stored as the empty name. Returns the new entry's position.
    // Throws std::bad_alloc when memory runs out, leaving the index as it was.
    int Append(const char* name, void* value);
    // Position of the first entry with exactly this name, or -1 (also for a null name).
    [[nodiscard]] int IsIn(const char* name) const noexcept;
    // Empties the index.
    void Reset() noexcept;

    [[nodiscard]] int Size() const noexcept { return static_cast<int>(_size); }
    // Name and value at a 0-based position; null outside 0..Size()-1.
    [[nodiscard]] const char* GetName(int pos) const noexcept;
    [[nodiscard]] void* GetValue(int pos) const noexcept;

private:
    struct Entry {
        const char* name;
        std::uint32_t length;
        std::uint32_t hash;
        std::uint64_t tail; // the last eight bytes of the name (all of a shorter one)
        void* value;
    };
    struct Chunk;
    struct ChunkDeleter {
        KOLT_LOCAL void operator()(Chunk* chunk) const noexcept;
    };

    KOLT_LOCAL const char* storeName(const char* name, std::size_t length);
    // IsIn on the hashed table, kept out of line so that the scan of a small index
    // stays short.
    [[gnu::noinline]] KOLT_LOCAL int probe(const char* name, std::size_t length,
                                           std::uint64_t tail) const noexcept;
    KOLT_LOCAL void fillSlots() noexcept;
    KOLT_LOCAL void insertSlot(std::size_t pos) noexcept;

    // Entries and slots are plain arrays from the global operator new, as every buffer
    // of the library; large arrays are advised to use huge pages.
    Entry* _entries = nullptr;
    std::size_t _size = 0;
    std::size_t _capacity = 0;
    std::int32_t* _slots = nullptr; // open addressing, -1 = free; null while the index is small
    std::size_t _slotCount = 0;
    std::unique_ptr<Chunk, ChunkDeleter> _names; // newest chunk of name storage, chained to older ones
};

// A path on the file system.
class KOLT_API TAFileName {
public:
    explicit TAFileName(const char* path) : _path(path ? path : "") {}
    // Non-zero when the path names an existing regular file (symbolic links followed).
    [[nodiscard]] int IsFile() const noexcept;
    const char* CastToCharPtr() const noexcept { return _path.c_str(); }

private:
    std::string _path;
};

// Base of reference-counted host objects.
class KOLT_API TARefCounter {
public:
    TARefCounter() = default;
    TARefCounter(const TARefCounter&) = delete;
    TARefCounter& operator=(const TARefCounter&) = delete;
    virtual ~TARefCounter();
};

#endif
