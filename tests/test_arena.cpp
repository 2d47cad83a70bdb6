// The arena that holds what a manager keeps: allocations stay intact and aligned across
// chunks of every size, and decoded copies have exactly the decoded length.
#include "host/arena.h"
#include "settings/entities.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using kolt::detail::Arena;

TEST(Arena, AllocationsStayIntactAcrossChunks) {
    Arena arena;
    struct Block {
        unsigned char* data;
        std::size_t size;
        unsigned char fill;
    };
    std::vector<Block> blocks;
    // Small records, texts of all lengths, and blocks larger than any chunk so far:
    // together they run through the malloc chunks into huge-page chunks.
    const std::size_t sizes[] = {1, 7, 16, 24, 100, 3000, 70000, 5u << 20, 33, 0};
    for (int round = 0; round < 400; ++round) {
        for (std::size_t size : sizes) {
            if (size > 100000 && round % 100 != 0) {
                continue;
            }
            // Texts (alignment 1) packed between records (8) and anything else (16).
            const std::size_t aligns[] = {1, 8, alignof(std::max_align_t)};
            const std::size_t align = aligns[blocks.size() % 3];
            auto* p = static_cast<unsigned char*>(arena.allocate(size, align));
            ASSERT_EQ(reinterpret_cast<std::uintptr_t>(p) % align, 0u) << size << " " << align;
            const auto fill = static_cast<unsigned char>(blocks.size() * 31 + 7);
            std::fill(p, p + size, fill);
            blocks.push_back({p, size, fill});
        }
    }
    EXPECT_GT(arena.reservedBytes(), std::size_t(20) << 20);
    for (const Block& b : blocks) {
        for (std::size_t i = 0; i < b.size; i += 997) {
            ASSERT_EQ(b.data[i], b.fill);
        }
        if (b.size) {
            ASSERT_EQ(b.data[b.size - 1], b.fill);
        }
    }
}

TEST(Arena, DecodedCopiesHaveTheDecodedLength) {
    Arena arena;
    kolt::detail::TextBuffer scratch;
    const std::string big = std::string(300000, 'x') + "&amp;amp;" + std::string(300000, 'y');
    const std::pair<std::string, std::string> rows[] = {
        {"", ""},
        {"plain", "plain"},
        {"a &lt;b&gt; &amp;amp;", "a <b> &"},
        {big, std::string(300000, 'x') + "&" + std::string(300000, 'y')},
    };
    for (const auto& [text, expected] : rows) {
        const char* copy = kolt::detail::decodedCopy(arena, scratch, text.c_str());
        ASSERT_NE(copy, nullptr);
        EXPECT_NE(copy, text.c_str());
        EXPECT_EQ(std::string(copy), expected);
    }
    EXPECT_EQ(kolt::detail::decodedCopy(arena, scratch, nullptr), nullptr);
}

} // namespace
