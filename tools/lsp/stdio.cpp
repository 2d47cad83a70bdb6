// The lsp command: one thread, one loop waiting on standard input or the next time
// diagnostics are due.
#include "server.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <iostream>

#include <poll.h>
#include <unistd.h>

namespace kolt::lsp {

namespace {

int usage(const std::string& message) {
    std::cerr << "kolt-settings: " << message << "\nTry 'kolt-settings --help' for more information.\n";
    return 2;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

int serve(const std::vector<std::string>& args, const char* version) {
    Server::Options options;
    options.version = version;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--stdio") {
            continue; // what some clients pass to say how they talk; the only way here
        }
        std::string value;
        if (a.rfind("--debounce=", 0) == 0) {
            value = a.substr(11);
        } else if (a == "--debounce" && i + 1 < args.size()) {
            value = args[++i];
        } else {
            return usage("unknown option '" + a + "' for lsp");
        }
        char* end = nullptr;
        errno = 0;
        const long ms = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || ms < 0 || ms > 60000 || errno == ERANGE) {
            return usage("--debounce needs milliseconds, 0 to 60000 (not '" + value + "')");
        }
        options.debounce = std::chrono::milliseconds(ms);
    }

    std::signal(SIGPIPE, SIG_IGN); // a client gone away shows as a failed write
    bool writeFailed = false;
    Server server(options, [&](std::string_view bytes) { writeFailed = writeFailed || !writeAll(1, bytes); });
    char buffer[1 << 16];
    while (!server.exited() && !writeFailed) {
        int timeout = -1;
        if (const auto next = server.nextDeadline()) {
            const auto wait =
                std::chrono::ceil<std::chrono::milliseconds>(*next - Server::Clock::now()).count();
            timeout = static_cast<int>(std::clamp<decltype(wait)>(wait, 0, INT_MAX));
        }
        pollfd in{0, POLLIN, 0};
        const int ready = ::poll(&in, 1, timeout);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready > 0) {
            const ssize_t n = ::read(0, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
                break; // end of input: as good as exit
            }
            if (n > 0) {
                server.receive(std::string_view(buffer, static_cast<std::size_t>(n)), Server::Clock::now());
            }
        }
        server.publishDue(Server::Clock::now());
    }
    return writeFailed ? 1 : server.exitCode();
}

} // namespace kolt::lsp
