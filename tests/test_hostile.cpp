// Hostile and broken settings documents: no crash, no hang, memory in proportion to the
// input, and the diagnostics the rules give.
//
// Memory is counted by this binary's operator new and by the allocation functions it
// installs in pugixml (the document tree and the input buffer): together they hold all
// the loader's memory but the texts that records and rules copy with malloc, each at
// most once per record (under valgrind, pugixml's part only). A hang shows as the ctest
// timeout of this binary.
#include "counting_allocator.h"
#include "support.h"

#include <koltSettings/koltSettings.h>

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <streambuf>

namespace {

// Installed before any document is parsed: pugixml must free with the function it
// allocated with.
struct CountPugixml {
    CountPugixml() {
        pugi::set_memory_management_functions(kolt::test::countedAlloc, kolt::test::countedFree);
    }
} gCountPugixml;

// Linear memory: this many bytes per input byte, plus a constant. pugixml's tree costs
// about 64 bytes per element and 40 per attribute, so `<a/>` floods are the worst case.
constexpr std::size_t kBytesPerInputByte = 32;
constexpr std::size_t kFixedBytes = std::size_t(1) << 20;

// ---------------------------------------------------------------------------------------
// Diagnostics sink: counts records and bytes, keeps the start, stores nothing else.

class Sink : public std::streambuf {
public:
    std::size_t bytes = 0;
    std::size_t writes = 0;
    std::string head; // the first kHead bytes

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        ++writes;
        keep(s, static_cast<std::size_t>(n));
        return n;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            const char ch = traits_type::to_char_type(c);
            keep(&ch, 1);
        }
        return traits_type::not_eof(c);
    }

private:
    static constexpr std::size_t kHead = 4096;
    void keep(const char* s, std::size_t n) {
        bytes += n;
        if (head.size() < kHead) {
            head.append(s, std::min(n, kHead - head.size()));
        }
    }
};

// One hostile load: result, report, diagnostics and the memory it took.
struct Outcome {
    int result = -1;
    koltLoadReport report;
    Sink err;
    std::size_t peak = 0;
};

void loadCounted(koltSettingManager& m, const std::string& doc, Outcome& o) {
    std::ostream errStream(&o.err);
    rzStreamRedirect err(rzStderr, errStream);
    o.peak = kolt::test::peakDuring(
        [&] { o.result = m.loadFromXmlMemory(doc.data(), doc.size(), "settings.xml"); });
    o.report = m.lastLoadReport();
}

// ---------------------------------------------------------------------------------------
// Documents

constexpr std::size_t kMiB = std::size_t(1) << 20;
constexpr int kMany = 100000;

std::string repeat(std::string_view piece, std::size_t times) {
    std::string s;
    s.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        s += piece;
    }
    return s;
}

std::string attributes(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        s += " a" + std::to_string(i) + "=\"v\"";
    }
    return s;
}

std::string nested(std::string_view name, int depth) {
    return repeat("<" + std::string(name) + ">", depth) + repeat("</" + std::string(name) + ">", depth);
}

std::string global(std::string_view list, std::string_view items) {
    return kolt::test::settings("<OptionLists><Global_OptionLists><" + std::string(list) + ">" +
                                std::string(items) + "</" + std::string(list) +
                                "></Global_OptionLists></OptionLists>");
}

std::string newMethods(std::string_view records) {
    return kolt::test::settings(
        "<OptionLists><MemoryManagement_OptionLists><MemoryManagement_NewMethods>" + std::string(records) +
        "</MemoryManagement_NewMethods></MemoryManagement_OptionLists></OptionLists>");
}

std::string withArg(std::string_view arg, std::string_view attributes = {}) {
    return "<CallWithSpecificArg" + std::string(attributes) +
           "><MethodOrFunctionSign>f</MethodOrFunctionSign><SpecificArg>" + std::string(arg) +
           "</SpecificArg></CallWithSpecificArg>";
}

