// Names crafted to collide in the name index. Until the index's hash was keyed, blocks
// of 16 name characters could be chosen to add the same amount to its state, so that
// any number of names shared one hash: loading them, and every query afterwards, went
// quadratic. Such names, built against that former hash, must now load and be found as
// fast as any (a hang shows as the ctest timeout), and spread over the table; and the
// key must differ from one process to the next.
#include "support.h"

#include "host/name_hash.h"

#include <koltSettings/koltSettings.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------
// The former hash, for reference, and names built to collide under it.

constexpr std::uint64_t kFormerFactor = 0x9e3779b97f4a7c15u;

std::uint64_t rotl23(std::uint64_t x) {
    return x << 23 | x >> 41;
}

std::uint64_t word(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// What the index kept of a name of 8 bytes or more.
std::uint32_t formerHash(const std::string& name) {
    constexpr std::uint64_t kMix = 0xff51afd7ed558ccdu;
    std::uint64_t h = name.size() * kMix;
    const std::size_t last = name.size() - 8;
    for (std::size_t i = 0; i < last; i += 8) {
        h = rotl23(h) ^ word(name.data() + i) * kFormerFactor;
    }
    h = rotl23(h) ^ word(name.data() + last) * kFormerFactor;
    h ^= h >> 33;
    h *= kMix;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h);
}

// A block of words (a, b) adds rotl23(a * F) ^ (b * F) to the state, whatever came
// before; for any a, one b adds a chosen amount, and one a in 2^16 gives a b made of
// name characters. `prefix` (a multiple of 8 bytes long) and five blocks out of sixteen
// that add the same amount: up to 16^5 names of one length and one hash.
std::vector<std::string> collidingNames(const std::string& prefix, std::size_t count) {
    static const std::string kChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-";
    std::mt19937_64 random(1);
    const auto randomWord = [&] {
        std::string w(8, ' ');
        for (char& c : w) {
            c = kChars[random() % kChars.size()];
        }
        return w;
    };
    const auto adds = [](std::uint64_t a, std::uint64_t b) {
        return rotl23(a * kFormerFactor) ^ b * kFormerFactor;
    };
    std::uint64_t inverse = kFormerFactor; // Newton's iteration: each step doubles the correct bits
    for (int i = 0; i < 5; ++i) {
        inverse *= 2 - kFormerFactor * inverse;
    }
    std::vector<std::string> blocks{randomWord() + randomWord()};
    const std::uint64_t amount = adds(word(blocks[0].data()), word(blocks[0].data() + 8));
    while (blocks.size() < 16) {
        const std::string a = randomWord();
        std::string b(8, ' ');
        const std::uint64_t bWord = (rotl23(word(a.data()) * kFormerFactor) ^ amount) * inverse;
        std::memcpy(b.data(), &bWord, sizeof bWord);
        if (b.find_first_not_of(kChars) == std::string::npos &&
            std::find(blocks.begin(), blocks.end(), a + b) == blocks.end()) {
            blocks.push_back(a + b);
        }
    }
    std::vector<std::string> names;
    for (std::size_t t = 0; t < count; ++t) {
        std::string name = prefix;
        for (int k = 0; k < 5; ++k) {
            name += blocks[t >> (4 * k) & 15];
        }
        names.push_back(std::move(name));
    }
    return names;
}

// ---------------------------------------------------------------------------------------

constexpr std::size_t kNames = 160000;

// Where the names go: each between `before` and `after`, all between `open` and `close`.
struct Shape {
    const char* label;
    const char* prefix;
    const char* open;
    const char* before;
    const char* after;
    const char* close;
    bool (*found)(const koltSettingManager& m, const char* name);
};

void PrintTo(const Shape& shape, std::ostream* os) {
    *os << shape.label;
}

const Shape kShapes[] = {
    {"ActiveReports", "Report__", "<ReportSet>", "<Report MessageName=\"", "\" Activate=\"true\"/>",
     "</ReportSet>",
     [](const koltSettingManager& m, const char* name) {
         return m.report(name) == 1;
     }},
    {"PrefixMatchedLists", "EntityDetection_Words___", "<OptionLists><EntityDetection_OptionLists>", "<",
     "/>", "</EntityDetection_OptionLists></OptionLists>",
     [](const koltSettingManager& m, const char* name) {
         return m.getGAXListOfEntityDetection(name) != nullptr;
     }},
};

