// The properties the fuzzer checks, over every document the tests hold.
#include "../fuzz/properties.h"
#include "golden_cases.h"
#include "support.h"

#include <gtest/gtest.h>

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

} // namespace
