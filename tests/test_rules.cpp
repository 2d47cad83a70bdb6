// The rules' own interface: uses, display, method shapes, permitted-use tables and the
// typed pointer lists.
#include "support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using kolt::test::capture;

class Rules : public ::testing::Test {
protected:
    void SetUp() override {
        koltClassDetection::initPossibleClassUses(0);
        koltInterfaceDetection::initPossibleInterfaceUses(0);
    }
};

TEST_F(Rules, AddUseAnswersRefusedAddedOrPresent) {
    koltClassDetection rule("C", nullptr);
    EXPECT_EQ(rule.addUse(nullptr), -1);
    EXPECT_EQ(rule.addUse(""), -1);
    EXPECT_EQ(rule.addUse("TIE"), -1) << "an interface use";
    EXPECT_EQ(rule.addUse("new"), -1) << "case matters";
    EXPECT_EQ(rule.addUse("New"), 0);
    EXPECT_EQ(rule.addUse("New"), 1);
    EXPECT_EQ(rule.usesToDetect().Size(), 1);
    EXPECT_EQ(rule.isUseToDetect(nullptr), -1);
    EXPECT_EQ(rule.isUseToDetect(""), -1);
    EXPECT_EQ(rule.isUseToDetect("New"), 1);
    EXPECT_EQ(rule.isUseToDetect("Derivation"), 0) << "permitted but not prohibited";
    koltInterfaceDetection iface("I", nullptr);
    EXPECT_EQ(iface.addUse("TIE"), 0);
    EXPECT_EQ(iface.addUse("New"), -1);
}

TEST_F(Rules, PermittedUseTablesInOrder) {
    const std::vector<std::string> classUses = {"Derivation",           "MethodOrFunctionArgument",
                                                "DataMemberOrLocalVar", "CastInto",
                                                "IncludeOfHeader",      "New",
                                                "StaticMember"};
    auto names = [](const TAIndex& t) {
        std::vector<std::string> out;
        for (int i = 0; i < t.Size(); ++i) {
            out.push_back(t.GetName(i));
        }
        return out;
    };
    EXPECT_EQ(names(koltClassDetection::_classUses), classUses);
    auto interfaceUses = classUses;
    interfaceUses[5] = "TIE";
    EXPECT_EQ(names(koltInterfaceDetection::_interfaceUses), interfaceUses);
    EXPECT_EQ(koltClassDetection::_isClassUsesInitDone, 1);
    koltClassDetection::initPossibleClassUses(0);
    koltClassDetection::initPossibleClassUses(2);
    koltClassDetection::initPossibleClassUses(-1);
    EXPECT_EQ(koltClassDetection::_classUses.Size(), 7) << "only force 1 refills";
    koltClassDetection::_classUses.Append("Extra", nullptr);
    koltClassDetection::initPossibleClassUses(2);
    EXPECT_EQ(koltClassDetection::_classUses.Size(), 8);
    koltClassDetection::initPossibleClassUses(1);
    EXPECT_EQ(names(koltClassDetection::_classUses), classUses) << "force 1 empties and refills";
    koltInterfaceDetection::initPossibleInterfaceUses(1);
    EXPECT_EQ(names(koltInterfaceDetection::_interfaceUses), interfaceUses);
}

TEST_F(Rules, WordsAndMethodsPermitNoUse) {
    for (int force : {0, 1, 2}) {
        koltWordDetection::initPossibleClassUses(force);
        EXPECT_EQ(koltWordDetection::_wordUses.Size(), 0);
        EXPECT_EQ(koltWordDetection::_isWordUsesInitDone, 1);
    }
    koltWordDetection word("w", nullptr);
    koltMethodDetection method("m", nullptr, -1, nullptr);
    for (const char* use : {"New", "Derivation", "Call", "x"}) {
        EXPECT_EQ(word.addUse(use), -1);
        EXPECT_EQ(method.addUse(use), -1);
        EXPECT_EQ(word.isUseToDetect(use), 0);
        EXPECT_EQ(method.isUseToDetect(use), 0);
    }
    EXPECT_EQ(koltMethodDetection::_methodUses.Size(), 0);
}

TEST_F(Rules, DetectionTypes) {
    EXPECT_STREQ(koltClassDetection("a", nullptr).getDetectionType(), "ClassDetection");
    EXPECT_STREQ(koltInterfaceDetection("a", nullptr).getDetectionType(), "InterfaceDetection");
    EXPECT_STREQ(koltWordDetection("a", nullptr).getDetectionType(), "koltWordDetection");
    EXPECT_STREQ(koltMethodDetection("a", nullptr, 0, nullptr).getDetectionType(), "MethodDetection");
}

