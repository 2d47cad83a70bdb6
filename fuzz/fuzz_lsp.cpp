// libFuzzer target: any bytes, read by the language server as what a client sends, must
// not crash, leak or misbehave. An input that begins with '{' is taken as one JSON
// message a line and framed here, so that the fuzzer spends its time on messages rather
// than on headers; any other input is the raw stream, headers and all.
#include "lsp/server.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    kolt::lsp::Server::Options options;
    options.maxMessageBytes = 1 << 20;
    kolt::lsp::Server server(options, [&](std::string_view message) {
        // Every message goes out framed, with the length it has.
        const std::size_t body = message.find("\r\n\r\n");
        if (message.compare(0, 16, "Content-Length: ") != 0 || body == std::string_view::npos ||
            std::to_string(message.size() - body - 4) != message.substr(16, body - 16)) {
            std::fprintf(stderr, "badly framed output\n");
            std::abort();
        }
    });
    const auto now = kolt::lsp::Server::Clock::now();
    const auto feed = [&](std::string_view bytes) {
        server.receive(bytes, now);
        server.publishDue(now + std::chrono::hours(1)); // whatever is due, at once
    };
    if (!input.empty() && input.front() == '{') {
        for (std::size_t start = 0; start < input.size() && !server.exited();) {
            std::size_t end = input.find('\n', start);
            end = end == std::string_view::npos ? input.size() : end;
            const std::string_view body = input.substr(start, end - start);
            feed("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body));
            start = end + 1;
        }
    } else {
        // In two pieces, cut by the bytes, so that a crash replays the same cut.
        const std::size_t cut = size ? data[0] * size / 256 : 0;
        feed(input.substr(0, cut));
        feed(input.substr(cut));
    }
    return 0;
}
