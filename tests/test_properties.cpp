// The properties the fuzzer checks, over every document the tests hold, and the
// fuzzer's dictionary against the names the loader compares with.
#include "../fuzz/dictionary.h"
#include "../fuzz/properties.h"
#include "golden_cases.h"
#include "support.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <set>

namespace {

using kolt::test::filesIn;
using kolt::test::readFile;

struct Document {
    std::string label;
    std::string text;
};

// The "--- xml" sections of the golden cases, the bundled example and the fuzzer's seeds.
std::vector<Document> documents() {
    std::vector<Document> docs;
    for (const auto& c : kolt::test::goldenCases()) {
        for (const std::string& xml : c.documents()) {
            docs.push_back({c.label(), xml});
        }
    }
    for (const std::string& file : filesIn(KOLT_EXAMPLES_DIR, ".xml")) {
        docs.push_back({file, readFile(std::string(KOLT_EXAMPLES_DIR) + "/" + file)});
    }
    for (const std::string& file : filesIn(KOLT_FUZZ_SEEDS_DIR, "")) {
        docs.push_back({"seed " + file, readFile(std::string(KOLT_FUZZ_SEEDS_DIR) + "/" + file)});
    }
    return docs;
}

TEST(Properties, LoadingTwiceDoublesEverything) {
    for (const Document& d : documents()) {
        EXPECT_EQ(kolt::fuzz::checkLoadTwice(d.text), "") << d.label;
    }
}

TEST(Properties, EveryCutBetweenTopLevelElementsLoadsAsTheWhole) {
    std::size_t cuts = 0;
    for (const Document& d : documents()) {
        for (std::size_t point = 1; point <= kolt::fuzz::splitPoints(d.text); ++point, ++cuts) {
            EXPECT_EQ(kolt::fuzz::checkSplit(d.text, point), "")
                << d.label << ", cut before top-level element " << point;
        }
    }
    EXPECT_GE(cuts, 10u) << "the documents were cut";
}

TEST(PropertyChecks, CutsNeedTwoTopLevelElementsInAWellFormedUtf8Document) {
    const std::string twoStops = kolt::test::settings("<A/><RunType TypeOfRun=\"Check\"/><B/>");
    EXPECT_EQ(kolt::fuzz::splitPoints(twoStops), 2u);
    EXPECT_EQ(kolt::fuzz::checkSplit(twoStops, 1), "") << "the first part stops: the second is not loaded";
    EXPECT_EQ(kolt::fuzz::checkSplit(twoStops, 2), "");
    EXPECT_EQ(kolt::fuzz::splitPoints(kolt::test::settings("<RunType/>")), 0u);
    EXPECT_EQ(kolt::fuzz::splitPoints("<Settings><RunType/><ReportSet/>"), 0u) << "not well-formed";
    EXPECT_EQ(kolt::fuzz::splitPoints("<Settings><RunType/></Settings><Second/>"), 0u);
    EXPECT_EQ(kolt::fuzz::splitPoints(std::string("\xFF\xFE<\0S\0/\0>\0", 10)), 0u) << "UTF-16";
    EXPECT_NE(kolt::fuzz::checkSplit(twoStops, 3), "") << "no element to cut before";
}

bool isIdentifier(const std::string& s) {
    return !s.empty() && !std::isdigit(static_cast<unsigned char>(s[0])) &&
           std::all_of(s.begin(), s.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

// The string literals of a C++ source that are identifiers; comments and character
// literals are skipped so that their quotes and apostrophes do not count.
std::vector<std::string> quotedIdentifiers(const std::string& source) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < source.size()) {
        if (source.compare(i, 2, "//") == 0) {
            i = std::min(source.find('\n', i), source.size());
        } else if (source.compare(i, 2, "/*") == 0) {
            i = std::min(source.find("*/", i + 2), source.size()) + 2;
        } else if (source[i] == '"' || source[i] == '\'') {
            const char quote = source[i++];
            std::string literal;
            for (; i < source.size() && source[i] != quote; ++i) {
                i += source[i] == '\\' ? 1 : 0;
                literal += source[i];
            }
            ++i;
            if (quote == '"' && isIdentifier(literal)) {
                words.push_back(literal);
            }
        } else {
            ++i;
        }
    }
    return words;
}

// The dictionary must hold every name the loader compares with. The loader's sources
// (not the diagnostic texts) are read for quoted identifiers; those that name no
// element, attribute or value of a settings document are listed here.
TEST(FuzzDictionary, HoldsEveryNameTheLoaderComparesWith) {
    const std::set<std::string> notDocumentWords = {
        "koltWordDetection", // a rule kind's name
        "Class",
        "Interface",
        "Method",
        "Word",
        "Use", // pieces of the use element names
    };
    const std::vector<std::string> words = kolt::fuzz::settingsWords();
    const std::set<std::string> dictionary(words.begin(), words.end());
    int seen = 0;
    for (const char* area : {"settings", "optionlists", "rules"}) {
        for (const std::string& name : filesIn(std::string(KOLT_SOURCE_DIR) + "/" + area, ".cpp")) {
            if (name == "messages.cpp" || name == "dump.cpp") {
                continue; // diagnostic texts and the listing for people
            }
            const std::string file = std::string(KOLT_SOURCE_DIR) + "/" + area + "/" + name;
            for (const std::string& word : quotedIdentifiers(readFile(file))) {
                ++seen;
                if (!notDocumentWords.count(word)) {
                    EXPECT_TRUE(dictionary.count(word)) << word << " (" << file << ")";
                }
            }
        }
    }
    EXPECT_GT(seen, 40) << "the sources were read";
    for (const char* fromTheTable : {"Macro2Expand", "CallbackSignature", "EntityDetection_Words",
                                     "ClassName", "Various_OptionLists", "StaticMember", "TIE", "New"}) {
        EXPECT_TRUE(dictionary.count(fromTheTable)) << fromTheTable;
    }
    const std::string dict = kolt::fuzz::fuzzerDictionary();
    EXPECT_NE(dict.find("\"<Macro2Expand>\"\n"), std::string::npos);
    EXPECT_NE(dict.find("\" TypeOfRun=\\x22\"\n"), std::string::npos) << "quotes are escaped";
    EXPECT_NE(dict.find("\"\\xEF\\xBB\\xBF\"\n"), std::string::npos);
}

} // namespace
