// Loading from files: bad paths and bad documents, results, and the load report.
#include "support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using kolt::test::loadFiles;
using kolt::test::settings;
using kolt::test::TempDir;

const std::string kEmptyState = "run type: 3\nreport test framework: 0\nreports: 0\n";

TEST(LoadFile, PathsThatAreNotFilesReturnOneSilently) {
    TempDir dir;
    const std::string missing = dir.path() + "/missing.xml";
    for (const std::string& path : {missing, dir.path(), std::string()}) {
        const auto loaded = loadFiles({path});
        EXPECT_EQ(loaded.results, std::vector<int>{1}) << path;
        EXPECT_EQ(loaded.err, "");
        EXPECT_EQ(loaded.state(), kEmptyState);
        EXPECT_EQ(loaded.manager->lastLoadReport().outcome, koltLoadReport::NotAFile);
    }
    koltSettingManager m;
    EXPECT_EQ(m.loadFromXmlFile(nullptr), 1);
}

// The start of an executable: NUL bytes, control characters, no markup.
const char kGarbage[] = "\x7f"
                        "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\x00>\x00\x01\x00";

TEST(LoadFile, DocumentsWithoutElementsReturnZeroSilently) {
    TempDir dir;
    const struct {
        const char* name;
        std::string content;
        koltLoadReport::Outcome outcome;
    } rows[] = {
        {"empty", "", koltLoadReport::Malformed},
        {"garbage", std::string(kGarbage, sizeof kGarbage - 1), koltLoadReport::Malformed},
        {"text", "just some words", koltLoadReport::Malformed},
        {"truncated", "<Settings><RunType TypeOfRun=\"Check\"/><ReportSet>", koltLoadReport::Malformed},
        {"root only", "<Settings/>", koltLoadReport::Loaded},
        {"billion laughs",
         "<?xml version=\"1.0\"?><!DOCTYPE Settings [<!ENTITY a \"aaaaaaaaaa\">"
         "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
         "]><Settings>&c;</Settings>",
         koltLoadReport::Loaded},
    };
    for (const auto& row : rows) {
        const std::string path = dir.write(row.name, row.content);
        const auto loaded = loadFiles({path});
        EXPECT_EQ(loaded.results, std::vector<int>{0}) << row.name;
        EXPECT_EQ(loaded.err, "") << row.name;
        EXPECT_EQ(loaded.state(), kEmptyState) << row.name;
        EXPECT_EQ(loaded.manager->lastLoadReport().outcome, row.outcome) << row.name;
    }
}

TEST(LoadFile, UnreadableFileIsADocumentWithoutElements) {
    TempDir dir;
    const std::string path = dir.write("locked.xml", settings("<RunType TypeOfRun=\"Check\"/>"));
    ::chmod(path.c_str(), 0);
    if (::access(path.c_str(), R_OK) == 0) {
        GTEST_SKIP() << "running with privileges that read any file";
    }
    const auto loaded = loadFiles({path});
    EXPECT_EQ(loaded.results, std::vector<int>{0});
    EXPECT_EQ(loaded.err, "");
    EXPECT_EQ(loaded.state(), kEmptyState);
    EXPECT_EQ(loaded.manager->lastLoadReport().outcome, koltLoadReport::Unreadable);
}

TEST(LoadFile, UnknownTopLevelElementNamesThePathAsGiven) {
    TempDir dir;
    const std::string path = dir.write("s.xml", settings("<RunType TypeOfRun=\"Check\"/><Other/>"));
    const auto loaded = loadFiles({path});
    EXPECT_EQ(loaded.results, std::vector<int>{1});
    EXPECT_EQ(loaded.err, "--> Error while parsing SettingFile in createFromXmlFile" + path +
                              "\n--> This file is not valid according to the dtd\n / Settings / Other\n");
    EXPECT_EQ(loaded.manager->_typeOfRun, 0);
    EXPECT_EQ(loaded.manager->lastLoadReport().outcome, koltLoadReport::Stopped);
    EXPECT_EQ(loaded.manager->lastLoadReport().total, 1);
}

TEST(LoadFile, FileAndMemoryLoadsAgree) {
    const std::string example = std::string(KOLT_EXAMPLES_DIR) + "/settings.xml";
    const auto fromFile = loadFiles({example});
    const auto fromMemory = kolt::test::loadXml(kolt::test::readFile(example));
    EXPECT_EQ(fromFile.results, std::vector<int>{0});
    EXPECT_EQ(fromFile.err, "") << "the bundled example loads without a diagnostic";
    EXPECT_EQ(fromFile.state(), fromMemory.state());
    EXPECT_GT(fromFile.manager->stringLists().Size(), 0);
}