std::string methods(std::string_view signature) {
    return kolt::test::settings(
        "<OptionLists><EntityDetection_OptionLists><EntityDetection_Methods><MethodDetection>"
        "<MethodOrFunctionSign>" +
        std::string(signature) +
        "</MethodOrFunctionSign></MethodDetection></EntityDetection_Methods></EntityDetection_OptionLists>"
        "</OptionLists>");
}

std::string garbage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string s(size, '\0');
    for (char& c : s) {
        c = static_cast<char>(random() & 0xff);
    }
    return s;
}

std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string s = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t c : text) {
        const char hi = static_cast<char>(c >> 8);
        const char lo = static_cast<char>(c & 0xff);
        s += bigEndian ? hi : lo;
        s += bigEndian ? lo : hi;
    }
    return s;
}

const std::u16string kAccented = u"<R\u00e9glages><ReportSet><Report MessageName=\"R\u00e9p\u00e9t\u00e9\" "
                                 u"Activate=\"true\"/><D\u00e9tail/></ReportSet></R\u00e9glages>";
const std::string kAccentedPath = " / R\xC3\xA9glages / ReportSet / D\xC3\xA9tail\n";

const std::string kBillionLaughs =
    "<?xml version=\"1.0\"?>\n<!DOCTYPE Settings [\n <!ENTITY lol \"lol\">\n" +
    [] {
        std::string decls;
        for (int i = 1; i <= 9; ++i) {
            decls += " <!ENTITY lol" + std::to_string(i) + " \"" +
                     repeat("&lol" + (i > 1 ? std::to_string(i - 1) : std::string()) + ";", 10) + "\">\n";
        }
        return decls;
    }() +
    "]>\n";

// ---------------------------------------------------------------------------------------
// The table

const char* const kDtd = "--> This file is not valid according to the dtd\n";
const std::string kUnexpectedNode =
    std::string("--> Error while parsing SettingFile, unexpected node\n") + kDtd;
const std::string kNoAttribute =
    std::string("--> Error while parsing SettingFile, no attribute should be defined\n") + kDtd;
const std::string kUnexpectedAttribute =
    std::string("--> Error while parsing SettingFile, unexpected attribute \n") + kDtd;

struct Row {
    const char* label;
    std::function<std::string()> document;
    int result;
    koltLoadReport::Outcome outcome;
    int diagnostics;         // the load report's total
    std::string firstRecord; // how stderr begins ("" when nothing is written)
    std::function<void(const koltSettingManager&)> check = nullptr;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.label;
}

const GAXListValGAXString& strings(const koltSettingManager& m, const char* name) {
    static const GAXListValGAXString none;
    const GAXListValGAXString* list = m.getGAXListOfGAXString(name);
    EXPECT_NE(list, nullptr) << name;
    return list ? *list : none;
}

