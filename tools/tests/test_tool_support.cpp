// The pieces of kolt-settings: the generated files against their checked-in copies,
// suggestions, JSON strings, character columns, and the XML dump's round trip.
#include "golden_cases.h"
#include "support.h"
#include "support/check.h"
#include "support/diff.h"
#include "support/dump_formats.h"
#include "support/findings.h"
#include "support/hints.h"
#include "support/origins.h"
#include "support/reference.h"
#include "support/schema.h"
#include "support/source.h"

#include "optionlists/vocabulary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <set>

namespace {

using kolt::test::capture;

// The files generated from the vocabulary tables, as checked in.
TEST(Generated, CheckedInCopiesAreUpToDate) {
    std::ostringstream dtd;
    kolt::tool::Schema::instance().writeDtd(dtd);
    EXPECT_EQ(kolt::test::readFile(KOLT_DTD_FILE), dtd.str()) << "schema/koltSettings.dtd is out of date";
    std::ostringstream reference;
    kolt::tool::writeReference(reference);
    const std::string guide = kolt::test::readFile(KOLT_GUIDE_FILE);
    const std::string begin = "<!-- reference:begin -->\n";
    const std::size_t from = guide.find(begin);
    const std::size_t to = guide.find("<!-- reference:end -->");
    ASSERT_TRUE(from != std::string::npos && to != std::string::npos) << "the guide has no reference markers";
    EXPECT_EQ(guide.substr(from + begin.size(), to - from - begin.size()), reference.str())
        << "the reference of docs/settings-guide.md is out of date";
    if (HasFailure()) {
        ADD_FAILURE() << "build the target kolt-update-vocabulary and commit the result";
    }
}

TEST(Suggestions, NearestNameOfTheVocabulary) {
    const std::vector<std::string> uses{"Derivation", "New", "CastInto", "TIE"};
    const struct {
        const char* word;
        const char* expected;
    } rows[] = {
        {"new", "New"}, {"NEW", "New"},
        {"Nwe", "New"}, {"Derivaton", "Derivation"},
        {"Cast", ""},   {"CastIntoo", "CastInto"},
        {"Tie", "TIE"}, {"Inheritance", ""},
        {"", ""},       {"Derivatoin", "Derivation"},
        {"New", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(kolt::tool::closest(row.word, uses), row.expected) << row.word;
    }
}

TEST(Source, PositionsSpansAndEndTags) {
    const std::string text = "\xEF\xBB\xBF<a>\r\n<\xC3\xA9\xC3\xA9 x = 'v>'/>\r<b>\n\t<c/></b>";
    const kolt::tool::Source source(text);
    const auto at = [&](std::size_t offset) {
        const auto p = source.position(offset);
        return std::to_string(p.line) + ":" + std::to_string(p.column);
    };
    EXPECT_EQ(at(0), "1:1");
    EXPECT_EQ(at(4), "1:2"); // a byte order mark is no character, whatever was asked first
    EXPECT_EQ(at(text.find(" x")), "2:4");
    EXPECT_EQ(at(text.find("<b>")), "3:1"); // a lone CR ends a line too
    EXPECT_EQ(at(text.find("<c")), "4:2");
    EXPECT_EQ(source.offset(2, 4), text.find(" x"));
    EXPECT_EQ(source.offset(1, 99), text.find('\r'));      // clamped to the line
    EXPECT_EQ(source.loaderOffset(3, 2), text.find("<c")); // the loader counts LF lines only
    const auto attribute = source.attribute(text.find("x ="));
    ASSERT_TRUE(attribute);
    EXPECT_EQ(text.substr(attribute->value.begin, attribute->value.end - attribute->value.begin), "v>");
    EXPECT_EQ(text.substr(attribute->whole.begin, attribute->whole.end - attribute->whole.begin), "x = 'v>'");
    EXPECT_FALSE(source.endTagName(text.find("\xC3\xA9"))); // an empty-element tag
    const std::string nested = "<a><a/><!-- </a> --><a x='</a>'><![CDATA[</a>]]></a></a  >";
    const auto end = kolt::tool::Source(nested).endTagName(1);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->begin, nested.rfind("a  >"));
    EXPECT_EQ(end->end, end->begin + 1);
}

// ---------------------------------------------------------------------------------------
// load(dump(S)) == S

struct Reloaded {
    std::string state;           // of the first load
    std::string again;           // after loading its XML dump
    std::string dump;            // the XML dump
    std::set<std::string> codes; // diagnostics of the second load
};

// Loads each document in turn, from memory, with origins kept.
struct WithOrigins {
    koltSettingManager manager;
    kolt::tool::Origins origins{manager};
    WithOrigins(const std::vector<std::string>& documents, const char* name) {
        manager.setRegistrationObserver(&origins);
        capture([&] {
            for (const std::string& d : documents) {
                manager.loadFromXmlMemory(d.data(), d.size(), name);
            }
        });
    }
};

// The dump carries origins: comments the load does not see ("--" in the name included).
Reloaded reload(const std::vector<std::string>& documents) {
    const WithOrigins first(documents, "in--memory.xml");
    Reloaded r;
    std::ostringstream text;
    koltDumpText(first.manager, text);
    r.state = text.str();
    std::ostringstream dump;
    kolt::tool::writeXmlDump(first.manager, dump, nullptr, &first.origins);
    r.dump = dump.str();
    koltSettingManager second;
    kolt::test::Recorder recorder;
    second.setDiagnosticObserver(&recorder);
    capture([&] { second.loadFromXmlMemory(r.dump.data(), r.dump.size(), "dump.xml"); });
    std::ostringstream state;
    koltDumpText(second, state);
    r.again = state.str();
    for (const kolt::test::Seen& seen : recorder.seen) {
        r.codes.insert(seen.codeName);
    }
    return r;
}

// The only states that a clean file cannot recreate: an empty LifeCycle_SafeMethodsForMCBU
// list needs a rejected first record, a rule whose uses were all refused a refused use.
const std::set<std::string> kRecreationCodes{"KS016", "KS017", "KS025", "KS026"};

void expectSubset(const std::set<std::string>& codes) {
    for (const std::string& c : codes) {
        EXPECT_TRUE(kRecreationCodes.count(c)) << c;
    }
}

TEST(XmlDump, ExampleAndEveryGoldenCaseLoadBackIntoTheSameState) {
    const Reloaded example = reload({kolt::test::readFile(std::string(KOLT_EXAMPLES_DIR) + "/settings.xml")});
    EXPECT_EQ(example.again, example.state);
    EXPECT_TRUE(example.codes.empty());
    const auto cases = kolt::test::goldenCases();
    ASSERT_GT(cases.size(), 50u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label());
        const Reloaded r = reload(c.documents());
        EXPECT_EQ(r.again, r.state) << r.dump;
        expectSubset(r.codes);
    }
}

