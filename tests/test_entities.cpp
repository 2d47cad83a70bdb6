// Entity decoding: the documented examples, and equivalence with the restart-from-the-
// start definition on generated texts.
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

// The definition: for each entity in order, replace the first occurrence searching from
// the start of the text, until there is none.
std::string decodeByRestarting(std::string s) {
    static const std::pair<const char*, char> rows[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto& [entity, ch] : rows) {
        for (std::size_t at; (at = s.find(entity)) != std::string::npos;) {
            s.replace(at, std::strlen(entity), 1, ch);
        }
    }
    return s;
}

std::string decode(std::string s) {
    koltSettingManager m;
    m.substituteEntities(s.data());
    return s.c_str();
}

TEST(Entities, DocumentedExamples) {
    // As docs/behaviour.md tells; the generated texts below cover the rest.
    const std::pair<const char*, const char*> rows[] = {
        {"a &amp; b", "a & b"}, {"&amp;amp;", "&"},   {"&amp;lt;", "<"}, {"&lt;amp;", "<amp;"},
        {"&#60;", "&#60;"},     {"&nbsp;", "&nbsp;"}, {"&amp", "&amp"},  {"", ""},
    };
    for (const auto& [before, after] : rows) {
        EXPECT_EQ(decode(before), after) << "input: " << before;
    }
}

TEST(Entities, NullAndEmptyAreReturnedUntouched) {
    koltSettingManager m;
    EXPECT_EQ(m.substituteEntities(nullptr), nullptr);
    char empty[] = "";
    EXPECT_EQ(m.substituteEntities(empty), empty);
    char text[] = "a&lt;b";
    EXPECT_EQ(m.substituteEntities(text), text);
}

TEST(Entities, SinglePassEqualsRestartingOnGeneratedTexts) {
    // Pieces chosen so that replacements create, chain into and border on entities.
    const char* pieces[] = {"&",     "amp;",   "&amp;", "lt;",    "&lt;", "gt;",  "&gt;",
                            "quot;", "&quot;", "apos;", "&apos;", "a",    ";",    "&am",
                            "p",     "l",      "&#38;", "<",      " ",    "&l",   "&g",
                            "&q",    "&ap",    "t;",    "ot;",    "os;",  "uot;", "pos;"};
    std::mt19937 rng(20261205);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(0, 24);
    for (int round = 0; round < 200000; ++round) {
        std::string text;
        for (int n = length(rng); n > 0; --n) {
            text += pieces[pick(rng)];
        }
        ASSERT_EQ(decode(text), decodeByRestarting(text)) << "input: " << text;
    }
}

} // namespace
