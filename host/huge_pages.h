// Advice to back large buffers with huge pages.
#ifndef KOLTSETTINGS_HOST_HUGE_PAGES_H
#define KOLTSETTINGS_HOST_HUGE_PAGES_H

#include <cstddef>

namespace kolt::detail {

// A large buffer written once from end to end (a document read from its file, a text
// being decoded) costs a page fault per 4 KiB page, which on some virtual machines
// costs more than the work on the page. Where the system takes it (Linux, transparent
// huge pages in "madvise" or "always" mode), this asks for huge pages for the whole
// huge pages inside [buffer, buffer + size); the memory stays its owner's, allocated
// and freed as before. Buffers under 4 MiB are left alone.
void adviseHugePages(void* buffer, std::size_t size) noexcept;

} // namespace kolt::detail

#endif
