// Host output streams over std::cout and std::cerr.
#include <koltSettings/host/streams.h>

#include <cstring>
#include <iostream>
#include <ostream>

namespace {

// A target that fails is left in its failed state (badbit); when the caller asked it to
// throw as well, the exception stops here: writing diagnostics never throws.
template <class Write>
void guarded(Write write) noexcept {
    try {
        write();
    } catch (...) {
    }
}

} // namespace

rzOFStream& rzOFStream::operator<<(const char* text) noexcept {
    if (!text) {
        text = "(null)";
    }
    return write(text, std::strlen(text));
}

rzOFStream& rzOFStream::operator<<(char c) noexcept {
    guarded([&] { _out->put(c); });
    return *this;
}

rzOFStream& rzOFStream::operator<<(long value) noexcept {
    guarded([&] { *_out << value; });
    return *this;
}

rzOFStream& rzOFStream::write(const char* data, std::size_t length) noexcept {
    guarded([&] { _out->write(data, static_cast<std::streamsize>(length)); });
    return *this;
}

rzOFStream& rzOFStream::flush() noexcept {
    guarded([&] { _out->flush(); });
    return *this;
}

std::ostream* rzOFStream::Redirect(std::ostream* target) noexcept {
    std::ostream* previous = _out;
    _out = target ? target : _default;
    return previous;
}

rzOFStream& endl(rzOFStream& stream) noexcept {
    return stream.write("\n", 1).flush();
}

// std::cout and std::cerr are usable from static initialisation on (the ios_base::Init
// object of <iostream> guarantees it) and are flushed at exit, so nothing is lost.
rzOFStream rzStdout(std::cout);
rzOFStream rzStderr(std::cerr);