TEST(XmlDump, StatesOnlyARejectedElementRecreates) {
    const std::string doc = kolt::test::settings(
        "<OptionLists><LifeCycle_OptionLists>"
        "<LifeCycle_SafeMethodsForMCBU><Call/></LifeCycle_SafeMethodsForMCBU>"
        "<LifeCycle_SafeMethodsForMCBU><CallDeclaration/></LifeCycle_SafeMethodsForMCBU>"
        "</LifeCycle_OptionLists><EntityDetection_OptionLists><EntityDetection_Classes><ClassDetection>"
        "<ClassName>C</ClassName><ClassUseSet><ClassUse use='Bad' prohibited='true'/></ClassUseSet>"
        "</ClassDetection></EntityDetection_Classes></EntityDetection_OptionLists></OptionLists>");
    const Reloaded r = reload({doc});
    EXPECT_EQ(r.again, r.state);
    EXPECT_EQ(r.codes, (std::set<std::string>{"KS016", "KS017", "KS025"}));
    EXPECT_NE(r.dump.find("<!-- The list was registered empty"), std::string::npos);
}

// Random documents over the whole vocabulary, with the texts that are hard to write back.
class DocumentMaker {
public:
    explicit DocumentMaker(unsigned seed) : _rng(seed) {}

    std::string document() {
        std::string body;
        for (int n = pick(1, 4); n > 0; --n) {
            switch (pick(0, 2)) {
            case 0:
                body += runType();
                break;
            case 1:
                body += reportSet();
                break;
            default:
                body += optionLists();
            }
        }
        return kolt::test::settings(body);
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(_rng); }
    template <class T>
    const T& oneOf(const std::vector<T>& v) {
        return v[static_cast<std::size_t>(pick(0, static_cast<int>(v.size()) - 1))];
    }
    bool chance(int percent) { return pick(1, 100) <= percent; }

    std::string text() {
        static const std::vector<std::string> texts{
            "plain",
            " spaced ",
            "a&amp;b",
            "&amp;amp;lt;",
            "x&lt;y&gt;z",
            "&quot;q&quot;&apos;",
            "<![CDATA[c<d&e]]>",
            "<![CDATA[]]>",
            "tab\there",
            "two\nlines",
            "&#65;&unknown;",
            "\xC3\xA9t\xC3\xA9",
            "]]&gt;",
            "a & b",
            "&amp",
            "  ",
            "&amp;&amp;amp;",
            "",
        };
        return oneOf(texts);
    }
    std::string attributeValue() {
        static const std::vector<std::string> values{
            "\"A\"", "\"a&amp;b\"", "\"it's\"", "'say \"hi\"'", "\"&lt;x&gt;\"", "\" \"", "\"A\""};
        return oneOf(values);
    }
    std::string leaf(const std::string& tag) { return "<" + tag + ">" + text() + "</" + tag + ">"; }

