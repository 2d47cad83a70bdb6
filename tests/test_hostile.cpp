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

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <streambuf>

namespace {

using kolt::test::optionList;
using kolt::test::repeat;
using kolt::test::settings;

// Linear memory: this many bytes per input byte, plus a constant. pugixml's tree costs
// about 64 bytes per element and 40 per attribute, so `<a/>` floods are the worst case.
constexpr std::size_t kBytesPerInputByte = 32;
constexpr std::size_t kFixedBytes = std::size_t(1) << 20;

// Diagnostics sink: counts writes and bytes, keeps the start, stores nothing else.
class Sink : public std::streambuf {
public:
    std::size_t bytes = 0;
    std::size_t writes = 0;
    std::string head; // the first 4 KiB

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        ++writes;
        bytes += static_cast<std::size_t>(n);
        if (head.size() < 4096) {
            head.append(s, std::min<std::size_t>(static_cast<std::size_t>(n), 4096 - head.size()));
        }
        return n;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            const char ch = traits_type::to_char_type(c);
            xsputn(&ch, 1);
        }
        return traits_type::not_eof(c);
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

constexpr std::size_t kMiB = std::size_t(1) << 20;
constexpr int kMany = 100000;

std::string attributes(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        s += " a" + std::to_string(i) + "=\"v\"";
    }
    return s;
}

std::string nested(const std::string& name, int depth) {
    return repeat("<" + name + ">", depth) + repeat("</" + name + ">", depth);
}

std::string macros(std::string_view items) {
    return optionList("Global_OptionLists", "Macro2Expand", items);
}

std::string newMethods(std::string_view records) {
    return optionList("MemoryManagement_OptionLists", "MemoryManagement_NewMethods", records);
}

std::string withArg(std::string_view arg, std::string_view attributes = {}) {
    return "<CallWithSpecificArg" + std::string(attributes) +
           "><MethodOrFunctionSign>f</MethodOrFunctionSign><SpecificArg>" + std::string(arg) +
           "</SpecificArg></CallWithSpecificArg>";
}

std::string method(std::string_view signature) {
    return optionList("EntityDetection_OptionLists", "EntityDetection_Methods",
                      "<MethodDetection><MethodOrFunctionSign>" + std::string(signature) +
                          "</MethodOrFunctionSign></MethodDetection>");
}

// Bytes of every value, in no order a parser could make sense of.
std::string garbage(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        s[i] = static_cast<char>(i * i * 131 + i / 7);
    }
    return s;
}

std::string utf16le(std::u16string_view text) {
    std::string s = "\xFF\xFE";
    for (const char16_t c : text) {
        s += static_cast<char>(c & 0xff);
        s += static_cast<char>(c >> 8);
    }
    return s;
}

const std::u16string kAccented = u"<R\u00e9glages><ReportSet><Report MessageName=\"R\u00e9p\u00e9t\u00e9\" "
                                 u"Activate=\"true\"/><D\u00e9tail/></ReportSet></R\u00e9glages>";
const std::string kAccentedPath = " / R\xC3\xA9glages / ReportSet / D\xC3\xA9tail\n";
const std::string kAccentedReport = "reports: 1\n  \"R\xC3\xA9p\xC3\xA9t\xC3\xA9\"\n"; // in UTF-8

const std::string kBillionLaughs = [] {
    std::string decls = "<?xml version=\"1.0\"?>\n<!DOCTYPE Settings [\n <!ENTITY lol \"lol\">\n";
    for (int i = 1; i <= 9; ++i) {
        decls += " <!ENTITY lol" + std::to_string(i) + " \"" +
                 repeat("&lol" + (i > 1 ? std::to_string(i - 1) : std::string()) + ";", 10) + "\">\n";
    }
    return decls + "]>\n";
}();

const std::string kDtd = "--> This file is not valid according to the dtd\n";
const std::string kError = "--> Error while parsing SettingFile";
const std::string kUnexpectedNode = kError + ", unexpected node\n" + kDtd;
const std::string kNoAttribute = kError + ", no attribute should be defined\n" + kDtd;

std::string specificArgs(std::initializer_list<const char*> args) {
    std::string s =
        "call-with-specific-arg list MemoryManagement_NewMethods: " + std::to_string(args.size()) + "\n";
    for (const char* a : args) {
        s += "  class (null); signature \"f\"; argument " + std::string(a) + "\n";
    }
    return s;
}

struct Row {
    const char* label;
    std::string document;
    int result;
    koltLoadReport::Outcome outcome;
    int diagnostics;          // the load report's total
    std::string firstRecord;  // how stderr begins ("" when nothing is written)
    std::string inState = {}; // a piece of koltDumpText's listing afterwards
};

