// The structured side channel: records in step with rzStderr, indexed paths, positions.
#include "golden_cases.h"
#include "support.h"

#include <gtest/gtest.h>

namespace {

using kolt::test::Seen;
using kolt::test::settings;

TEST(Observer, EveryGoldenCaseGivesTheSameBytesAndOneRecordPerDiagnostic) {
    const auto cases = kolt::test::goldenCases();
    ASSERT_GT(cases.size(), 50u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label());
        const auto plain = kolt::test::loadXml(c.documents());
        kolt::test::Recorder recorder;
        const auto observed = kolt::test::loadXml(c.documents(), &recorder);
        EXPECT_EQ(observed.err, plain.err);
        EXPECT_EQ(observed.results, plain.results);
        // The records put back together are the stream, byte for byte.
        std::string rebuilt;
        for (const Seen& r : recorder.seen) {
            const bool dtdLine = r.code != koltDiagnosticCode::ClassDetectionNoUse &&
                                 r.code != koltDiagnosticCode::InterfaceDetectionNoUse;
            rebuilt += r.message + "\n" +
                       (dtdLine ? "--> This file is not valid according to the dtd\n" : "") + r.printedPath +
                       "\n";
            EXPECT_EQ(r.codeName, koltDiagnosticCodeName(r.code));
            EXPECT_EQ(r.path.substr(r.path.rfind('/') + 1, r.tag.size()), r.tag) << r.path;
        }
        EXPECT_EQ(rebuilt, plain.err);
    }
}

// observer.cases: each diagnostic's indexed path, or what it is about and where its
// attribute stands.
TEST(Observer, IndexedPathsSubjectsAndAttributePositions) {
    struct About : koltDiagnosticObserver {
        std::string paths, about; // a line each
        void onDiagnostic(const koltDiagnostic& d) override {
            paths += d.elementPath + std::string("\n");
            about += std::string(d.codeName) + " " + d.subject + " " + std::to_string(d.attributeLine) + ":" +
                     std::to_string(d.attributeColumn) + "\n";
        }
    };
    const auto cases = kolt::test::readCases(KOLT_TEST_SOURCE_DIR "/observer.cases");
    ASSERT_GE(cases.size(), 6u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label());
        About seen;
        kolt::test::loadXml(c.documents(), &seen);
        const auto& expected = c.sections.back();
        EXPECT_EQ(expected.kind == "paths" ? seen.paths : seen.about, expected.text);
    }
}

TEST(Observer, PositionsAreThoseOfTheElementConcerned) {
    kolt::test::TempDir dir;
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
    kolt::test::Recorder recorder;
    manager.setDiagnosticObserver(&recorder);
    kolt::test::capture([&] { EXPECT_EQ(manager.loadFromXmlFile(path.c_str()), 1); });
    std::vector<std::string> got;
    for (const Seen& r : recorder.seen) {
        got.push_back(std::string(koltDiagnosticCodeName(r.code)) + " " + r.tag + " " +
                      std::to_string(r.line) + ":" + std::to_string(r.column));
    }
    EXPECT_EQ(got, (std::vector<std::string>{"KS004 RunType 2:4", "KS011 Report 4:14",
                                             "KS008 Global_OptionLists 6:6", "KS013 Macro 6:46",
                                             "KS001 Strây 8:4"}));

    // A root handed in has no file to count lines in.
    RUVXMLParser parser;
    const std::string doc = settings("<Other/>");
    const GAXXMLNode root = parser.LoadFromMemory(doc.data(), doc.size());
    recorder.seen.clear();
    kolt::test::capture([&] { EXPECT_EQ(manager.loadFromXmlRoot(root, "given"), 1); });
    ASSERT_EQ(recorder.seen.size(), 1u);
    EXPECT_EQ(recorder.seen[0].line, 0);
    EXPECT_EQ(recorder.seen[0].column, 0);
    EXPECT_EQ(recorder.seen[0].path, "/Settings/Other[1]");
}

// Every list, item, rule, report and run setting a load registers, with its element; a
// second load adds to a list without registering it again.
TEST(Observer, RegistrationsNameTheirElement) {
    struct Registrations : koltRegistrationObserver {
        const koltSettingManager* manager = nullptr;
        std::vector<std::string> seen; // "Record ProhibitedCalls 1 4:38 b.xml"
        void onRegistration(const koltRegistration& r) override {
            static const char* const kinds[] = {"List", "String", "Record", "Rule", "Report", "RunSetting"};
            seen.push_back(std::string(kinds[static_cast<int>(r.kind)]) + " " + r.name + " " +
                           std::to_string(r.position) + " " + std::to_string(r.line) + ":" +
                           std::to_string(r.column) + " " + r.file);
            // What the registration points at is what the manager now holds there.
            const void* held = nullptr;
            if (r.kind == koltRegistrationKind::List) {
                held = r.registry->GetValue(r.position);
            } else if (r.kind == koltRegistrationKind::Record || r.kind == koltRegistrationKind::Rule) {
                const GAXRawCollPV* list = manager->getGAXListOfCall(r.name);
                if (r.registry == &manager->entityDetectionLists()) {
                    list = manager->getGAXListOfEntityDetection(r.name);
                }
                held = (*list)[r.position];
            }
            EXPECT_EQ(r.object, held) << seen.back();
        }
    };
    const std::string first =
        "<Settings>\n"
        "<RunType TypeOfRun='Check' ReportTestFw='true'><ExcludeFramework>"
        "<FrameworkName>F</FrameworkName></ExcludeFramework></RunType>\n"
        "<ReportSet><Report MessageName='R' Activate='true'/><Report MessageName='Off'/>"
        "</ReportSet>\n"
        "<OptionLists><Various_OptionLists><ProhibitedCalls><Call><MethodOrFunctionSign>f"
        "</MethodOrFunctionSign></Call><Call/></ProhibitedCalls></Various_OptionLists>\n"
        "<EntityDetection_OptionLists><EntityDetection_Words><WordDetection><WordName>w"
        "</WordName></WordDetection></EntityDetection_Words></EntityDetection_OptionLists>"
        "</OptionLists></Settings>";
    const std::string second =
        kolt::test::optionList("Various_OptionLists", "ProhibitedCalls",
                               "<Call><MethodOrFunctionSign>g</MethodOrFunctionSign></Call>");
    koltSettingManager manager;
    Registrations registrations;
    registrations.manager = &manager;
    manager.setRegistrationObserver(&registrations);
    kolt::test::capture([&] {
        manager.loadFromXmlMemory(first.data(), first.size(), "a.xml");
        manager.loadFromXmlMemory(second.data(), second.size(), "b.xml");
    });
    EXPECT_EQ(registrations.seen, (std::vector<std::string>{
                                      "RunSetting TypeOfRun 0 2:2 a.xml",
                                      "RunSetting ReportTestFw 0 2:2 a.xml",
                                      "List ExcludeFramework 0 2:49 a.xml",
                                      "String ExcludeFramework 1 2:67 a.xml",
                                      "Report R 0 3:13 a.xml",
                                      "List ProhibitedCalls 0 4:36 a.xml",
                                      "Record ProhibitedCalls 1 4:53 a.xml",
                                      "List EntityDetection_Words 0 5:31 a.xml",
                                      "Rule EntityDetection_Words 1 5:54 a.xml",
                                      "Record ProhibitedCalls 2 1:63 b.xml",
                                  }));
}

} // namespace
