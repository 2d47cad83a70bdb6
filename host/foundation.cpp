// Host foundation types over the standard library.
#include <koltSettings/host/foundation.h>

#include <sys/stat.h>

#include "allocation.h"
#include "huge_pages.h"
#include "name_hash.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

GAXString& GAXString::operator=(const char* text) {
    // Assigning from our own buffer must work: assign() copes with aliasing.
    _text.assign(text ? text : "");
    return *this;
}

GAXString& GAXString::operator+=(const char* text) {
    if (text) {
        _text.append(text);
    }
    return *this;
}

int GAXString::ReplaceSubString(const GAXString& what, const GAXString& by) {
    if (what._text.empty()) {
        return -1;
    }
    const std::size_t pos = _text.find(what._text);
    if (pos == std::string::npos) {
        return -1;
    }
    _text.replace(pos, what._text.size(), by._text);
    return static_cast<int>(pos);
}

const GAXString& GAXListValGAXString::operator[](int pos) const noexcept {
    static const GAXString empty;
    return pos >= 1 && pos <= Size() ? _items[static_cast<std::size_t>(pos - 1)] : empty;
}

void Split(const GAXString& text, GAXListValGAXString& pieces, const GAXString& separator) {
    const std::string& s = text.str();
    const std::string& sep = separator.str();
    if (s.empty()) {
        return;
    }
    if (sep.empty()) {
        pieces.Append(text);
        return;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = s.find(sep, start);
        if (end == std::string::npos) {
            pieces.Append(GAXString(s.substr(start)));
            return;
        }
        pieces.Append(GAXString(s.substr(start, end - start)));
        start = end + sep.size();
    }
}

GAXCollecRoot::~GAXCollecRoot() = default;

GAXRawCollPV::GAXRawCollPV(int reserve) {
    if (reserve > 0) {
        _elements.reserve(static_cast<std::size_t>(reserve));
    }
}

GAXRawCollPV& GAXRawCollPV::operator=(const GAXRawCollPV& other) {
    if (this != &other) {
        GAXCollecRoot::operator=(other);
        _elements = other._elements;
    }
    return *this;
}

GAXRawCollPV::~GAXRawCollPV() = default;

// ---------------------------------------------------------------------------------------
// TAIndex

namespace {

std::uint64_t load64(const char* p) noexcept {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The last eight bytes of a name, or all of a shorter one, zero-padded. Names that share
// a long prefix (EntityDetection_Classes, EntityDetection_Methods) differ there.
std::uint64_t tailOf(const char* name, std::size_t length) noexcept {
    if (length >= 8) {
        return load64(name + length - 8);
    }
    std::uint64_t tail = 0;
    for (std::size_t i = 0; i < length; ++i) {
        tail |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[i])) << (8 * i);
    }
    return tail;
}

// The index keeps 32 bits of the keyed hash: enough for any table it can hold.
std::uint32_t hashOf(const char* name, std::size_t length) noexcept {
    return static_cast<std::uint32_t>(kolt::detail::hashName(name, length));
}

// Below this size a lookup scans the entries; hashing only pays beyond it.
constexpr std::size_t kLinearLimit = 16;

} // namespace

// Name storage grows by chunks that never move; each chunk links to the older one.
struct TAIndex::Chunk {
    Chunk* older;
    std::size_t capacity;
    std::size_t used;
    char* data() noexcept { return reinterpret_cast<char*>(this + 1); }
};

void TAIndex::ChunkDeleter::operator()(Chunk* chunk) const noexcept {
    while (chunk) {
        Chunk* older = chunk->older;
        chunk->~Chunk();
        kolt::detail::freeBytes(chunk);
        chunk = older;
    }
}

namespace {

struct FreeMemory {
    void operator()(void* p) const noexcept { kolt::detail::freeBytes(p); }
};

// Largest chunk of name storage: the space left unused in the newest chunk is bounded,
// and only the pages actually written cost memory.
constexpr std::size_t kLargestNameChunk = std::size_t(16) << 20;

} // namespace

TAIndex::TAIndex() noexcept = default;

TAIndex::~TAIndex() {
    kolt::detail::freeBytes(_entries);
    kolt::detail::freeBytes(_slots);
}

const char* TAIndex::storeName(const char* name, std::size_t length) {
    Chunk* chunk = _names.get();
    if (!chunk || chunk->capacity - chunk->used < length + 1) {
        std::size_t capacity = chunk ? std::min(chunk->capacity * 2, kLargestNameChunk) : 64;
        if (capacity < length + 1) {
            capacity = length + 1;
        }
        void* raw = kolt::detail::allocateBytes(sizeof(Chunk) + capacity);
        if (!raw) {
            throw std::bad_alloc();
        }
        kolt::detail::adviseHugePages(raw, sizeof(Chunk) + capacity);
        Chunk* fresh = new (raw) Chunk{_names.release(), capacity, 0};
        _names.reset(fresh);
        chunk = fresh;
    }
    char* out = chunk->data() + chunk->used;
    std::memcpy(out, name, length);
    out[length] = '\0';
    chunk->used += length + 1;
    return out;
}