const std::vector<Row>& rows() {
    using O = koltLoadReport;
    const std::string laughs =
        kBillionLaughs + settings("<ReportSet><Report MessageName=\"&lol9;\" Activate=\"true\"/></ReportSet>"
                                  "<OptionLists><Global_OptionLists><Macro2Expand><Macro>&lol9;&amp;</Macro>"
                                  "</Macro2Expand></Global_OptionLists></OptionLists>");
    const std::string iso =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<R\xE9glages><ReportSet><Report "
        "MessageName=\"R\xE9p\xE9t\xE9\" Activate=\"true\"/><D\xE9tail/></ReportSet></R\xE9glages>";
    const std::string report = "<Report MessageName=\"r\" Activate=\"true\"";
    static const std::vector<Row> table = {
        {"garbage after a valid start", "<Settings><RunType TypeOfRun=\"Check\"/>" + garbage(64 * 1024), 0,
         O::Malformed, 0, ""},
        {"NUL byte in a text", macros(std::string("<Macro>a\0b</Macro>", 18)), 0, O::Malformed, 0, ""},
        {"UTF-16 with a byte order mark", utf16le(kAccented), 0, O::Loaded, 1,
         kUnexpectedNode + kAccentedPath, kAccentedReport},
        {"ISO-8859-1 declared, accented names", iso, 0, O::Loaded, 1, kUnexpectedNode + kAccentedPath,
         kAccentedReport},
        // Only the five predefined entities are decoded.
        {"billion laughs: internal entities are never expanded", laughs, 0, O::Loaded, 0, "",
         "reports: 1\n  \"&lol9;\"\nstring list Macro2Expand: 1\n  \"&lol9;&\"\n"},
        // External entities name a file every system has: it is never read.
        {"external entities",
         "<!DOCTYPE Settings [<!ENTITY f SYSTEM \"/etc/passwd\"> <!ENTITY u SYSTEM \"file:///etc/passwd\"> "
         "<!ENTITY % p SYSTEM \"/etc/passwd\"> %p;]>" +
             settings("<ReportSet><Report MessageName=\"&u;\" Activate=\"true\"/></ReportSet>"
                      "<OptionLists><Global_OptionLists><Macro2Expand><Macro>&f;</Macro></Macro2Expand>"
                      "</Global_OptionLists></OptionLists>"),
         0, O::Loaded, 0, "", "reports: 1\n  \"&u;\"\nstring list Macro2Expand: 1\n  \"&f;\"\n"},
        {"unterminated internal subset", "<!DOCTYPE Settings [ <!ENTITY a \"" + repeat("x", kMiB), 0,
         O::Malformed, 0, ""},
        {"elements nested 100,000 deep under ReportSet",
         settings("<ReportSet>" + nested("Deep", kMany) + "</ReportSet>"), 0, O::Loaded, 1,
         kUnexpectedNode + " / Settings / ReportSet / Deep\n"},
        {"a string item nested 100,000 deep", macros(nested("Macro", kMany)), 0, O::Loaded, 1,
         kError + ", neither attribute nor son node should be defined\n" + kDtd +
             " / Settings / OptionLists / Global_OptionLists / Macro2Expand / Macro\n"},
        {"a top-level element nested 100,000 deep", settings(nested("Deep", kMany)), 1, O::Stopped, 1,
         kError + " in createFromXmlFilesettings.xml\n" + kDtd + " / Settings / Deep\n"},
        {"1 MiB attribute value kept",
         settings("<ReportSet><Report MessageName=\"" + repeat("n", kMiB) +
                  "\" Activate=\"true\"/></ReportSet>"),
         0, O::Loaded, 0, "", "reports: 1\n  \"" + repeat("n", kMiB) + "\"\n"},
        {"1 MiB attribute value in a diagnostic",
         settings("<ReportSet><Report MessageName=\"r\" Activate=\"" + repeat("t", kMiB) +
                  "\"/></ReportSet>"),
         0, O::Loaded, 1,
         kError + ", attribute Value for \"Report \" should be either \"true\" or \"false\" (not \"ttt"},
        {"1 MiB text", macros("<Macro>" + repeat("m", kMiB) + "</Macro>"), 0, O::Loaded, 0, "",
         "string list Macro2Expand: 1\n  \"" + repeat("m", kMiB) + "\"\n"},
        {"1 MiB of entity references, decoded in one pass",
         macros("<Macro>" + repeat("&amp;amp;", kMiB / 9) + "</Macro>"), 0, O::Loaded, 0, "",
         "string list Macro2Expand: 1\n  \"" + repeat("&", kMiB / 9) + "\"\n"},
        {"1 MiB element name", settings("<ReportSet><" + repeat("N", kMiB) + "/></ReportSet>"), 0, O::Loaded,
         1, kUnexpectedNode + " / Settings / ReportSet / NNN"},
        {"100,000 attributes on ReportSet", settings("<ReportSet" + attributes(kMany) + "/>"), 0, O::Loaded,
         kMany, kNoAttribute + " / Settings / ReportSet\n" + kNoAttribute},
        {"100,000 attributes on a Report",
         settings("<ReportSet>" + report + attributes(kMany) + "/></ReportSet>"), 0, O::Loaded, kMany,
         kError + ", unexpected attribute \n" + kDtd + " / Settings / ReportSet / Report\n",
         "reports: 1\n  \"r\"\n"},
        {"100,000 attributes on a record: said once", newMethods(withArg("1", attributes(kMany))), 0,
         O::Loaded, 1, kNoAttribute, specificArgs({"1"})},
        {"400,000 reports of one name, each registered",
         settings("<ReportSet>" + repeat(report + "/>", 4 * kMany) + "</ReportSet>"), 0, O::Loaded, 0, "",
         "reports: 400000\n  \"r\"\n  \"r\"\n"},
        {"SpecificArg of 40 digits saturates",
         newMethods(withArg("1234567890123456789012345678901234567890") +
                    withArg("0000000000000000000000000000000000000007") + withArg(repeat("9", kMiB))),
         0, O::Loaded, 0, "", specificArgs({"2147483647", "7", "2147483647"})},
        {"negative SpecificArg of 40 digits is refused",
         newMethods(withArg("-1234567890123456789012345678901234567890")), 0, O::Loaded, 1,
         kError + ", CallWithSpecificArg -> no SpecificArg is defined or SpecificArg is negative\n"},
        {"method signature of 1 MiB", method("f(" + repeat("a,", kMiB / 2) + "a)"), 0, O::Loaded, 0, "",
         "MethodDetection name \"f\"; class (null); arguments " + std::to_string(kMiB / 2 + 1) + ";"},
        {"method name of 1 MiB, blanks removed", method(repeat("n ", kMiB / 2) + "()"), 0, O::Loaded, 0, "",
         "MethodDetection name \"" + repeat("n", kMiB / 2) + "\"; class (null); arguments 0;"},
    };
    return table;
}

