/// \file
/// Host output streams: rzStdout, rzStderr and the endl manipulator.
#ifndef KOLTSETTINGS_HOST_STREAMS_H
#define KOLTSETTINGS_HOST_STREAMS_H

#include <koltSettings/export.h>

#include <cstddef>
#include <iosfwd>

/// An output stream writing to a standard stream, or to another std::ostream the
/// caller installs with Redirect (to capture output in-process). Writes are as
/// thread-safe as the target std::ostream; redirecting is not synchronised.
/// Writing never throws: a target that fails keeps its failed state, even one set to
/// throw.
class KOLT_API rzOFStream {
public:
    /// A manipulator such as ::endl.
    using Manipulator = rzOFStream& (*)(rzOFStream&);

    /// A stream on `target`, which must outlive it; Redirect(nullptr) comes back to it.
    constexpr explicit rzOFStream(std::ostream& target) noexcept : _default(&target), _out(&target) {}
    /// \name No copies
    //@{
    /// A stream is a process-wide object.
    rzOFStream(const rzOFStream&) = delete;
    rzOFStream& operator=(const rzOFStream&) = delete;
    //@}

    /// Writes the text; a null text is written as "(null)".
    rzOFStream& operator<<(const char* text) noexcept;
    /// Writes one character.
    rzOFStream& operator<<(char c) noexcept;
    /// Writes a number in decimal.
    rzOFStream& operator<<(long value) noexcept;
    /// Writes a number in decimal.
    rzOFStream& operator<<(int value) noexcept { return *this << static_cast<long>(value); }
    /// Applies a manipulator such as ::endl.
    rzOFStream& operator<<(Manipulator manipulator) { return manipulator(*this); }

    /// Writes `length` bytes at once (NUL bytes included); `data` may be null when
    /// `length` is 0.
    rzOFStream& write(const char* data, std::size_t length) noexcept;
    /// Flushes the target.
    rzOFStream& flush() noexcept;

    /// Sends all later output to `target` (null: back to the standard stream) and
    /// returns the previous target. Not synchronised with concurrent writers.
    std::ostream* Redirect(std::ostream* target) noexcept;
    /// The stream output goes to now.
    std::ostream& target() const noexcept { return *_out; }

private:
    std::ostream* _default;
    std::ostream* _out;
};

/// Ends the current line and flushes.
KOLT_API rzOFStream& endl(rzOFStream& stream) noexcept;

/// Rule display stream, on the process's standard output.
extern KOLT_API rzOFStream rzStdout;
/// Diagnostic stream, on the process's standard error.
extern KOLT_API rzOFStream rzStderr;

/// Redirects a stream for the lifetime of the object, then restores the previous target.
/// Not synchronised: redirect while no other thread writes to the stream.
class rzStreamRedirect {
public:
    /// Sends the output of `stream` to `target`, which must outlive this object.
    rzStreamRedirect(rzOFStream& stream, std::ostream& target)
        : _stream(stream), _previous(stream.Redirect(&target)) {}
    /// Restores the target the stream had before.
    ~rzStreamRedirect() { _stream.Redirect(_previous); }
    /// \name No copies
    //@{
    /// One object, one restore.
    rzStreamRedirect(const rzStreamRedirect&) = delete;
    rzStreamRedirect& operator=(const rzStreamRedirect&) = delete;
    //@}

private:
    rzOFStream& _stream;
    std::ostream* _previous;
};

#endif
