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

void expectNothingLoaded(const std::string& path, int result, koltLoadReport::Outcome outcome) {
    const auto loaded = loadFiles({path});
    EXPECT_EQ(loaded.results, std::vector<int>{result}) << path;
    EXPECT_EQ(loaded.err, "") << path;
    EXPECT_EQ(loaded.state(), kEmptyState) << path;
    EXPECT_EQ(loaded.manager->lastLoadReport().outcome, outcome) << path;
}

// Paths that name no regular file return 1; documents without elements return 0.
// Neither says a word.
TEST(LoadFile, NothingToLoadIsSilent) {
    TempDir dir;
    for (const std::string& path : {dir.path() + "/missing.xml", dir.path(), std::string()}) {
        expectNothingLoaded(path, 1, koltLoadReport::NotAFile);
    }
    koltSettingManager m;
    EXPECT_EQ(m.loadFromXmlFile(nullptr), 1);
    expectNothingLoaded(dir.write("empty", ""), 0, koltLoadReport::Malformed);
    expectNothingLoaded(dir.write("text", "just some words"), 0, koltLoadReport::Malformed);
    expectNothingLoaded(dir.write("root only", "<Settings/>"), 0, koltLoadReport::Loaded);
}

// Skipped where any file is readable (root); CI runs it as an unprivileged user.
TEST(LoadFile, UnreadableFileIsADocumentWithoutElements) {
    TempDir dir;
    const std::string path = dir.write("locked.xml", settings("<RunType TypeOfRun=\"Check\"/>"));
    ::chmod(path.c_str(), 0);
    if (::access(path.c_str(), R_OK) == 0) {
        GTEST_SKIP() << "running with privileges that read any file";
    }
    expectNothingLoaded(path, 0, koltLoadReport::Unreadable);
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
    for (const auto outside : {koltDiagnosticCode::Count, static_cast<koltDiagnosticCode>(-1)}) {
        EXPECT_STREQ(koltDiagnosticCodeName(outside), "");
        EXPECT_STREQ(koltDiagnosticCodeSummary(outside), "");
    }
}

} // namespace
