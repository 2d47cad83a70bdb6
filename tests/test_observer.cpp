// The structured side channel: records in step with rzStderr, indexed paths, positions.
#include "golden_cases.h"
#include "support.h"

#include <gtest/gtest.h>

namespace {

using kolt::test::capture;
using kolt::test::settings;
using kolt::test::TempDir;

struct Record {
    koltDiagnosticCode code;
    std::string message;
    std::string path;
    std::string printedPath;
    int line;
    int column;
    std::string tag; // of the node handed over
};

struct Recorder : koltDiagnosticObserver {
    std::vector<Record> records;
    void onDiagnostic(const koltDiagnostic& d) override {
        EXPECT_STREQ(d.codeName, koltDiagnosticCodeName(d.code));
        records.push_back({d.code, d.message, d.elementPath, d.printedPath, d.line, d.column,
                           d.node.GetTag() ? d.node.GetTag() : "(null)"});
    }
};

// Loads documents from memory into one manager with a recorder attached.
struct Observed {
    Recorder recorder;
    std::string err;
    koltSettingManager manager;
    std::vector<int> results;

    explicit Observed(const std::vector<std::string>& documents) {
        manager.setDiagnosticObserver(&recorder);
        err = capture([&] {
                  for (const std::string& d : documents) {
                      results.push_back(manager.loadFromXmlMemory(d.data(), d.size(), "settings.xml"));
                  }
              }).err;
    }
    std::vector<std::string> paths() const {
        std::vector<std::string> p;
        for (const Record& r : recorder.records) {
            p.push_back(r.path);
        }
        return p;
    }
};

TEST(Observer, EveryGoldenCaseGivesTheSameBytesAndOneRecordPerDiagnostic) {
    const auto cases = kolt::test::goldenCases();
    ASSERT_GT(cases.size(), 50u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label());
        const auto plain = kolt::test::loadXml(c.documents());
        const Observed observed(c.documents());
        EXPECT_EQ(observed.err, plain.err);
        EXPECT_EQ(observed.results, plain.results);
        // The records put back together are the stream, byte for byte.
        std::string rebuilt;
        for (const Record& r : observed.recorder.records) {
            const bool dtdLine = r.code != koltDiagnosticCode::ClassDetectionNoUse &&
                                 r.code != koltDiagnosticCode::InterfaceDetectionNoUse;
            rebuilt += r.message + "\n" +
                       (dtdLine ? "--> This file is not valid according to the dtd\n" : "") + r.printedPath +
                       "\n";
            EXPECT_EQ(r.path.front(), '/');
            EXPECT_EQ(r.path.substr(r.path.rfind('/') + 1, r.tag.size()), r.tag) << r.path;
        }
        EXPECT_EQ(rebuilt, plain.err);
    }
}