const std::vector<Row>& rows() {
    using O = koltLoadReport;
    static const std::vector<Row> table = {
        {"empty file", [] { return std::string(); }, 0, O::Malformed, 0, ""},
        {"byte order mark only", [] { return std::string("\xEF\xBB\xBF"); }, 0, O::Malformed, 0, ""},
        {"binary garbage", [] { return garbage(64 * 1024, 1); }, 0, O::Malformed, 0, ""},
        {"garbage after a valid start",
         [] { return "<Settings><RunType TypeOfRun=\"Check\"/>" + garbage(4096, 2); }, 0, O::Malformed, 0,
         ""},
        {"NUL byte in a text", [] { return global("Macro2Expand", std::string("<Macro>a\0b</Macro>", 18)); },
         0, O::Malformed, 0, ""},
        {"UTF-16 little-endian with a byte order mark", [] { return utf16(kAccented, false); }, 0, O::Loaded,
         1, kUnexpectedNode + kAccentedPath,
         [](const koltSettingManager& m) {
             EXPECT_EQ(m.report("R\xC3\xA9p\xC3\xA9t\xC3\xA9"), 1);
         }},
        {"UTF-16 big-endian with a byte order mark", [] { return utf16(kAccented, true); }, 0, O::Loaded, 1,
         kUnexpectedNode + kAccentedPath,
         [](const koltSettingManager& m) {
             EXPECT_EQ(m.report("R\xC3\xA9p\xC3\xA9t\xC3\xA9"), 1);
         }},
        {"ISO-8859-1 declared, accented names",
         [] {
             return std::string(
                 "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                 "<R\xE9glages><ReportSet><Report MessageName=\"R\xE9p\xE9t\xE9\" Activate=\"true\"/>"
                 "<D\xE9tail/></ReportSet></R\xE9glages>");
         },
         0, O::Loaded, 1, kUnexpectedNode + kAccentedPath,
         [](const koltSettingManager& m) {
             EXPECT_EQ(m.report("R\xC3\xA9p\xC3\xA9t\xC3\xA9"), 1) << "names reach the checker in UTF-8";
         }},
        {"billion laughs: internal entities are never expanded",
         [] {
             return kBillionLaughs +
                    kolt::test::settings(
                        "<ReportSet><Report MessageName=\"&lol9;\" Activate=\"true\"/></ReportSet>"
                        "<OptionLists><Global_OptionLists><Macro2Expand><Macro>&lol9;&amp;</Macro>"
                        "</Macro2Expand></Global_OptionLists></OptionLists>");
         },
         0, O::Loaded, 0, "",
         [](const koltSettingManager& m) {
             EXPECT_EQ(m.report("&lol9;"), 1);
             EXPECT_STREQ(strings(m, "Macro2Expand")[1], "&lol9;&") << "only the five predefined are decoded";
         }},
        {"unterminated internal subset",
         [] { return "<!DOCTYPE Settings [ <!ENTITY a \"" + repeat("x", kMiB); }, 0, O::Malformed, 0, ""},
        {"elements nested 100,000 deep under ReportSet",
         [] { return kolt::test::settings("<ReportSet>" + nested("Deep", kMany) + "</ReportSet>"); }, 0,
         O::Loaded, 1, kUnexpectedNode + " / Settings / ReportSet / Deep\n"},
        {"a string item nested 100,000 deep", [] { return global("Macro2Expand", nested("Macro", kMany)); },
         0, O::Loaded, 1,
         "--> Error while parsing SettingFile, neither attribute nor son node should be defined\n" +
             std::string(kDtd) + " / Settings / OptionLists / Global_OptionLists / Macro2Expand / Macro\n"},
        {"a top-level element nested 100,000 deep",
         [] { return kolt::test::settings(nested("Deep", kMany)); }, 1, O::Stopped, 1,
         "--> Error while parsing SettingFile in createFromXmlFilesettings.xml\n" + std::string(kDtd) +
             " / Settings / Deep\n"},
        {"1 MiB attribute value kept",
         [] {
             return kolt::test::settings("<ReportSet><Report MessageName=\"" + repeat("n", kMiB) +
                                         "\" Activate=\"true\"/></ReportSet>");
         },
         0, O::Loaded, 0, "",
         [](const koltSettingManager& m) {
             ASSERT_EQ(m.activeReports().Size(), 1);
             EXPECT_EQ(std::strlen(m.activeReports().GetName(0)), kMiB);
         }},
        {"1 MiB attribute value in a diagnostic",
         [] {
             return kolt::test::settings("<ReportSet><Report MessageName=\"r\" Activate=\"" +
                                         repeat("t", kMiB) + "\"/></ReportSet>");
         },
         0, O::Loaded, 1,
         "--> Error while parsing SettingFile, attribute Value for \"Report \" should be either \"true\" or "
         "\"false\" (not \"ttt"},
        {"1 MiB text", [] { return global("Macro2Expand", "<Macro>" + repeat("m", kMiB) + "</Macro>"); }, 0,
         O::Loaded, 0, "",
         [](const koltSettingManager& m) {
             EXPECT_EQ(strings(m, "Macro2Expand")[1].Length(), int(kMiB));
         }},
        {"1 MiB of entity references",
         [] { return global("Macro2Expand", "<Macro>" + repeat("&amp;amp;", kMiB / 9) + "</Macro>"); }, 0,
         O::Loaded, 0, "",
         [](const koltSettingManager& m) {
             EXPECT_EQ(strings(m, "Macro2Expand")[1].str(), repeat("&", kMiB / 9)) << "decoded in one pass";
         }},
        {"1 MiB element name",
         [] { return kolt::test::settings("<ReportSet><" + repeat("N", kMiB) + "/></ReportSet>"); }, 0,
         O::Loaded, 1, kUnexpectedNode + " / Settings / ReportSet / NNN"},
        {"100,000 attributes on ReportSet",
         [] { return kolt::test::settings("<ReportSet" + attributes(kMany) + "/>"); }, 0, O::Loaded, kMany,
         kNoAttribute + " / Settings / ReportSet\n" + kNoAttribute},
        {"100,000 attributes on a Report",
         [] {
             return kolt::test::settings("<ReportSet><Report MessageName=\"r\" Activate=\"true\"" +
                                         attributes(kMany) + "/></ReportSet>");
         },
         0, O::Loaded, kMany, kUnexpectedAttribute + " / Settings / ReportSet / Report\n",
         [](const koltSettingManager& m) {
             EXPECT_EQ(m.report("r"), 1);
         }},
        {"100,000 attributes on a record: said once",
         [] { return newMethods(withArg("1", attributes(kMany))); }, 0, O::Loaded, 1, kNoAttribute,
         [](const koltSettingManager& m) {
             ASSERT_NE(m.getGAXListOfCallWithSpecificArg("MemoryManagement_NewMethods"), nullptr);
             EXPECT_EQ(m.getGAXListOfCallWithSpecificArg("MemoryManagement_NewMethods")->Size(), 1);
         }},
        {"100,000 unexpected siblings",
         [] { return kolt::test::settings("<ReportSet>" + repeat("<X/>", kMany) + "</ReportSet>"); }, 0,
         O::Loaded, kMany, kUnexpectedNode + " / Settings / ReportSet / X\n" + kUnexpectedNode},
        {"400,000 reports of one name",
         [] {
             return kolt::test::settings(
                 "<ReportSet>" + repeat("<Report MessageName=\"same\" Activate=\"true\"/>", 4 * kMany) +
                 "</ReportSet>");
         },
         0, O::Loaded, 0, "",
         [](const koltSettingManager& m) {
             EXPECT_EQ(m.activeReports().Size(), 4 * kMany) << "a report name is registered again";
             EXPECT_EQ(m.activeReports().IsIn("same"), 0);
             EXPECT_EQ(m.report("other"), 0);
         }},
        {"SpecificArg of 40 digits saturates",
         [] {
             return newMethods(withArg("1234567890123456789012345678901234567890") +
                               withArg("0000000000000000000000000000000000000007") +
                               withArg(repeat("9", kMiB)));
         },
         0, O::Loaded, 0, "",
         [](const koltSettingManager& m) {
             const GAXListPtrCallWithSpecificArg* list =
                 m.getGAXListOfCallWithSpecificArg("MemoryManagement_NewMethods");
             ASSERT_NE(list, nullptr);
             ASSERT_EQ(list->Size(), 3);
             EXPECT_EQ((*list)[1]->specificArg, 2147483647);
             EXPECT_EQ((*list)[2]->specificArg, 7);
             EXPECT_EQ((*list)[3]->specificArg, 2147483647);
         }},
        {"negative SpecificArg of 40 digits is refused",
         [] { return newMethods(withArg("-1234567890123456789012345678901234567890")); }, 0, O::Loaded, 1,
         "--> Error while parsing SettingFile, CallWithSpecificArg -> no SpecificArg is defined or "
         "SpecificArg is "
         "negative\n"},
        {"method signature of 1 MiB", [] { return methods("f(" + repeat("a,", kMiB / 2) + "a)"); }, 0,
         O::Loaded, 0, "",
         [](const koltSettingManager& m) {
             const GAXListPtrkoltEntityDetection* list =
                 m.getGAXListOfEntityDetection("EntityDetection_Methods");
             ASSERT_NE(list, nullptr);
             ASSERT_EQ(list->Size(), 1);
             const auto* rule = dynamic_cast<const koltMethodDetection*>((*list)[1]);
             ASSERT_NE(rule, nullptr);
             EXPECT_STREQ(rule->getName(), "f");
             EXPECT_EQ(rule->getArgCount(), int(kMiB / 2) + 1);
         }},
        {"method name of 1 MiB", [] { return methods(repeat("n ", kMiB / 2) + "()"); }, 0, O::Loaded, 0, "",
         [](const koltSettingManager& m) {
             const GAXListPtrkoltEntityDetection* list =
                 m.getGAXListOfEntityDetection("EntityDetection_Methods");
             ASSERT_NE(list, nullptr);
             ASSERT_EQ(list->Size(), 1);
             EXPECT_EQ(std::strlen((*list)[1]->getName()), kMiB / 2) << "blanks removed";
         }},
    };
    return table;
}

