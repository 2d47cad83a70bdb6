// The rules' own interface: uses, display, method shapes, permitted-use tables and the
// typed pointer lists.
#include "support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class Rules : public ::testing::Test {
protected:
    void SetUp() override {
        koltClassDetection::initPossibleClassUses(0);
        koltInterfaceDetection::initPossibleInterfaceUses(0);
    }
};

TEST_F(Rules, AddUseAnswersRefusedAddedOrPresent) {
    koltClassDetection rule("C", nullptr);
    for (const char* refused : {static_cast<const char*>(nullptr), "", "TIE", "new"}) {
        EXPECT_EQ(rule.addUse(refused), -1) << (refused ? refused : "(null)");
        EXPECT_EQ(rule.isUseToDetect(refused), refused && *refused ? 0 : -1);
    }
    EXPECT_EQ(rule.addUse("New"), 0);
    EXPECT_EQ(rule.addUse("New"), 1);
    EXPECT_EQ(rule.usesToDetect().Size(), 1);
    EXPECT_EQ(rule.isUseToDetect("New"), 1);
    EXPECT_EQ(rule.isUseToDetect("Derivation"), 0) << "permitted but not prohibited";
    koltInterfaceDetection iface("I", nullptr);
    EXPECT_EQ(iface.addUse("TIE"), 0);
    EXPECT_EQ(iface.addUse("New"), -1);
    // Words and methods permit no use, whatever the tables are asked to do.
    koltWordDetection::initPossibleClassUses(1);
    koltWordDetection word("w", nullptr);
    koltMethodDetection method("m", nullptr, -1, nullptr);
    for (const char* use : {"New", "Derivation", "Call"}) {
        EXPECT_EQ(word.addUse(use), -1);
        EXPECT_EQ(method.addUse(use), -1);
    }
    EXPECT_EQ(koltWordDetection::_wordUses.Size(), 0);
    EXPECT_EQ(koltMethodDetection::_methodUses.Size(), 0);
}

// The tables hold seven uses each, filled once; only force 1 empties and refills them.
TEST_F(Rules, PermittedUseTablesRefilledOnlyByForceOne) {
    EXPECT_EQ(koltClassDetection::_isClassUsesInitDone, 1);
    EXPECT_EQ(koltInterfaceDetection::_interfaceUses.Size(), 7);
    koltClassDetection::_classUses.Append("Extra", nullptr);
    for (int force : {0, 2, -1}) {
        koltClassDetection::initPossibleClassUses(force);
    }
    EXPECT_EQ(koltClassDetection::_classUses.IsIn("Extra"), 7);
    koltClassDetection::initPossibleClassUses(1);
    EXPECT_EQ(koltClassDetection::_classUses.IsIn("Extra"), -1);
    EXPECT_EQ(koltClassDetection::_classUses.Size(), 7);
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
}

TEST_F(Rules, DisplayPrintsTheFrenchLabels) {
    koltClassDetection full("Foo", "Bar");
    ASSERT_EQ(full.addUse("Derivation"), 0);
    ASSERT_EQ(full.addUse("New"), 0);
    koltMethodDetection bare("m", nullptr, -1, nullptr);
    const auto out = kolt::test::capture([&] {
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
    EXPECT_EQ(koltWordDetection(nullptr, nullptr).getName(), nullptr);
}

// The typed lists are GAXRawCollPV underneath: positions from 1, copies share the
// pointers, and no list owns what it points to.
TEST_F(Rules, TypedListsShareAndNeverOwnTheirElements) {
    auto rule = std::make_unique<koltClassDetection>("C", nullptr);
    auto list = std::make_unique<GAXListPtrkoltClassDetection>(0);
    list->Append(rule.get());
    GAXListPtrkoltClassDetection copy(*list);
    GAXListPtrkoltClassDetection assigned;
    assigned = *list;
    GAXListPtrkoltClassDetection& self = assigned;
    assigned = self;
    list->Append(nullptr);
    list.reset(); // the rule stays alive
    ASSERT_EQ(copy.Size(), 1);
    EXPECT_EQ(copy[1], rule.get());
    EXPECT_EQ(assigned[1], rule.get());
    EXPECT_EQ(assigned.Size(), 1);
    EXPECT_EQ(copy[0], nullptr);
    EXPECT_EQ(copy[2], nullptr);
    EXPECT_STREQ(copy[1]->getName(), "C");
}

// What the registered rules hold is in the golden cases; here, their types.
TEST_F(Rules, DetectionListsReadAsEntityDetections) {
    const auto loaded = kolt::test::loadXml(kolt::test::settings(
        "<OptionLists><EntityDetection_OptionLists><EntityDetection_Classes><ClassDetection><ClassName>C"
        "</ClassName><ClassUseSet><ClassUse use='New' prohibited='true'/></ClassUseSet></ClassDetection>"
        "</EntityDetection_Classes><EntityDetection_Methods><MethodDetection><MethodOrFunctionSign>f(a)"
        "</MethodOrFunctionSign></MethodDetection></EntityDetection_Methods></EntityDetection_OptionLists>"
        "</OptionLists>"));
    auto* classes = loaded.manager->getGAXListOfEntityDetection("EntityDetection_Classes");
    EXPECT_NE(dynamic_cast<GAXListPtrkoltClassDetection*>(classes), nullptr);
    auto* methods = loaded.manager->getGAXListOfEntityDetection("EntityDetection_Methods");
    ASSERT_NE(methods, nullptr);
    EXPECT_NE(dynamic_cast<koltMethodDetection*>((*methods)[1]), nullptr);
}

} // namespace