TEST_F(Rules, MethodShapes) {
    const struct {
        const char* className;
        const char* expectedClass;
        int allClasses;
        int function;
    } rows[] = {
        {"Foo", "Foo", 0, 0},
        {"RootClass", nullptr, 1, 0},
        {nullptr, nullptr, 0, 1},
        {"", nullptr, 0, 1},
        {"RootClassX", "RootClassX", 0, 0},
        {"rootclass", "rootclass", 0, 0},
        {"RootClass ", "RootClass ", 0, 0},
    };
    for (const auto& row : rows) {
        std::string input = row.className ? row.className : "";
        koltMethodDetection rule("m", row.className ? input.data() : nullptr, 2, nullptr);
        input.assign("overwritten");
        if (row.expectedClass) {
            EXPECT_STREQ(rule.getClassName(), row.expectedClass);
        } else {
            EXPECT_EQ(rule.getClassName(), nullptr) << (row.className ? row.className : "(null)");
        }
        EXPECT_EQ(rule.isAAllClassMethodDetection(), row.allClasses);
        EXPECT_EQ(rule.isAFunction(), row.function);
        EXPECT_EQ(rule.getArgCount(), 2);
    }
    for (int count : {-1, 0, 7, 2147483647}) {
        EXPECT_EQ(koltMethodDetection("m", "C", count, nullptr).getArgCount(), count);
    }
}

TEST_F(Rules, DisplayPrintsTheFrenchLabels) {
    koltClassDetection full("Foo", "Bar");
    ASSERT_EQ(full.addUse("Derivation"), 0);
    ASSERT_EQ(full.addUse("New"), 0);
    koltMethodDetection bare("m", nullptr, -1, nullptr);
    const auto out = capture([&] {
                         full.display();
                         bare.display();
                         bare.displayUsesToDetect();
                     }).out;
    EXPECT_EQ(out, "------ Affichage d'entityDetection ------\n"
                   "\t\tNom : Foo\n"
                   "\t\tA remplacer par : Bar\n"
                   "\t\tUtilisations prohibees : Derivation - New - \n"
                   "-----------------------------------------\n"
                   "------ Affichage d'entityDetection ------\n"
                   "\t\tNom : m\n"
                   "\t\tUtilisations prohibees : \n"
                   "-----------------------------------------\n");
    EXPECT_EQ(bare.getReplacementName(), nullptr);
    koltWordDetection unnamed(nullptr, nullptr);
    EXPECT_EQ(unnamed.getName(), nullptr);
}

TEST_F(Rules, TypedListsShareAndNeverOwnTheirElements) {
    auto rule = std::make_unique<koltClassDetection>("C", nullptr);
    auto* list = new GAXListPtrkoltClassDetection(0);
    list->Append(rule.get());
    GAXListPtrkoltClassDetection copy(*list);
    GAXListPtrkoltClassDetection assigned;
    assigned = *list;
    GAXListPtrkoltClassDetection& self = assigned;
    assigned = self;
    delete list; // the rule stays alive
    ASSERT_EQ(copy.Size(), 1);
    EXPECT_EQ(copy[1], rule.get());
    EXPECT_EQ(assigned[1], rule.get());
    EXPECT_EQ(assigned.Size(), 1);
    EXPECT_EQ(copy[2], nullptr);
    EXPECT_STREQ(copy[1]->getName(), "C");
}

TEST_F(Rules, DetectionListsReadAsEntityDetections) {
    const auto loaded = kolt::test::loadXml(kolt::test::settings(
        "<OptionLists><EntityDetection_OptionLists><EntityDetection_Classes><ClassDetection><ClassName>C"
        "</ClassName><ClassUseSet><ClassUse use='New' prohibited='true'/></ClassUseSet></ClassDetection>"
        "</EntityDetection_Classes><EntityDetection_Methods><MethodDetection><MethodOrFunctionSign>f(a)"
        "</MethodOrFunctionSign></MethodDetection></EntityDetection_Methods></EntityDetection_OptionLists>"
        "</OptionLists>"));
    GAXListPtrkoltEntityDetection* classes =
        loaded.manager->getGAXListOfEntityDetection("EntityDetection_Classes");
    ASSERT_NE(classes, nullptr);
    ASSERT_EQ(classes->Size(), 1);
    koltEntityDetection* rule = (*classes)[1];
    EXPECT_STREQ(rule->getDetectionType(), "ClassDetection");
    EXPECT_EQ(rule->isUseToDetect("New"), 1);
    EXPECT_NE(dynamic_cast<GAXListPtrkoltClassDetection*>(classes), nullptr);
    auto* methods = loaded.manager->getGAXListOfEntityDetection("EntityDetection_Methods");
    ASSERT_NE(methods, nullptr);
    auto* method = dynamic_cast<koltMethodDetection*>((*methods)[1]);
    ASSERT_NE(method, nullptr);
    EXPECT_EQ(method->getArgCount(), 1);
    EXPECT_EQ(method->isAFunction(), 1);
}

} // namespace