class Hostile : public ::testing::TestWithParam<Row> {};

TEST_P(Hostile, LoadsWithinBoundsAndSaysWhatTheRulesSay) {
    const Row& row = GetParam();
    const std::string doc = row.document();
    koltSettingManager m;
    Outcome o;
    loadCounted(m, doc, o);
    EXPECT_EQ(o.result, row.result);
    EXPECT_EQ(o.report.outcome, row.outcome);
    EXPECT_EQ(o.report.total, row.diagnostics);
    EXPECT_EQ(o.err.head.substr(0, row.firstRecord.size()), row.firstRecord);
    if (row.firstRecord.empty()) {
        EXPECT_EQ(o.err.bytes, 0u);
    }
    EXPECT_EQ(o.err.writes, static_cast<std::size_t>(row.diagnostics)) << "one write per diagnostic record";
    EXPECT_LE(o.peak, kBytesPerInputByte * doc.size() + kFixedBytes)
        << "input " << doc.size() << " bytes, peak " << o.peak << " bytes";
    std::printf("[ memory   ] %zu bytes in, %zu bytes at peak: %.1f per input byte\n", doc.size(), o.peak,
                doc.empty() ? 0.0 : double(o.peak) / double(doc.size()));
    if (row.check) {
        row.check(m);
    }
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name;
    for (const char* p = info.param.label; *p; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Documents, Hostile, ::testing::ValuesIn(rows()), rowName);

// ---------------------------------------------------------------------------------------

// A valid document using every top-level element, cut after every byte: no cut is a
// document, so each loads nothing and says nothing.
TEST(Truncated, EveryPrefixOfAValidDocumentLoadsNothing) {
    const std::string doc =
        "<?xml version=\"1.0\"?>\n<Settings>\n"
        " <RunType TypeOfRun=\"Check\"><ExcludeFramework><FrameworkName>F&amp;</FrameworkName>"
        "</ExcludeFramework></RunType>\n"
        " <ReportSet><Report MessageName=\"R\" Activate=\"true\"/></ReportSet>\n"
        " <OptionLists><EntityDetection_OptionLists><EntityDetection_Classes><ClassDetection>"
        "<ClassName>C</ClassName><ClassUseSet><ClassUse use=\"New\" prohibited=\"true\"/></ClassUseSet>"
        "</ClassDetection></EntityDetection_Classes></EntityDetection_OptionLists></OptionLists>\n"
        "</Settings>";
    const std::string empty = kolt::test::loadXml(kolt::test::settings("")).state();
    for (std::size_t size = 0; size < doc.size(); ++size) {
        SCOPED_TRACE("first " + std::to_string(size) + " bytes");
        const auto loaded = kolt::test::loadXml(doc.substr(0, size));
        EXPECT_EQ(loaded.results, std::vector<int>{0});
        EXPECT_EQ(loaded.err, "");
        EXPECT_EQ(loaded.state(), empty);
        EXPECT_EQ(loaded.manager->lastLoadReport().outcome, koltLoadReport::Malformed);
    }
    const auto whole = kolt::test::loadXml(doc);
    EXPECT_EQ(whole.err, "");
    EXPECT_EQ(whole.manager->report("R"), 1);
    EXPECT_EQ(whole.manager->_typeOfRun, 0);
    ASSERT_NE(whole.manager->getGAXListOfEntityDetection("EntityDetection_Classes"), nullptr);
}

TEST(Garbage, RandomBytesOfManySizesLoadNothing) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        const std::string doc = (seed % 2 ? "<Settings>" : "") + garbage(seed * 37 % 2048, seed);
        const auto loaded = kolt::test::loadXml(doc);
        EXPECT_EQ(loaded.results, std::vector<int>{0}) << seed;
        EXPECT_EQ(loaded.err, "") << seed;
    }
}