TEST(Observer, IndexedPathsCountSameNamedSiblings) {
    const struct {
        const char* label;
        std::string xml;
        std::vector<std::string> paths;
    } rows[] = {
        {"repeated items among others",
         settings("<OptionLists><Various_OptionLists><ProhibitedCalls>"
                  "<Call><MethodOrFunctionSign>a</MethodOrFunctionSign></Call><Other/><Call/><Other/><Call/>"
                  "</ProhibitedCalls></Various_OptionLists></OptionLists>"),
         {"/Settings/OptionLists[1]/Various_OptionLists[1]/ProhibitedCalls[1]/Other[1]",
          "/Settings/OptionLists[1]/Various_OptionLists[1]/ProhibitedCalls[1]/Call[2]",
          "/Settings/OptionLists[1]/Various_OptionLists[1]/ProhibitedCalls[1]/Other[2]",
          "/Settings/OptionLists[1]/Various_OptionLists[1]/ProhibitedCalls[1]/Call[3]"}},
        {"repeated ancestors",
         settings("<ReportSet/><ReportSet><Report/></ReportSet><ReportSet><Report MessageName='a'/><Report/>"
                  "</ReportSet>"),
         {"/Settings/ReportSet[2]/Report[1]", "/Settings/ReportSet[3]/Report[2]"}},
        // The detection is reported after its use set's children: an element asked again
        // after its descendants, and earlier siblings asked after later ones.
        {"element reported after its children",
         settings("<OptionLists><EntityDetection_OptionLists><EntityDetection_Classes>"
                  "<ClassDetection><ClassName>A</ClassName><ClassUseSet><Bad/><ClassUse use='New'/>"
                  "</ClassUseSet></ClassDetection>"
                  "</EntityDetection_Classes></EntityDetection_OptionLists></OptionLists>"),
         {"/Settings/OptionLists[1]/EntityDetection_OptionLists[1]/EntityDetection_Classes[1]/"
          "ClassDetection[1]/"
          "ClassUseSet[1]/Bad[1]",
          "/Settings/OptionLists[1]/EntityDetection_OptionLists[1]/EntityDetection_Classes[1]/"
          "ClassDetection[1]"}},
        {"any root name, unnumbered",
         "<Root><RunType TypeOfRun='x'/><Stray/></Root>",
         {"/Root/RunType[1]", "/Root/Stray[1]"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(Observed({row.xml}).paths(), row.paths);
    }
}

TEST(Observer, ALaterLoadCountsItsOwnDocument) {
    const std::string doc = settings("<ReportSet><Report/><Report/></ReportSet>");
    const Observed observed({doc, settings("<ReportSet><Report/></ReportSet>")});
    EXPECT_EQ(observed.paths(), (std::vector<std::string>{"/Settings/ReportSet[1]/Report[1]",
                                                          "/Settings/ReportSet[1]/Report[2]",
                                                          "/Settings/ReportSet[1]/Report[1]"}));
}

TEST(Observer, ALongListOfBadItemsIsNumberedThroughout) {
    std::string body;
    for (int i = 0; i < 3000; ++i) {
        body += i % 3 ? "<Call/>" : "<Bad/>";
    }
    const Observed observed({settings("<OptionLists><Various_OptionLists><DeprecatedMethods>" + body +
                                      "</DeprecatedMethods></Various_OptionLists></OptionLists>")});
    ASSERT_EQ(observed.recorder.records.size(), 3000u);
    const std::string prefix = "/Settings/OptionLists[1]/Various_OptionLists[1]/DeprecatedMethods[1]/";
    EXPECT_EQ(observed.recorder.records[2999].path, prefix + "Call[2000]");
    EXPECT_EQ(observed.recorder.records[2998].path, prefix + "Call[1999]");
    EXPECT_EQ(observed.recorder.records[2997].path, prefix + "Bad[1000]");
}

TEST(Observer, PositionsAreThoseOfTheElementConcerned) {
    TempDir dir;
    // Bad attributes are placed on the element that carries them, even on a later line.
    const std::string path =
        dir.write("s.xml", "<Settings>\n"
                           "  <RunType\n"
                           "     TypeOfRun='check'/>\n"
                           "\t<ReportSet><Report MessageName='a' Activate='yes'/></ReportSet>\n"
                           "  <OptionLists>\n"
                           "    <Global_OptionLists x='1'><Macro2Expand><Macro a='1'>M</Macro>"
                           "</Macro2Expand></Global_OptionLists>\n"
                           "  </OptionLists>\n"
                           "  <Strây/>\n"
                           "</Settings>\n");
    koltSettingManager manager;
    Recorder recorder;
    manager.setDiagnosticObserver(&recorder);
    capture([&] { EXPECT_EQ(manager.loadFromXmlFile(path.c_str()), 1); });
    std::vector<std::string> got;
    for (const Record& r : recorder.records) {
        got.push_back(std::string(koltDiagnosticCodeName(r.code)) + " " + r.tag + " " +
                      std::to_string(r.line) + ":" + std::to_string(r.column));
    }
    EXPECT_EQ(got, (std::vector<std::string>{"KS004 RunType 2:4", "KS011 Report 4:14",
                                             "KS008 Global_OptionLists 6:6", "KS013 Macro 6:46",
                                             "KS001 Strây 8:4"}));
}

TEST(Observer, PositionsNeedAParsedFile) {
    koltSettingManager manager;
    Recorder recorder;
    manager.setDiagnosticObserver(&recorder);
    RUVXMLParser parser;
    const std::string doc = settings("<Other/>");
    const GAXXMLNode root = parser.LoadFromMemory(doc.data(), doc.size());
    capture([&] { EXPECT_EQ(manager.loadFromXmlRoot(root, "given"), 1); });
    ASSERT_EQ(recorder.records.size(), 1u);
    EXPECT_EQ(recorder.records[0].line, 0);
    EXPECT_EQ(recorder.records[0].column, 0);
    EXPECT_EQ(recorder.records[0].path, "/Settings/Other[1]");
}

// What each diagnostic is about, as read, and where its attribute stands.
TEST(Observer, SubjectAndAttributePosition) {
    struct About : koltDiagnosticObserver {
        std::vector<std::string> seen; // "KS004 check 2:10"
        void onDiagnostic(const koltDiagnostic& d) override {
            seen.push_back(std::string(d.codeName) + " " + d.subject + " " + std::to_string(d.attributeLine) +
                           ":" + std::to_string(d.attributeColumn));
        }
    };
    const std::string document = "<Settings>\n"
                                 "<RunType TypeOfRun='check' Mode='x'/><ReportSet a='1'>\n"
                                 "<Report MessageName='M' Activate='yes'/></ReportSet><Stray/></Settings>";
    const std::string rules =
        "<Settings><OptionLists><EntityDetection_OptionLists>"
        "<EntityDetection_Classes q='1' r='2'><ClassDetection><ClassName>A&amp;B</ClassName>"
        "<ClassUseSet><ClassUse use='Bad' prohibited='true'/><ClassUse use='New' prohibited='no'/>"
        "</ClassUseSet></ClassDetection><ClassDetection><ClassName>A&amp;B</ClassName>"
        "</ClassDetection></EntityDetection_Classes>"
        "</EntityDetection_OptionLists></OptionLists></Settings>";
    const struct {
        std::string xml;
        std::vector<std::string> seen;
    } rows[] = {
        {document,
         {"KS004 check 2:10", "KS006 Mode 2:28", "KS008 a 2:49", "KS011 yes 3:25", "KS001 Stray 0:0"}},
        {rules, {"KS008 q 1:78", "KS029 no 1:208", "KS025 Bad 0:0", "KS023 A&amp;B 0:0"}},
    };
    for (const auto& row : rows) {
        About about;
        koltSettingManager manager;
        manager.setDiagnosticObserver(&about);
        capture([&] { manager.loadFromXmlMemory(row.xml.data(), row.xml.size(), "s.xml"); });
        EXPECT_EQ(about.seen, row.seen);
    }
}

TEST(LoadReport, MalformedDocumentsTellWhereParsingFailed) {
    const struct {
        const char* xml;
        const char* description;
        int line;
        int column;
    } rows[] = {
        {"<Settings>\n  <RunType>\n</Settings>\n", "Start-end tags mismatch", 3, 3},
        {"<Settings>\n<RunType TypeOfRun=Check/></Settings>", "Error parsing element attribute", 2, 20},
        {"<Settings/>\n\n<Settings/>", "More than one top-level element", 3, 2},
        {"", "No document element found", 1, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.xml);
        const Observed observed({row.xml});
        EXPECT_EQ(observed.err, "");
        EXPECT_EQ(observed.results, std::vector<int>{0});
        const koltLoadReport& report = observed.manager.lastLoadReport();
        EXPECT_EQ(report.outcome, koltLoadReport::Malformed);
        EXPECT_EQ(report.parseError, row.description);
        EXPECT_EQ(report.parseErrorLine, row.line);
        EXPECT_EQ(report.parseErrorColumn, row.column);
        EXPECT_EQ(report.total, 0);
    }
}

TEST(DiagnosticCodes, EveryCodeHasANameAndASummary) {
    for (int i = 0; i < koltDiagnosticCodeCount; ++i) {
        const auto code = static_cast<koltDiagnosticCode>(i);
        char expected[8];
        std::snprintf(expected, sizeof expected, "KS%03d", i + 1);
        EXPECT_STREQ(koltDiagnosticCodeName(code), expected);
        EXPECT_GT(std::string(koltDiagnosticCodeSummary(code)).size(), 10u) << expected;
    }
    EXPECT_STREQ(koltDiagnosticCodeSummary(koltDiagnosticCode::Count), "");
    EXPECT_STREQ(koltDiagnosticCodeSummary(static_cast<koltDiagnosticCode>(-1)), "");
    EXPECT_STREQ(koltDiagnosticCodeName(koltDiagnosticCode::UseWithoutName), "KS030");
}

} // namespace
