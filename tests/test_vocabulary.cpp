// Every list element of the vocabulary in every group, and the lists matched by prefix.
#include "support.h"

#include "optionlists/vocabulary.h"

#include <gtest/gtest.h>

namespace {

using kolt::detail::kGroups;
using kolt::detail::kLists;
using kolt::detail::ListKind;
using kolt::test::loadXml;
using kolt::test::settings;

const std::string kUnexpected = "--> Error while parsing SettingFile, unexpected node\n"
                                "--> This file is not valid according to the dtd\n";

// The one item the checker would find in a list of each kind, and where to look for it.
struct Probe {
    std::string item;
    std::string expectedLine; // in the state dump
};

Probe probeFor(const kolt::detail::ListRow& row) {
    const std::string name = row.element;
    switch (row.kind) {
    case ListKind::Strings:
        return {"<" + std::string(row.item) + ">v</" + row.item + ">",
                "string list " + name + ": 1\n  \"v\"\n"};
    case ListKind::CallsWithSpecificArg:
        return {
            "<CallWithSpecificArg><MethodOrFunctionSign>f</MethodOrFunctionSign><SpecificArg>1</SpecificArg>"
            "</CallWithSpecificArg>",
            "call-with-specific-arg list " + name + ": 1\n  class (null); signature \"f\"; argument 1\n"};
    case ListKind::Calls:
    case ListKind::CallsOrDeclarations:
        return {"<Call><MethodOrFunctionSign>f</MethodOrFunctionSign></Call>",
                "call list " + name + ": 1\n  class (null); signature \"f\"\n"};
    case ListKind::CallDeclarations:
        break;
    case ListKind::ClassDetections:
        return {"<ClassDetection><ClassName>C</ClassName><ClassUseSet><ClassUse use='New' prohibited='true'/>"
                "</ClassUseSet></ClassDetection>",
                "detection list " + name +
                    ": 1\n  ClassDetection name \"C\"; replacement (null); uses New\n"};
    case ListKind::InterfaceDetections:
        return {"<InterfaceDetection><ClassName>I</ClassName><InterfaceUseSet><InterfaceUse use='TIE' "
                "prohibited='true'/></InterfaceUseSet></InterfaceDetection>",
                "detection list " + name +
                    ": 1\n  InterfaceDetection name \"I\"; replacement (null); uses TIE\n"};
    case ListKind::MethodDetections:
        return {
            "<MethodDetection><MethodOrFunctionSign>m(a)</MethodOrFunctionSign></MethodDetection>",
            "detection list " + name +
                ": 1\n  MethodDetection name \"m\"; class (null); arguments 1; all classes 0; function 1; "
                "replacement (null); uses (none)\n"};
    case ListKind::WordDetections:
        return {"<WordDetection><WordName>w</WordName></WordDetection>",
                "detection list " + name +
                    ": 1\n  koltWordDetection name \"w\"; replacement (null); uses (none)\n"};
    }
    ADD_FAILURE() << "no probe for " << name;
    return {};
}

TEST(Vocabulary, EveryListInItsGroupAndNoOther) {
    for (const auto& row : kLists) {
        const Probe probe = probeFor(row);
        for (const auto& group : kGroups) {
            SCOPED_TRACE(std::string(row.element) + " in " + group.element);
            const std::string list =
                std::string("<") + row.element + ">" + probe.item + "</" + row.element + ">";
            const auto loaded = loadXml(settings("<OptionLists><" + std::string(group.element) + ">" + list +
                                                 "</" + group.element + "></OptionLists>"));
            EXPECT_EQ(loaded.results, std::vector<int>{0});
            if (group.group == row.group) {
                EXPECT_EQ(loaded.err, "");
                EXPECT_NE(loaded.state().find(probe.expectedLine), std::string::npos) << loaded.state();
            } else {
                EXPECT_EQ(loaded.err, kUnexpected + " / Settings / OptionLists / " + group.element + " / " +
                                          row.element + "\n");
                EXPECT_EQ(loaded.state(), "run type: 3\nreport test framework: 0\nreports: 0\n");
            }
        }
    }
}

TEST(Vocabulary, DetectionListsMatchByPrefixOnly) {
    for (const char* name : {"EntityDetection_Classes", "EntityDetection_Interfaces",
                             "EntityDetection_Methods", "EntityDetection_Words"}) {
        const std::string longer = std::string(name) + "_Extra";
        const std::string shorter = std::string(name).substr(0, std::string(name).size() - 1);
        const auto loaded = loadXml(settings("<OptionLists><EntityDetection_OptionLists><" + longer + "/><" +
                                             shorter + "/></EntityDetection_OptionLists></OptionLists>"));
        EXPECT_EQ(loaded.err, kUnexpected + " / Settings / OptionLists / EntityDetection_OptionLists / " +
                                  shorter + "\n");
        EXPECT_NE(loaded.manager->getGAXListOfEntityDetection(longer.c_str()), nullptr) << longer;
        EXPECT_EQ(loaded.manager->getGAXListOfEntityDetection(name), nullptr);
    }
}

} // namespace
