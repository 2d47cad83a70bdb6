// Counting of the bytes held through operator new, which the binary linking
// counting_allocator.cpp replaces, and through countedAlloc, which it makes pugixml's
// allocator; and allocations made to fail on purpose. Under valgrind, which puts its own operator new in
// place, only countedAlloc's blocks are counted, and only they can be made to fail.
#ifndef KOLTSETTINGS_TESTS_COUNTING_ALLOCATOR_H
#define KOLTSETTINGS_TESTS_COUNTING_ALLOCATOR_H

#include <cstddef>
#include <functional>

namespace kolt::test {

// malloc and free with counting; blocks of one are released by the other only.
void* countedAlloc(std::size_t size) noexcept;
void countedFree(void* block) noexcept;

// The most bytes live at once while `run` ran, beyond those live before it.
std::size_t peakDuring(const std::function<void()>& run);
// Bytes live now.
std::size_t liveBytes() noexcept;

// From now on, the `n`th allocation (1: the next one) fails, whatever asks for it: the
// throwing operator new throws std::bad_alloc, the others return null. 0: none fails.
void failAllocation(std::size_t n) noexcept;
// Allocations asked for since the last failAllocation call.
std::size_t allocationsSinceArmed() noexcept;

} // namespace kolt::test

#endif