TEST(LoadReport, CountsDiagnosticsPerCode) {
    const auto loaded = kolt::test::loadXml(
        settings("<ReportSet a='1' b='2'><Report/><Other/></ReportSet><OptionLists><Bad/></OptionLists>"));
    const koltLoadReport& report = loaded.manager->lastLoadReport();
    EXPECT_EQ(report.outcome, koltLoadReport::Loaded);
    EXPECT_EQ(report.total, 5);
    EXPECT_EQ(report.counts[static_cast<int>(koltDiagnosticCode::NoAttributeAllowed)], 2);
    EXPECT_EQ(report.counts[static_cast<int>(koltDiagnosticCode::ReportWithoutMessageName)], 1);
    EXPECT_EQ(report.counts[static_cast<int>(koltDiagnosticCode::UnexpectedNode)], 2);
    EXPECT_STREQ(koltDiagnosticCodeName(koltDiagnosticCode::UnknownTopLevelElement), "KS001");
    EXPECT_STREQ(koltDiagnosticCodeName(koltDiagnosticCode::Count), "");
}

struct Recorder : koltDiagnosticObserver {
    std::vector<std::string> seen;
    void onDiagnostic(const koltDiagnostic& d) override {
        seen.push_back(std::string(d.codeName) + " " + std::to_string(d.line) + ":" +
                       std::to_string(d.column) + " " + d.elementPath + " |" + d.printedPath + "| " +
                       d.message);
    }
};

TEST(Observer, SeesWhatStderrGetsWithPositions) {
    TempDir dir;
    const std::string path = dir.write(
        "s.xml",
        "<Settings>\n <OptionLists>\n  <Various_OptionLists>\n   <ProhibitedCalls>\n"
        "    <Call><MethodOrFunctionSign>a</MethodOrFunctionSign></Call>\n"
        "    <Call/>\n   </ProhibitedCalls>\n  </Various_OptionLists>\n </OptionLists>\n</Settings>\n");
    koltSettingManager m;
    Recorder recorder;
    m.setDiagnosticObserver(&recorder);
    const auto captured = kolt::test::capture([&] { EXPECT_EQ(m.loadFromXmlFile(path.c_str()), 0); });
    ASSERT_EQ(recorder.seen.size(), 1u);
    EXPECT_EQ(
        recorder.seen[0],
        "KS016 6:6 /Settings/OptionLists[1]/Various_OptionLists[1]/ProhibitedCalls[1]/Call[2]"
        " | / Settings / OptionLists / Various_OptionLists / ProhibitedCalls / Call| "
        "--> Error while parsing SettingFile, Call -> no MethodOrFunctionSign is defined or it is null");
    EXPECT_EQ(captured.err,
              "--> Error while parsing SettingFile, Call -> no MethodOrFunctionSign is defined or it "
              "is null\n--> This file is not valid according to the dtd\n / Settings / OptionLists / "
              "Various_OptionLists / ProhibitedCalls / Call\n");
}

} // namespace

// The indexed path counts earlier siblings of the same name, whatever order diagnostics
// come in and however many documents the manager loaded before.
TEST(Observer, IndexedPathsRankSiblingsOfTheSameName) {
    const std::string doc = kolt::test::settings(
        "<ReportSet><A/><B/><A/><Report/><B/><A/></ReportSet>"
        "<OptionLists><EntityDetection_OptionLists><EntityDetection_Words>"
        "<WordDetection><X/></WordDetection><WordDetection><Y/><X/></WordDetection>"
        "</EntityDetection_Words></EntityDetection_OptionLists></OptionLists><ReportSet><A/></ReportSet>");
    const std::vector<std::string> expected = {
        "/Settings/ReportSet[1]/A[1]",
        "/Settings/ReportSet[1]/B[1]",
        "/Settings/ReportSet[1]/A[2]",
        "/Settings/ReportSet[1]/Report[1]",
        "/Settings/ReportSet[1]/B[2]",
        "/Settings/ReportSet[1]/A[3]",
        // Children first, then the detection itself, then the next detection's children.
        "/Settings/OptionLists[1]/EntityDetection_OptionLists[1]/EntityDetection_Words[1]/WordDetection[1]/"
        "X[1]",
        "/Settings/OptionLists[1]/EntityDetection_OptionLists[1]/EntityDetection_Words[1]/WordDetection[1]",
        "/Settings/OptionLists[1]/EntityDetection_OptionLists[1]/EntityDetection_Words[1]/WordDetection[2]/"
        "Y[1]",
        "/Settings/OptionLists[1]/EntityDetection_OptionLists[1]/EntityDetection_Words[1]/WordDetection[2]/"
        "X[1]",
        "/Settings/OptionLists[1]/EntityDetection_OptionLists[1]/EntityDetection_Words[1]/WordDetection[2]",
        "/Settings/ReportSet[2]/A[1]",
    };
    struct Paths : koltDiagnosticObserver {
        std::vector<std::string> seen;
        void onDiagnostic(const koltDiagnostic& d) override { seen.push_back(d.elementPath); }
    } paths;
    koltSettingManager m;
    m.setDiagnosticObserver(&paths);
    kolt::test::capture([&] {
        for (int load = 0; load < 2; ++load) {
            EXPECT_EQ(m.loadFromXmlMemory(doc.data(), doc.size(), "s.xml"), 0);
        }
    });
    std::vector<std::string> twice = expected;
    twice.insert(twice.end(), expected.begin(), expected.end());
    EXPECT_EQ(paths.seen, twice);
}