int TAIndex::Append(const char* name, void* value) {
    if (!name) {
        name = "";
    }
    const std::size_t length = std::strlen(name);
    const std::uint32_t hash = hashOf(name, length);
    // Everything that can fail comes first: the index changes only once nothing can.
    if (_size == _capacity) {
        const std::size_t capacity = _capacity ? 2 * _capacity : 4;
        auto* grown = static_cast<Entry*>(kolt::detail::allocateBytes(capacity * sizeof(Entry)));
        if (!grown) {
            throw std::bad_alloc();
        }
        kolt::detail::adviseHugePages(grown, capacity * sizeof(Entry));
        if (_size) {
            std::memcpy(grown, _entries, _size * sizeof(Entry));
        }
        kolt::detail::freeBytes(_entries);
        _entries = grown;
        _capacity = capacity;
    }
    // Hashed beyond kLinearLimit entries, at a load factor of at most one half.
    std::size_t slotCount = _slotCount;
    while (_size + 1 > kLinearLimit && 2 * (_size + 1) > slotCount) {
        slotCount = slotCount ? 2 * slotCount : 32;
    }
    std::unique_ptr<std::int32_t, FreeMemory> slots;
    if (slotCount != _slotCount) {
        slots.reset(
            static_cast<std::int32_t*>(kolt::detail::allocateBytes(slotCount * sizeof(std::int32_t))));
        if (!slots) {
            throw std::bad_alloc();
        }
        kolt::detail::adviseHugePages(slots.get(), slotCount * sizeof(std::int32_t));
    }
    const char* stored = storeName(name, length);

    const std::size_t pos = _size;
    _entries[_size++] = Entry{stored, static_cast<std::uint32_t>(length), hash, tailOf(name, length), value};
    if (slots) {
        kolt::detail::freeBytes(_slots);
        _slots = slots.release();
        _slotCount = slotCount;
        fillSlots();
    } else if (_slots) {
        insertSlot(pos);
    }
    return static_cast<int>(pos);
}

void TAIndex::fillSlots() noexcept {
    std::memset(_slots, 0xff, _slotCount * sizeof(std::int32_t)); // every slot -1
    // In position order, so that the first of equal names is the one kept.
    for (std::size_t pos = 0; pos < _size; ++pos) {
        insertSlot(pos);
    }
}

namespace {

// Length and tail compared in place settle nearly every entry; the bytes before the
// tail are compared, eight at a time, only for a real candidate.
template <class Entry>
bool sameName(const Entry& e, const char* name, std::size_t length, std::uint64_t tail) noexcept {
    if (e.length != length || e.tail != tail) {
        return false;
    }
    for (std::size_t i = 0; i + 8 < length; i += 8) {
        if (load64(e.name + i) != load64(name + i)) {
            return false;
        }
    }
    return true;
}

} // namespace

void TAIndex::insertSlot(std::size_t pos) noexcept {
    const Entry& entry = _entries[pos];
    const std::size_t mask = _slotCount - 1;
    std::size_t i = entry.hash & mask;
    for (; _slots[i] >= 0; i = (i + 1) & mask) {
        const Entry& other = _entries[static_cast<std::size_t>(_slots[i])];
        if (other.hash == entry.hash && sameName(other, entry.name, entry.length, entry.tail)) {
            // IsIn answers the first of equal names only; leaving repeats out of the
            // slots keeps probes short however often a name is appended.
            return;
        }
    }
    _slots[i] = static_cast<std::int32_t>(pos);
}

int TAIndex::IsIn(const char* name) const noexcept {
    if (!name) {
        return -1;
    }
    const std::size_t length = std::strlen(name);
    const std::uint64_t tail = tailOf(name, length);
    if (!_slots) {
        // Few entries: scanned, without hashing the name.
        const Entry* const begin = _entries;
        const Entry* const end = begin + _size;
        for (const Entry* e = begin; e != end; ++e) {
            if (sameName(*e, name, length, tail)) {
                return static_cast<int>(e - begin);
            }
        }
        return -1;
    }
    return probe(name, length, tail);
}

int TAIndex::probe(const char* name, std::size_t length, std::uint64_t tail) const noexcept {
    const std::uint32_t hash = hashOf(name, length);
    const std::size_t mask = _slotCount - 1;
    for (std::size_t i = hash & mask; _slots[i] >= 0; i = (i + 1) & mask) {
        const Entry& e = _entries[static_cast<std::size_t>(_slots[i])];
        if (e.hash == hash && sameName(e, name, length, tail)) {
            return _slots[i];
        }
    }
    return -1;
}

void TAIndex::Reset() noexcept {
    kolt::detail::freeBytes(_entries);
    kolt::detail::freeBytes(_slots);
    _entries = nullptr;
    _slots = nullptr;
    _size = _capacity = _slotCount = 0;
    _names.reset();
}

const char* TAIndex::GetName(int pos) const noexcept {
    return pos >= 0 && pos < Size() ? _entries[static_cast<std::size_t>(pos)].name : nullptr;
}

void* TAIndex::GetValue(int pos) const noexcept {
    return pos >= 0 && pos < Size() ? _entries[static_cast<std::size_t>(pos)].value : nullptr;
}

int TAFileName::IsFile() const noexcept {
    struct stat info {};
    return !_path.empty() && ::stat(_path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? 1 : 0;
}

TARefCounter::~TARefCounter() = default;