class Colliding : public ::testing::TestWithParam<Shape> {};

TEST_P(Colliding, LoadAndAreFoundLikeAnyNames) {
    const Shape& shape = GetParam();
    std::vector<std::string> names = collidingNames(shape.prefix, kNames + 1);
    const std::string absent = names.back(); // colliding too, and not in the file
    names.pop_back();
    const std::uint32_t shared = formerHash(absent);
    ASSERT_TRUE(std::all_of(names.begin(), names.end(), [&](const std::string& n) {
        return formerHash(n) == shared;
    })) << "the names collide under the former hash";

    std::string body = shape.open;
    for (const std::string& n : names) {
        body += shape.before + n + shape.after;
    }
    const auto loaded = kolt::test::loadXml(kolt::test::settings(body + shape.close));
    EXPECT_EQ(loaded.results, std::vector<int>{0});
    EXPECT_EQ(loaded.err, "");
    std::size_t found = 0;
    for (const std::string& n : names) {
        found += shape.found(*loaded.manager, n.c_str()) ? 1 : 0;
    }
    EXPECT_EQ(found, kNames);
    EXPECT_FALSE(shape.found(*loaded.manager, absent.c_str()));
}

INSTANTIATE_TEST_SUITE_P(Names, Colliding, ::testing::ValuesIn(kShapes),
                         [](const ::testing::TestParamInfo<Shape>& shape) {
                             return std::string(shape.param.label);
                         });

// The keyed hash spreads them: in a table of 2^17 slots, as few share a slot as for
// random names (a handful at most).
TEST(KeyedHash, SpreadsNamesBuiltToCollide) {
    const std::vector<std::string> names = collidingNames("Report__", 40000);
    std::vector<int> perSlot(std::size_t(1) << 17);
    std::set<std::uint64_t>
        hashes; // 64 bits: a chance collision is out of reach (32 bits: one run in a thousand)
    for (const std::string& n : names) {
        const std::uint64_t h = kolt::detail::hashName(n.data(), n.size());
        hashes.insert(h);
        ++perSlot[h & (perSlot.size() - 1)];
    }
    EXPECT_EQ(hashes.size(), names.size());
    EXPECT_LE(*std::max_element(perSlot.begin(), perSlot.end()), 12);
}

// SipHash-1-3 with the key 0, as the reference implementation gives it.
TEST(KeyedHash, IsSipHash13) {
    const kolt::detail::HashKey zero{0, 0};
    const std::pair<std::string, std::uint64_t> known[] = {{"", 0xd1fba762150c532cu},
                                                           {std::string(1, '\0'), 0x68a914128e01e473u},
                                                           {"siphash", 0x8264ceeccb16bcbeu},
                                                           {"digest-sip_hash", 0xce31007e34130c0au}};
    for (const auto& [input, hash] : known) {
        EXPECT_EQ(kolt::detail::sipHash13(zero, input.data(), input.size()), hash) << '"' << input << '"';
    }
}

// The key is drawn anew in every process: this binary, started twice more, hashes the
// same names differently each time.
TEST(KeyedHash, KeyDiffersFromProcessToProcess) {
    const auto hashes = [] {
        std::ostringstream out;
        for (const char* name : {"MemoryLeak", "EntityDetection_Classes", "Macro2Expand"}) {
            out << kolt::detail::hashName(name, std::strlen(name)) << ' ';
        }
        return out.str();
    };
    if (std::getenv("KOLT_PRINT_NAME_HASHES")) {
        std::printf("hashes: %s\n", hashes().c_str());
        return;
    }
    char self[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string command = "KOLT_PRINT_NAME_HASHES=1 '" + std::string(self) +
                                "' --gtest_filter=KeyedHash.KeyDiffersFromProcessToProcess";
    const auto child = [&command] {
        std::string output;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            for (char line[256]; std::fgets(line, sizeof line, pipe);) {
                if (std::strncmp(line, "hashes: ", 8) == 0) {
                    output = line + 8;
                }
            }
            ::pclose(pipe);
        }
        return output;
    };
    const std::string mine = hashes();
    const std::string first = child();
    const std::string second = child();
    ASSERT_FALSE(first.empty() || second.empty());
    EXPECT_EQ(std::set<std::string>({mine + '\n', first, second}).size(), 3u);
}

} // namespace
