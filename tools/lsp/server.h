// kolt-settings lsp: the Language Server Protocol side, without any input or output of
// its own. Bytes from the client go in through receive(); framed messages come out
// through the writer; the caller's loop says what time it is, so that tests and the
// fuzzer drive it without a pipe or a clock.
#ifndef KOLTSETTINGS_TOOLS_LSP_SERVER_H
#define KOLTSETTINGS_TOOLS_LSP_SERVER_H

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kolt::lsp {

class Server {
public:
    using Clock = std::chrono::steady_clock;
    struct Options {
        // Diagnostics are published this long after the last change of a document (at
        // once after opening it).
        std::chrono::milliseconds debounce{200};
        // A message body larger than this is refused (and skipped).
        std::size_t maxMessageBytes = std::size_t(64) << 20;
        std::string version; // for serverInfo
    };
    // Receives each outgoing message, framed, in one piece.
    using Writer = std::function<void(std::string_view)>;

    Server(Options options, Writer writer);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Handles every message that the bytes received so far complete.
    void receive(std::string_view bytes, Clock::time_point now);
    // When publishDue() has work next; nothing while no document waits for diagnostics.
    std::optional<Clock::time_point> nextDeadline() const;
    // Publishes the diagnostics of every document whose time has come.
    void publishDue(Clock::time_point now);

    // The client sent exit: read no further.
    bool exited() const noexcept;
    // 0 when shutdown came before exit (or the end of input), else 1.
    int exitCode() const noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> _impl;
};

// The `lsp` command: serves on standard input and output until exit or end of input.
// `args` are the command's own arguments. Returns the process's exit status.
int serve(const std::vector<std::string>& args, const char* version);

} // namespace kolt::lsp

#endif
