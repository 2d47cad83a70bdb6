// libFuzzer target: any bytes, loaded as a settings document through the file loader's
// walk, must not crash, leak or misbehave, and must keep the properties of loading.
#include "properties.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

void require(const std::string& failure, const char* property) {
    if (!failure.empty()) {
        std::fprintf(stderr, "property broken: %s\n%s\n", property, failure.c_str());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view document(reinterpret_cast<const char*>(data), size);
    require(kolt::fuzz::checkLoadTwice(document), "load twice");
    if (const std::size_t points = kolt::fuzz::splitPoints(document)) {
        // One cut per input, chosen by its bytes so that a crash replays the same cut.
        std::size_t h = size;
        for (std::size_t i = 0; i < size; ++i) {
            h = h * 31 + data[i];
        }
        require(kolt::fuzz::checkSplit(document, 1 + h % points), "split in two");
    }
    return 0;
}
