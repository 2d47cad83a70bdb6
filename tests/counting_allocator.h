// Counting of the bytes held through operator new, which the binary linking
// counting_allocator.cpp replaces, and through countedAlloc. Under valgrind, which puts
// its own operator new in place, only countedAlloc's blocks are counted.
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

} // namespace kolt::test

#endif