    std::string runType() {
        std::string attrs;
        if (chance(50)) {
            attrs += chance(80) ? " TypeOfRun='Check'" : " TypeOfRun='check'";
        }
        if (chance(50)) {
            attrs += chance(50) ? " ReportTestFw='true'" : " ReportTestFw='false'";
        }
        std::string body;
        for (int n = pick(0, 2); n > 0; --n) {
            body +=
                "<ExcludeFramework>" + leaf("FrameworkName") + leaf("FrameworkName") + "</ExcludeFramework>";
        }
        return "<RunType" + attrs + ">" + body + "</RunType>";
    }

    std::string reportSet() {
        std::string body;
        for (int n = pick(0, 4); n > 0; --n) {
            body += "<Report MessageName=" + attributeValue() + (chance(70) ? " Activate='true'" : "") + "/>";
        }
        return "<ReportSet>" + body + "</ReportSet>";
    }

    std::string signature() {
        static const std::vector<std::string> signatures{
            "f",
            "Foo::bar ( int a, int b )",
            "get Value (x)",
            "g()",
            "   ",
            "(a,b)",
            "op&lt;(x) const",
            "h(a,",
            "x)y(z)",
            "&amp;f(a&amp;b)",
            "<![CDATA[c<(d, e)]]>",
            "",
        };
        return oneOf(signatures);
    }

    std::string useSet(const std::string& kind) {
        static const std::vector<std::string> uses{"New", "TIE", "Derivation", "new", "Call", "", "CastInto"};
        std::string body;
        for (int n = pick(0, 3); n > 0; --n) {
            body += "<" + kind + "Use use='" + oneOf(uses) + "'" + (chance(70) ? " prohibited='true'" : "") +
                    "/>";
        }
        return "<" + kind + "UseSet>" + body + "</" + kind + "UseSet>";
    }

    std::string item(kolt::detail::ListKind kind, const std::string& itemName) {
        using kolt::detail::ListKind;
        const std::string className = chance(60) ? leaf("ClassName") : "";
        switch (kind) {
        case ListKind::Strings:
            return leaf(itemName);
        case ListKind::CallsWithSpecificArg:
            return "<CallWithSpecificArg>" + className + "<MethodOrFunctionSign>" + signature() +
                   "</MethodOrFunctionSign><SpecificArg>" +
                   oneOf(std::vector<std::string>{"0", "3", " 7", "x", "-1"}) +
                   "</SpecificArg></CallWithSpecificArg>";
        case ListKind::Calls:
            return "<Call>" + className + "<MethodOrFunctionSign>" + signature() +
                   "</MethodOrFunctionSign></Call>";
        case ListKind::CallDeclarations:
        case ListKind::CallsOrDeclarations:
            if (chance(50)) {
                return item(ListKind::Calls, "Call");
            }
            return "<CallDeclaration>" + leaf("FrameworkName") + className + "<MethodOrFunctionSign>" +
                   signature() + "</MethodOrFunctionSign></CallDeclaration>";
        case ListKind::ClassDetections:
        case ListKind::InterfaceDetections: {
            const std::string k = kind == ListKind::ClassDetections ? "Class" : "Interface";
            return "<" + k + "Detection>" + leaf("ClassName") + (chance(50) ? leaf("Replacement") : "") +
                   useSet(k) + "</" + k + "Detection>";
        }
        case ListKind::MethodDetections: {
            static const std::vector<std::string> classes{"",
                                                          "<ClassName>RootClass</ClassName>",
                                                          "<ClassName></ClassName>",
                                                          "<ClassName>Cls&amp;X</ClassName>",
                                                          "<ClassName><![CDATA[a<b]]></ClassName>",
                                                          "<ClassName>a & b</ClassName>"};
            return "<MethodDetection><MethodOrFunctionSign>" + signature() + "</MethodOrFunctionSign>" +
                   oneOf(classes) + (chance(50) ? leaf("Replacement") : "") +
                   (chance(30) ? useSet("Method") : "") + "</MethodDetection>";
        }
        case ListKind::WordDetections:
            return "<WordDetection>" + leaf("WordName") + (chance(50) ? leaf("Replacement") : "") +
                   (chance(30) ? useSet("Word") : "") + "</WordDetection>";
        }
        return {};
    }