// An external entity names a local file: the file is never read, the reference stays
// as written.
TEST(ExternalEntity, LocalFileIsNeverRead) {
    kolt::test::TempDir dir;
    const std::string secret = dir.write("secret.txt", "TOP-SECRET-CONTENT");
    const std::string path =
        dir.write("s.xml", "<?xml version=\"1.0\"?>\n<!DOCTYPE Settings [\n <!ENTITY plain SYSTEM \"" +
                               secret + "\">\n <!ENTITY url SYSTEM \"file://" + secret +
                               "\">\n <!ENTITY % param SYSTEM \"" + secret + "\">\n %param;\n]>\n" +
                               kolt::test::settings(
                                   "<ReportSet><Report MessageName=\"&url;\" Activate=\"true\"/></ReportSet>"
                                   "<OptionLists><Global_OptionLists><Macro2Expand><Macro>&plain;</Macro>"
                                   "</Macro2Expand></Global_OptionLists></OptionLists>"));
    const auto loaded = kolt::test::loadFiles({path});
    EXPECT_EQ(loaded.results, std::vector<int>{0});
    EXPECT_EQ(loaded.err, "");
    EXPECT_EQ(loaded.state().find("TOP-SECRET"), std::string::npos);
    EXPECT_EQ(loaded.manager->report("&url;"), 1);
    ASSERT_NE(loaded.manager->getGAXListOfGAXString("Macro2Expand"), nullptr);
    EXPECT_STREQ((*loaded.manager->getGAXListOfGAXString("Macro2Expand"))[1], "&plain;");
}

// With an observer, each diagnostic also carries the element's indexed path; floods of
// siblings must not make that quadratic.
TEST(Observer, SiblingFloodsStayLinear) {
    struct Count : koltDiagnosticObserver {
        int seen = 0;
        std::string last;
        void onDiagnostic(const koltDiagnostic& d) override {
            ++seen;
            last = d.elementPath;
        }
    } observer;
    const std::string doc = kolt::test::settings("<ReportSet>" + repeat("<X/><Y/>", kMany) + "</ReportSet>");
    koltSettingManager m;
    m.setDiagnosticObserver(&observer);
    Outcome o;
    loadCounted(m, doc, o);
    EXPECT_EQ(observer.seen, 2 * kMany);
    EXPECT_EQ(observer.last, "/Settings/ReportSet[1]/Y[" + std::to_string(kMany) + "]");
    EXPECT_LE(o.peak, kBytesPerInputByte * doc.size() + kFixedBytes);
}

} // namespace