class Hostile : public ::testing::TestWithParam<std::size_t> {};

TEST_P(Hostile, LoadsWithinBoundsAndSaysWhatTheRulesSay) {
    const Row& row = rows()[GetParam()];
    const std::string& doc = row.document;
    koltSettingManager m;
    Outcome o;
    loadCounted(m, doc, o);
    EXPECT_EQ(o.result, row.result);
    EXPECT_EQ(o.report.outcome, row.outcome);
    EXPECT_EQ(o.report.total, row.diagnostics);
    EXPECT_EQ(o.err.head.substr(0, row.firstRecord.size()), row.firstRecord);
    EXPECT_EQ(o.err.bytes == 0, row.firstRecord.empty());
    EXPECT_EQ(o.err.writes, static_cast<std::size_t>(row.diagnostics)) << "one write per diagnostic record";
    EXPECT_LE(o.peak, kBytesPerInputByte * doc.size() + kFixedBytes)
        << "input " << doc.size() << " bytes, peak " << o.peak << " bytes";
    std::printf("[ memory   ] %zu bytes in, %zu bytes at peak: %.1f per input byte\n", doc.size(), o.peak,
                double(o.peak) / double(doc.size()));
    std::ostringstream state;
    koltDumpText(m, state);
    EXPECT_NE(state.str().find(row.inState), std::string::npos) << row.inState.substr(0, 200);
}

INSTANTIATE_TEST_SUITE_P(Documents, Hostile, ::testing::Range<std::size_t>(0, rows().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& row) {
                             std::string name = rows()[row.param].label;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

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
    const std::string empty = kolt::test::loadXml(settings("")).state();
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
    const std::string doc = settings("<ReportSet>" + repeat("<X/><Y/>", kMany) + "</ReportSet>");
    koltSettingManager m;
    m.setDiagnosticObserver(&observer);
    Outcome o;
    loadCounted(m, doc, o);
    EXPECT_EQ(observer.seen, 2 * kMany);
    EXPECT_EQ(observer.last, "/Settings/ReportSet[1]/Y[" + std::to_string(kMany) + "]");
    EXPECT_LE(o.peak, kBytesPerInputByte * doc.size() + kFixedBytes);
}

} // namespace