    std::string optionLists() {
        std::string body;
        for (int groups = pick(1, 4); groups > 0; --groups) {
            const auto& group = kolt::detail::kGroups[static_cast<std::size_t>(
                pick(0, static_cast<int>(kolt::detail::kGroupCount) - 1))];
            std::string lists;
            for (int n = pick(1, 4); n > 0; --n) {
                const kolt::detail::ListRow* row = nullptr;
                do {
                    row = &kolt::detail::kLists[static_cast<std::size_t>(
                        pick(0, static_cast<int>(kolt::detail::kListCount) - 1))];
                } while (row->group != group.group);
                const std::string name =
                    row->element +
                    std::string(row->match == kolt::detail::Match::Prefix && chance(30) ? "Legacy" : "");
                std::string items;
                for (int k = pick(0, 3); k > 0; --k) {
                    items += item(row->kind, row->item);
                }
                lists += "<" + name + ">" + items + "</" + name + ">";
            }
            body += "<" + std::string(group.element) + ">" + lists + "</" + group.element + ">";
        }
        return "<OptionLists>" + body + "</OptionLists>";
    }

    std::mt19937 _rng;
};

TEST(XmlDump, RandomDocumentsLoadBackIntoTheSameState) {
    DocumentMaker maker(20240611);
    for (int i = 0; i < 400; ++i) {
        std::vector<std::string> documents{maker.document()};
        if (i % 4 == 0) {
            documents.push_back(maker.document()); // a second load adds to the first
        }
        const Reloaded r = reload(documents);
        ASSERT_EQ(r.again, r.state) << "document " << i << ":\n" << documents[0] << "\ndump:\n" << r.dump;
        expectSubset(r.codes);
    }
}

// Calls f on every entry of every list of a registry whose lists are `List`s.
template <class List, class F>
void forEachEntry(const TAIndex& registry, F f) {
    for (int i = 0; i < registry.Size(); ++i) {
        const auto& list = *static_cast<const List*>(registry.GetValue(i));
        for (int k = 1; k <= list.Size(); ++k) {
            f(list[k]);
        }
    }
}

// Warnings say what the load registered: on random documents, KW002 comes once for each
// text the registries hold with a blank at either end, wherever it is.
TEST(Check, RandomDocumentsWarnOfEveryStoredBlank) {
    const auto edged = [](const char* t) {
        const std::string_view s = t ? t : "";
        return !s.empty() && (std::isspace(static_cast<unsigned char>(s.front())) ||
                              std::isspace(static_cast<unsigned char>(s.back())))
                   ? 1
                   : 0;
    };
    DocumentMaker maker(7);
    for (int i = 0; i < 200; ++i) {
        const std::string doc = maker.document();
        kolt::tool::Checker checker;
        const auto findings = checker.check(doc, "s.xml");
        const koltSettingManager& m = checker.manager();
        int expected = 0;
        for (int r = 0; r < m.activeReports().Size(); ++r) {
            expected += edged(m.activeReports().GetName(r));
        }
        forEachEntry<GAXListValGAXString>(m.stringLists(), [&](const GAXString& s) { expected += edged(s); });
        const auto call = [&](const auto* r) {
            expected += edged(r->className) + edged(r->methodOrFunctionSign);
        };
        forEachEntry<GAXListPtrCallWithSpecificArg>(m.callWithSpecificArgLists(), call);
        forEachEntry<GAXListPtrCall>(m.callLists(), call);
        forEachEntry<GAXListPtrCallDeclaration>(m.callDeclarationLists(), [&](const CallDeclaration* r) {
            expected += edged(r->frameworkName);
            call(r);
        });
        forEachEntry<GAXListPtrkoltEntityDetection>(
            m.entityDetectionLists(), [&](const koltEntityDetection* r) {
                const auto* method = dynamic_cast<const koltMethodDetection*>(r);
                expected += edged(r->getName()) + edged(r->getReplacementName()) +
                            (method ? edged(method->getClassName()) : 0);
            });
        const auto warned =
            std::count_if(findings.begin(), findings.end(), [](const auto& f) { return f.code == "KW002"; });
        ASSERT_EQ(warned, expected) << doc;
    }
}

// ---------------------------------------------------------------------------------------
// diff

// diff.cases: two documents and the lines of the text report of their difference.
TEST(Diff, WhatTheCheckerSeesDifferently) {
    const auto cases = kolt::test::readCases(KOLT_TOOL_TESTS_DIR "/diff.cases");
    ASSERT_GE(cases.size(), 5u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label());
        const WithOrigins old({c.expected("old")}, "old.xml");
        const WithOrigins now({c.expected("new")}, "new.xml");
        std::ostringstream out;
        kolt::tool::writeDiff(
            kolt::tool::diffSettings({old.manager, old.origins}, {now.manager, now.origins}),
            kolt::tool::DiffFormat::Text, {"old.xml"}, {"new.xml"}, out);
        EXPECT_EQ(out.str(), c.expected("diff"));
    }
}

} // namespace
