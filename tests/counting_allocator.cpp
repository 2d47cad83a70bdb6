// Counting operator new and delete. In a file of their own, so that no caller inlines
// them: under valgrind every call must reach the same pair.
#include "counting_allocator.h"

#include <pugixml.hpp>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gPeak{0};
std::atomic<std::size_t> gFailAt{0}; // 0: none
std::atomic<std::size_t> gAllocations{0};

// A header before each block remembers its size.
constexpr std::size_t kHeader = alignof(std::max_align_t);

// pugixml counted too, from before any document is parsed: it must free with the
// function it allocated with.
struct CountPugixml {
    CountPugixml() {
        pugi::set_memory_management_functions(kolt::test::countedAlloc, kolt::test::countedFree);
    }
} gCountPugixml;

} // namespace

namespace kolt::test {

void* countedAlloc(std::size_t size) noexcept {
    if (++gAllocations == gFailAt) {
        return nullptr;
    }
    auto* raw = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!raw) {
        return nullptr;
    }
    *reinterpret_cast<std::size_t*>(raw) = size;
    const std::size_t live = gLive += size;
    for (std::size_t peak = gPeak; live > peak && !gPeak.compare_exchange_weak(peak, live);) {
    }
    return raw + kHeader;
}

void countedFree(void* block) noexcept {
    if (block) {
        unsigned char* raw = static_cast<unsigned char*>(block) - kHeader;
        gLive -= *reinterpret_cast<std::size_t*>(raw);
        std::free(raw);
    }
}

std::size_t liveBytes() noexcept {
    return gLive;
}

void failAllocation(std::size_t n) noexcept {
    gAllocations = 0;
    gFailAt = n;
}

std::size_t allocationsSinceArmed() noexcept {
    return gAllocations;
}

std::size_t peakDuring(const std::function<void()>& run) {
    const std::size_t before = gLive;
    gPeak = before;
    run();
    return gPeak - before;
}

} // namespace kolt::test

void* operator new(std::size_t size) {
    if (void* p = kolt::test::countedAlloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return kolt::test::countedAlloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return kolt::test::countedAlloc(size ? size : 1);
}
void operator delete(void* p) noexcept {
    kolt::test::countedFree(p);
}
void operator delete[](void* p) noexcept {
    kolt::test::countedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    kolt::test::countedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    kolt::test::countedFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    kolt::test::countedFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    kolt::test::countedFree(p);
}
