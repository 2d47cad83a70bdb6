// Host output streams: rzStdout, rzStderr and the endl manipulator.
#ifndef KOLTSETTINGS_HOST_STREAMS_H
#define KOLTSETTINGS_HOST_STREAMS_H

#include <koltSettings/export.h>

#include <cstddef>
#include <iosfwd>

// An output stream writing to a standard stream, or to another std::ostream the
// caller installs with Redirect (to capture output in-process).
// Writing never throws: a target that fails keeps its failed state, even one set to throw.
class KOLT_API rzOFStream {
public:
    using Manipulator = rzOFStream& (*)(rzOFStream&);

    constexpr explicit rzOFStream(std::ostream& target) noexcept : _default(&target), _out(&target) {}
    rzOFStream(const rzOFStream&) = delete;
    rzOFStream& operator=(const rzOFStream&) = delete;

    // Writes the text; a null text is written as "(null)".
    rzOFStream& operator<<(const char* text) noexcept;
    rzOFStream& operator<<(char c) noexcept;
    rzOFStream& operator<<(long value) noexcept;
    rzOFStream& operator<<(int value) noexcept { return *this << static_cast<long>(value); }
    rzOFStream& operator<<(Manipulator manipulator) { return manipulator(*this); }

    // Writes `length` bytes at once.
    rzOFStream& write(const char* data, std::size_t length) noexcept;
    rzOFStream& flush() noexcept;

    // Sends all later output to `target` (null: back to the standard stream) and
    // returns the previous target. Not synchronised with concurrent writers.
    std::ostream* Redirect(std::ostream* target) noexcept;
    std::ostream& target() const noexcept { return *_out; }

private:
    std::ostream* _default;
    std::ostream* _out;
};

// Ends the current line and flushes.
KOLT_API rzOFStream& endl(rzOFStream& stream) noexcept;

// Rule display stream, on the process's standard output.
extern KOLT_API rzOFStream rzStdout;
// Diagnostic stream, on the process's standard error.
extern KOLT_API rzOFStream rzStderr;

// Redirects a stream for the lifetime of the object.
class rzStreamRedirect {
public:
    rzStreamRedirect(rzOFStream& stream, std::ostream& target)
        : _stream(stream), _previous(stream.Redirect(&target)) {}
    ~rzStreamRedirect() { _stream.Redirect(_previous); }
    rzStreamRedirect(const rzStreamRedirect&) = delete;
    rzStreamRedirect& operator=(const rzStreamRedirect&) = delete;

private:
    rzOFStream& _stream;
    std::ostream* _previous;
};

#endif
