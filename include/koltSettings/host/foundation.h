/// \file
/// Host foundation types: strings, string lists, pointer collections, the name index,
/// file names and the reference-counted base class.
///
/// None of these types synchronises anything: an object may be read from several threads
/// at once, but not while one of them changes it. As with the standard containers, what
/// allocates throws std::bad_alloc when memory runs out.
#ifndef KOLTSETTINGS_HOST_FOUNDATION_H
#define KOLTSETTINGS_HOST_FOUNDATION_H

#include <koltSettings/export.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// A text owning its own copy. A null character string is taken as the empty text.
class KOLT_API GAXString {
public:
    /// The empty text.
    GAXString() = default;
    /// A copy of `text`; the empty text for null.
    GAXString(const char* text) : _text(text ? text : "") {}
    /// Takes over `text`.
    GAXString(std::string text) noexcept : _text(std::move(text)) {}

    /// Replaces the text by a copy of `text`; null gives the empty text.
    GAXString& operator=(const char* text);
    /// Appends a copy of `text`; null appends nothing.
    GAXString& operator+=(const char* text);

    /// The text, NUL-terminated, owned by this object: valid until it changes or dies.
    operator const char*() const noexcept { return _text.c_str(); }
    /// The text, NUL-terminated, owned by this object: valid until it changes or dies.
    const char* CastToCharPtr() const noexcept { return _text.c_str(); }
    /// The length in bytes.
    int Length() const noexcept { return static_cast<int>(_text.size()); }
    /// The text itself.
    const std::string& str() const noexcept { return _text; }

    /// Replaces the first occurrence of `what` by `by`. Returns the position of the
    /// replacement (0 or more), or -1 when `what` is empty or absent.
    int ReplaceSubString(const GAXString& what, const GAXString& by);

private:
    std::string _text;
};

/// A list of strings holding its own copies; positions run from 1 to Size().
/// kolt::StringList reads one with range-for and positions from 0.
class KOLT_API GAXListValGAXString {
public:
    /// Appends a copy of `s`.
    void Append(const GAXString& s) { _items.push_back(s); }
    /// Appends `s`, taken over.
    void Append(GAXString&& s) { _items.push_back(std::move(s)); }
    /// The number of strings.
    [[nodiscard]] int Size() const noexcept { return static_cast<int>(_items.size()); }
    /// The string at a 1-based position; outside 1..Size() (0 included) an empty string.
    /// The reference is valid until the list changes or dies.
    const GAXString& operator[](int pos) const noexcept;

private:
    std::vector<GAXString> _items;
};

/// Appends to `pieces` the parts of `text` between occurrences of `separator`, in order.
/// An empty text yields no piece; an empty separator yields the whole text as one piece.
KOLT_API void Split(const GAXString& text, GAXListValGAXString& pieces, const GAXString& separator);

/// Root of the host collections: a polymorphic base without state.
class KOLT_API GAXCollecRoot {
public:
    /// \name Construction, copy and destruction
    //@{
    /// The base holds nothing to construct, copy or release.
    GAXCollecRoot() = default;
    GAXCollecRoot(const GAXCollecRoot&) = default;
    GAXCollecRoot& operator=(const GAXCollecRoot&) = default;
    virtual ~GAXCollecRoot();
    //@}
};

/// An untyped collection of pointers that never owns what they point to.
/// Positions run from 1 to Size().
class KOLT_API GAXRawCollPV : public GAXCollecRoot {
public:
    /// An empty collection; `reserve` is a capacity hint (0 or less: none).
    explicit GAXRawCollPV(int reserve = 0);
    /// Copies the pointers; what they point to is shared, not copied.
    GAXRawCollPV(const GAXRawCollPV& other) = default;
    /// Replaces the pointers by copies of those of `other`.
    GAXRawCollPV& operator=(const GAXRawCollPV& other);
    /// Releases the collection, never what the pointers point to.
    ~GAXRawCollPV() override;

    /// Appends a pointer (null included).
    void Append(void* element) { _elements.push_back(element); }
    /// The number of pointers.
    [[nodiscard]] int Size() const noexcept { return static_cast<int>(_elements.size()); }
    /// The pointer at a 1-based position; outside 1..Size() (0 included) a null pointer.
    void* operator[](int pos) const noexcept {
        return pos >= 1 && pos <= Size() ? _elements[static_cast<std::size_t>(pos - 1)] : nullptr;
    }

private:
    std::vector<void*> _elements;
};

/// An insertion-ordered index from names to pointer values, with positions from 0.
/// Names are copied into storage that stays put while the index lives, so GetName()
/// pointers remain valid across later appends; lookups are hashed. The hash is keyed
/// with a secret drawn per process, so names cannot be chosen to collide. The index
/// never owns what the values point to.
class KOLT_API TAIndex {
public:
    /// An empty index; allocates nothing.
    TAIndex() noexcept;
    /// Releases the names, never what the values point to.
    ~TAIndex();
    /// \name No copies
    //@{
    /// GetName() pointers belong to one index.
    TAIndex(const TAIndex&) = delete;
    TAIndex& operator=(const TAIndex&) = delete;
    //@}

    /// Adds (name, value) at the end, keeping a copy of the name; a null name is
    /// stored as the empty name. Returns the new entry's position. An earlier entry of
    /// the same name stays the one IsIn() finds. Throws std::bad_alloc when memory runs
    /// out, leaving the index as it was.
    int Append(const char* name, void* value);
    /// Position of the first entry with exactly this name, or -1 (also for a null name).
    [[nodiscard]] int IsIn(const char* name) const noexcept;
    /// Empties the index; names handed out before become invalid.
    void Reset() noexcept;

    /// The number of entries.
    [[nodiscard]] int Size() const noexcept { return static_cast<int>(_size); }
    /// Name at a 0-based position, valid until the index is Reset() or dies; null outside
    /// 0..Size()-1.
    [[nodiscard]] const char* GetName(int pos) const noexcept;
    /// Value at a 0-based position; null outside 0..Size()-1.
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

/// A path on the file system.
class KOLT_API TAFileName {
public:
    /// Keeps a copy of `path`; null is taken as the empty path.
    explicit TAFileName(const char* path) : _path(path ? path : "") {}
    /// Non-zero when the path names an existing regular file (symbolic links followed);
    /// 0 for the empty path.
    [[nodiscard]] int IsFile() const noexcept;
    /// The path, owned by this object.
    const char* CastToCharPtr() const noexcept { return _path.c_str(); }

private:
    std::string _path;
};

/// Base of reference-counted host objects: not copyable, destroyed through the base.
class KOLT_API TARefCounter {
public:
    /// \name Construction and destruction
    //@{
    /// Nothing to construct or release; copies are refused.
    TARefCounter() = default;
    TARefCounter(const TARefCounter&) = delete;
    TARefCounter& operator=(const TARefCounter&) = delete;
    virtual ~TARefCounter();
    //@}
};

#endif
