// The modern face: load results that cannot pass for success, std::string_view lookups,
// and views that read the manager's own lists with range-for and the standard algorithms.
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using kolt::test::capture;
using kolt::test::settings;

// Loads quietly (diagnostics go to rzStderr).
kolt::LoadResult quietly(const std::function<kolt::LoadResult()>& load) {
    std::optional<kolt::LoadResult> result;
    capture([&] { result.emplace(load()); });
    return *result;
}

TEST(ModernLoad, ResultsTellEveryOutcome) {
    kolt::test::TempDir dir;
    using O = koltLoadReport::Outcome;
    const struct {
        const char* name;
        std::string content; // written to a file, unless the path is given
        std::string path;
        O outcome;
        int diagnostics;
        const char* parseError;
        int line, column;
    } rows[] = {
        {"clean", settings(""), "", O::Loaded, 0, "", 0, 0},
        {"problems", settings("<ReportSet a='1'/><Stray/>"), "", O::Stopped, 2, "", 0, 0},
        {"malformed", "<Settings>\n  <RunType>\n</Settings>\n", "", O::Malformed, 0,
         "Start-end tags mismatch", 3, 3},
        {"bad attribute", "<Settings>\n<RunType TypeOfRun=Check/></Settings>", "", O::Malformed, 0,
         "Error parsing element attribute", 2, 20},
        {"two roots", "<Settings/>\n\n<Settings/>", "", O::Malformed, 0, "More than one top-level element", 3,
         2},
        {"not XML", "just words", "", O::Malformed, 0, "No document element found", 1, 10},
        {"empty", "", "", O::Malformed, 0, "No document element found", 1, 1},
        {"missing", "", dir.path() + "/missing.xml", O::NotAFile, 0, "", 0, 0},
        {"NUL in path", "", dir.path() + std::string("/a\0b", 4), O::NotAFile, 0, "", 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = row.path.empty() ? dir.write("s.xml", row.content) : row.path;
        kolt::Settings s;
        const kolt::LoadResult fromFile = quietly([&] { return s.load(path); });
        const kolt::LoadResult fromMemory = quietly([&] { return s.loadMemory(row.content, "s.xml"); });
        for (const kolt::LoadResult* r : {&fromFile, &fromMemory}) {
            if (r == &fromMemory && !row.path.empty()) {
                continue;
            }
            EXPECT_EQ(r->outcome(), row.outcome);
            EXPECT_EQ(r->ok(), row.outcome == O::Loaded);
            EXPECT_EQ(static_cast<bool>(*r), r->ok());
            EXPECT_EQ(r->clean(), r->ok() && row.diagnostics == 0);
            EXPECT_EQ(r->diagnostics(), row.diagnostics);
            EXPECT_EQ(r->parseError(), row.parseError);
            EXPECT_EQ(r->parseErrorLine(), row.line); // without an observer too
            EXPECT_EQ(r->parseErrorColumn(), row.column);
        }
    }
    // Counts per code, and a result that outlives the next load.
    kolt::Settings s;
    const kolt::LoadResult first = quietly([&] { return s.loadMemory(settings("<ReportSet a=''/>"), "a"); });
    const kolt::LoadResult second = quietly([&] { return s.loadMemory(settings(""), "b"); });
    EXPECT_EQ(first.count(koltDiagnosticCode::NoAttributeAllowed), 1);
    EXPECT_EQ(first.count(koltDiagnosticCode::UnexpectedNode), 0);
    EXPECT_EQ(first.count(static_cast<koltDiagnosticCode>(1000)), 0);
    EXPECT_EQ(first.report().counts.size(), koltDiagnosticCodeCount);
    EXPECT_TRUE(second.clean());
}

// Every list of the example, through the views and through the legacy API: the same
// elements at the same addresses, so nothing was copied.
TEST(ModernViews, ReadEveryListInPlace) {
    kolt::Settings s;
    ASSERT_TRUE(s.load(KOLT_EXAMPLES_DIR "/settings.xml").clean());
    const koltSettingManager& m = s.manager();
    const auto expectSame = [](const auto& view, const auto* legacy, const auto& address) {
        ASSERT_NE(legacy, nullptr);
        EXPECT_EQ(view.legacy(), legacy);
        ASSERT_EQ(view.size(), static_cast<std::size_t>(legacy->Size()));
        int pos = 1;
        for (const auto& element : view) {
            EXPECT_EQ(address(element), address((*legacy)[pos++]));
        }
    };
    const auto text = [](auto&& t) -> const void* {
        return std::string_view(t).data();
    };
    const auto record = [](auto&& r) -> const void* {
        if constexpr (std::is_pointer_v<std::decay_t<decltype(r)>>) {
            return r;
        } else {
            return &r;
        }
    };
    const auto each = [&](const TAIndex& registry, auto check) {
        EXPECT_GT(registry.Size(), 0);
        for (int i = 0; i < registry.Size(); ++i) {
            check(std::string(registry.GetName(i)));
        }
    };
    each(m.stringLists(),
         [&](auto n) { expectSame(s.strings(n), m.getGAXListOfGAXString(n.c_str()), text); });
    each(m.callLists(), [&](auto n) { expectSame(s.calls(n), m.getGAXListOfCall(n.c_str()), record); });
    each(m.callWithSpecificArgLists(), [&](auto n) {
        expectSame(s.callsWithSpecificArg(n), m.getGAXListOfCallWithSpecificArg(n.c_str()), record);
    });
    each(m.callDeclarationLists(), [&](auto n) {
        expectSame(s.callDeclarations(n), m.getGAXListOfCallDeclaration(n.c_str()), record);
    });
    each(m.entityDetectionLists(),
         [&](auto n) { expectSame(s.detections(n), m.getGAXListOfEntityDetection(n.c_str()), record); });
    EXPECT_TRUE(s.checkRun());
    EXPECT_TRUE(s.reportTestFramework());

    // A moved manager keeps its lists where they were.
    const kolt::StringList macros = s.strings("Macro2Expand");
    kolt::Settings moved(std::move(s));
    EXPECT_EQ(moved.strings("Macro2Expand").legacy(), macros.legacy());
    EXPECT_TRUE(s.strings("Macro2Expand").empty()); // the moved-from settings view nothing
}

TEST(ModernViews, LookUpAnyStringView) {
    const std::string longName = "EntityDetection_Words" + std::string(200, 'x'); // past the stack copy
    kolt::Settings s;
    ASSERT_TRUE(
        s.loadMemory(settings("<ReportSet><Report MessageName='R' Activate='true'/></ReportSet>"
                              "<OptionLists><Global_OptionLists><Macro2Expand><Macro>M</Macro>"
                              "</Macro2Expand></Global_OptionLists><EntityDetection_OptionLists><" +
                              longName + "><WordDetection><WordName>goto</WordName></WordDetection></" +
                              longName + "></EntityDetection_OptionLists></OptionLists>"),
                     "s.xml")
            .clean());
    const std::string_view padded = "[Macro2Expand]"; // not NUL-terminated after the name
    EXPECT_EQ(s.strings(padded.substr(1, padded.size() - 2)).size(), 1u);
    EXPECT_EQ(s.detections(longName).front().getName(), std::string_view("goto"));
    EXPECT_TRUE(s.reportActive(std::string_view("RR").substr(1)));
    for (const std::string_view unknown :
         {std::string_view(), std::string_view("Macro2Expand\0", 13), std::string_view("Macro2"),
          std::string_view(longName).substr(1)}) {
        EXPECT_EQ(s.strings(unknown).legacy(), nullptr);
        EXPECT_TRUE(s.detections(unknown).empty());
        EXPECT_FALSE(s.reportActive(unknown));
    }
    const kolt::SettingsView nothing;
    EXPECT_TRUE(nothing.strings("Macro2Expand").empty());
    EXPECT_FALSE(nothing.checkRun());
    EXPECT_EQ(kolt::text(nullptr), "");
}

TEST(ModernViews, IteratorsMeetTheStandardRequirements) {
    using Calls = kolt::CallList::iterator;
    using Strings = kolt::StringList::iterator;
    static_assert(
        std::is_same_v<std::iterator_traits<Calls>::iterator_category, std::random_access_iterator_tag>);
    static_assert(std::is_same_v<std::iterator_traits<Calls>::reference, const Call&>);
    static_assert(std::is_same_v<std::iterator_traits<kolt::DetectionList::iterator>::reference,
                                 const koltEntityDetection&>);
    static_assert(std::is_same_v<std::iterator_traits<Strings>::iterator_category, std::input_iterator_tag>);
    static_assert(std::is_same_v<decltype(*Strings()), std::string_view>);
    static_assert(!std::is_assignable_v<decltype(*Calls()), Call>); // read-only

    kolt::Settings s;
    ASSERT_TRUE(s.load(KOLT_EXAMPLES_DIR "/settings.xml").ok());
    const kolt::CallList calls = s.calls("ProhibitedCalls");
    const auto isThread = [](const Call& c) {
        return kolt::text(c.className) == "Thread";
    };
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), isThread), 1);
    EXPECT_EQ(std::find_if(calls.begin(), calls.end(), isThread) - calls.begin(), 1);
    EXPECT_EQ(std::next(calls.begin(), 2), calls.end());
    EXPECT_EQ(&*std::prev(calls.end()), &calls.back());
    EXPECT_EQ(calls.begin()[1].methodOrFunctionSign, calls[1].methodOrFunctionSign);
    std::vector<const Call*> reversed;
    std::transform(std::make_reverse_iterator(calls.end()), std::make_reverse_iterator(calls.begin()),
                   std::back_inserter(reversed), [](const Call& c) { return &c; });
    EXPECT_EQ(reversed, (std::vector<const Call*>{&calls[1], &calls[0]}));
    const std::vector<std::string_view> words(s.strings("UnauthorizedIdentifiers").begin(),
                                              s.strings("UnauthorizedIdentifiers").end());
    EXPECT_EQ(words, (std::vector<std::string_view>{"tmp", "foo"}));
    const kolt::StringList macros = s.strings("Macro2Expand");
    EXPECT_NE(std::find(macros.begin(), macros.end(), "IMPLEMENT_CLASS(name, base)"), macros.end());
    EXPECT_EQ(macros.begin()->size(), std::string_view("DECLARE_CLASS(name)").size());
    EXPECT_EQ(std::distance(macros.begin(), macros.end()), 2);
    const kolt::DetectionList methods = s.detections("EntityDetection_Methods");
    EXPECT_EQ(
        std::count_if(methods.begin(), methods.end(),
                      [](const koltEntityDetection& rule) { return rule.getReplacementName() != nullptr; }),
        2);
    EXPECT_EQ(Calls(), Calls());
}

TEST(Version, HeadersAndLibraryAgree) {
    EXPECT_STREQ(koltVersion(), KOLT_VERSION_STRING);
    EXPECT_EQ(std::to_string(KOLT_VERSION_MAJOR) + "." + std::to_string(KOLT_VERSION_MINOR) + "." +
                  std::to_string(KOLT_VERSION_PATCH),
              KOLT_VERSION_STRING);
}

} // namespace
