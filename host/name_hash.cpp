// The per-process key of the name hash.
#include "name_hash.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

#if defined(__has_include)
#if __has_include(<sys/random.h>)
#include <sys/random.h>
#define KOLT_HAVE_GETRANDOM 1
#endif
#endif

namespace kolt::detail {

namespace {

bool fromGetrandom(char* out, std::size_t size) noexcept {
#if defined(KOLT_HAVE_GETRANDOM)
    // Non-blocking: early in boot, before the pool is ready, /dev/urandom still answers.
    while (size > 0) {
        const ssize_t got = ::getrandom(out, size, GRND_NONBLOCK);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        out += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
#else
    (void)out;
    (void)size;
    return false;
#endif
}

bool fromUrandom(char* out, std::size_t size) noexcept {
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    while (size > 0) {
        const ssize_t got = ::read(fd, out, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        out += got;
        size -= static_cast<std::size_t>(got);
    }
    ::close(fd);
    return size == 0;
}

} // namespace

HashKey drawHashKey() noexcept {
    HashKey key{};
    char* const bytes = reinterpret_cast<char*>(&key);
    if (fromGetrandom(bytes, sizeof key) || fromUrandom(bytes, sizeof key)) {
        return key;
    }
    // No entropy source (a sandbox without the system call and without /dev): what
    // differs between runs, hashed. Guessable by someone on the machine, not from a file.
    const auto now = [](auto clock) {
        return static_cast<std::uint64_t>(clock.time_since_epoch().count());
    };
    int local = 0;
    const std::uint64_t mix[] = {now(std::chrono::system_clock::now()), now(std::chrono::steady_clock::now()),
                                 static_cast<std::uint64_t>(::getpid()),
                                 reinterpret_cast<std::uintptr_t>(&local),
                                 reinterpret_cast<std::uintptr_t>(&drawHashKey)};
    const HashKey seed{mix[0], mix[1]};
    key.k0 = sipHash13(seed, reinterpret_cast<const char*>(mix), sizeof mix);
    key.k1 = sipHash13(HashKey{key.k0, mix[2]}, reinterpret_cast<const char*>(mix), sizeof mix);
    return key;
}

} // namespace kolt::detail
