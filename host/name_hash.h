// The keyed hash of the name index.
#ifndef KOLTSETTINGS_HOST_NAME_HASH_H
#define KOLTSETTINGS_HOST_NAME_HASH_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kolt::detail {

struct HashKey {
    std::uint64_t k0;
    std::uint64_t k1;
};

// 128 bits from the operating system (getrandom, else /dev/urandom); where neither
// answers, a mix of clocks, the process id and addresses, which varies between runs.
HashKey drawHashKey() noexcept;

// The key of this process, drawn the first time it is asked for.
inline const HashKey& processHashKey() noexcept {
    static const HashKey key = drawHashKey();
    return key;
}

namespace sip {

inline std::uint64_t rotl(std::uint64_t x, int b) noexcept {
    return (x << b) | (x >> (64 - b));
}

inline std::uint64_t load64(const char* p) noexcept {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline std::uint64_t load32(const char* p) noexcept {
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

struct State {
    std::uint64_t v0, v1, v2, v3;

    void round() noexcept {
        v0 += v1;
        v1 = rotl(v1, 13);
        v1 ^= v0;
        v0 = rotl(v0, 32);
        v2 += v3;
        v3 = rotl(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = rotl(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = rotl(v1, 17);
        v1 ^= v2;
        v2 = rotl(v2, 32);
    }
    void compress(std::uint64_t m) noexcept {
        v3 ^= m;
        round();
        v0 ^= m;
    }
};

// The last `length % 8` bytes of the input as a little-endian word, read with at most
// two loads (overlapping the bytes before them when there are any).
inline std::uint64_t tail(const char* end, std::size_t length) noexcept {
    const std::size_t rest = length & 7;
    if (rest == 0) {
        return 0;
    }
    if (length >= 8) {
        return load64(end - 8) >> (8 * (8 - rest));
    }
    const char* p = end - rest;
    if (rest >= 4) {
        return load32(p) | load32(end - 4) << (8 * (rest - 4));
    }
    const auto byte = [p](std::size_t i) {
        return static_cast<std::uint64_t>(static_cast<unsigned char>(p[i]));
    };
    return byte(0) | byte(rest / 2) << (8 * (rest / 2)) | byte(rest - 1) << (8 * (rest - 1));
}

} // namespace sip

// SipHash-1-3 of the `length` bytes at `data` (on a little-endian machine, the values
// of the reference implementation).
inline std::uint64_t sipHash13(const HashKey& key, const char* data, std::size_t length) noexcept {
    sip::State s{key.k0 ^ 0x736f6d6570736575u, key.k1 ^ 0x646f72616e646f6du, key.k0 ^ 0x6c7967656e657261u,
                 key.k1 ^ 0x7465646279746573u};
    const char* const end = data + length;
    for (const char* p = data; end - p >= 8; p += 8) {
        s.compress(sip::load64(p));
    }
    s.compress(static_cast<std::uint64_t>(length) << 56 | sip::tail(end, length));
    s.v2 ^= 0xff;
    s.round();
    s.round();
    s.round();
    return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

// The hash of a name in every index of the process. Without the key, names cannot be
// chosen to collide: a settings file cannot slow its own loading down, nor the queries.
inline std::uint64_t hashName(const char* name, std::size_t length) noexcept {
    return sipHash13(processHashKey(), name, length);
}

} // namespace kolt::detail

#endif
