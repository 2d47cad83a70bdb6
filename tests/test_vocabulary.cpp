// The vocabulary table against literal facts, and every list element in every group.
#include "support.h"

#include "optionlists/vocabulary.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using kolt::detail::Group;
using kolt::detail::kGroups;
using kolt::detail::kLists;
using kolt::detail::ListKind;
using kolt::test::loadXml;
using kolt::test::settings;

const std::string kUnexpected = "--> Error while parsing SettingFile, unexpected node\n"
                                "--> This file is not valid according to the dtd\n";

// Lower bounds, so that a new row needs no change here; a row lost or given another kind
// brings a count below its bound.
TEST(Vocabulary, LiteralFacts) {
    std::map<ListKind, int> kinds;
    for (const auto& row : kLists) {
        ++kinds[row.kind];
    }
    EXPECT_GE(kinds[ListKind::Strings], 13);
    EXPECT_GE(kinds[ListKind::CallsWithSpecificArg], 6);
    EXPECT_GE(kinds[ListKind::Calls] + kinds[ListKind::CallsOrDeclarations], 10);
    EXPECT_GE(kinds[ListKind::ClassDetections] + kinds[ListKind::InterfaceDetections] +
                  kinds[ListKind::MethodDetections] + kinds[ListKind::WordDetections],
              4);
    EXPECT_EQ(kolt::detail::kGroupCount, 7u);
    EXPECT_STREQ(kGroups[5].element, "EntityDetection_OptionLists");
    const struct {
        Group group;
        const char* child;
        const char* list; // null: no list takes the child
        ListKind kind;
        const char* item;
    } rows[] = {
        {Group::Global, "Macro2Expand", "Macro2Expand", ListKind::Strings, "Macro"},
        {Group::Global, "Macro2ExpandX", nullptr, {}, nullptr},
        {Group::LifeCycle, "LifeCycle_SafeMethodsForMCBU", "LifeCycle_SafeMethodsForMCBU",
         ListKind::CallsOrDeclarations, "CallDeclaration"},
        {Group::EntityDetection, "EntityDetection_InterfacesX", "EntityDetection_Interfaces",
         ListKind::InterfaceDetections, "InterfaceDetection"},
        {Group::Various, "CallbackSignature", "CallbackSignature", ListKind::Calls, "Call"},
        {Group::Various, "UselessInclude", "UselessInclude", ListKind::Strings, "Include"},
    };
    for (const auto& row : rows) {
        const auto* found = kolt::detail::findList(row.group, row.child);
        if (!row.list) {
            EXPECT_EQ(found, nullptr) << row.child;
            continue;
        }
        ASSERT_NE(found, nullptr) << row.child;
        EXPECT_STREQ(found->element, row.list);
        EXPECT_EQ(found->kind, row.kind) << row.child;
        EXPECT_STREQ(found->item, row.item);
    }
}

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
