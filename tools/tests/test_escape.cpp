// Safe output: what names and values become in text lines, JSON and XML.
#include "support/escape.h"
#include "support/json.h"

#include <gtest/gtest.h>

namespace {

using namespace kolt::tool;

// Text that a terminal, a log viewer or a CI runner would act on.
const std::string kEsc = "a\x1b[31mb";
const std::string kC1 = "csi\xC2\x9B"
                        "2J";                     // U+009B
const std::string kSeparator = "ls\xE2\x80\xA8x"; // U+2028
const std::string kOverride = "rlo\xE2\x80\xAE";  // U+202E
const std::string kSurrogate = "s\xED\xA0\x80";

TEST(Escape, TextLines) {
    const struct {
        std::string text;
        bool startsLine;
        std::string line;
    } rows[] = {
        {"plain caf\xC3\xA9 \xF0\x9F\x98\x80", true, "plain caf\xC3\xA9 \xF0\x9F\x98\x80"},
        {kEsc, false, "a\\x1b[31mb"},
        {"one\ntwo\r\tdel\x7F", false, "one\\x0atwo\\x0d\\x09del\\x7f"},
        {kC1, false, "csi\\xc2\\x9b2J"},
        {kSeparator + kOverride, false, "ls\\xe2\\x80\\xa8xrlo\\xe2\\x80\\xae"},
        {"bad \xFF cut \xE2\x82", false, "bad \\xff cut \\xe2\\x82"},
        {kSurrogate, false, "s\\xed\\xa0\\x80"},
        {"a\\x1b", false, "a\\\\x1b"},
        {"::error::forged", true, "\\x3a:error::forged"},
        {"  ::error::forged", true, "  \\x3a:error::forged"},
        {"::error::mid-line", false, "::error::mid-line"},
        {"x ##vso[task.setvariable]y", false, "x \\x23#vso[task.setvariable]y"},
        {"##[error]a ###teamcity[b", false, "\\x23#[error]a #\\x23#teamcity[b"},
        {"a##b ## [", false, "a##b ## ["},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(escapeForLine(row.text, row.startsLine), row.line);
    }
}

// In a pull-request comment every name shows as itself: no markup, mention or reference.
TEST(Escape, MarkdownShowsEveryCharacterAsItself) {
    EXPECT_EQ(escapeForMarkdown("a|b`c *d* <img src=x> @team #12 [l](u) caf\xC3\xA9_1"),
              "a\\|b\\`c \\*d\\* \\<img src\\=x\\> \\@team \\#12 \\[l\\]\\(u\\) caf\xC3\xA9\\_1");
    EXPECT_EQ(escapeForMarkdown(kEsc + "\n"), "a\\\\x1b\\[31mb\\\\x0a");
}

// Controls shown, UTF-8 kept where valid and each bad byte replaced.
TEST(Escape, JsonStrings) {
    const struct {
        std::string text;
        std::string json;
    } rows[] = {
        {"q\"b\\", "\"q\\\"b\\\\\""},
        {"\n\t\r\x01\x1f", "\"\\n\\t\\r\\u0001\\u001f\""},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
        {"bad \xE9 byte", "\"bad \\ufffd byte\""},
        {"cut \xE2\x82", "\"cut \\ufffd\\ufffd\""},
        {"overlong \xC0\xAF", "\"overlong \\ufffd\\ufffd\""},
        {"surrogate \xED\xA0\x80", "\"surrogate \\ufffd\\ufffd\\ufffd\""},
        {std::string("nul\0in", 6), "\"nul\\u0000in\""},
        {kEsc, "\"a\\u001b[31mb\""},
        {"del\x7F", "\"del\\u007f\""},
        {kC1, "\"csi\\u009b2J\""},
        {kSeparator + kOverride, "\"ls\\u2028xrlo\\u202e\""},
        {"x ##vso[y", "\"x \\u0023#vso[y\""},
    };
    for (const auto& row : rows) {
        std::string out;
        appendJsonString(out, row.text);
        EXPECT_EQ(out, row.json);
    }
}

TEST(Escape, Xml) {
    for (const std::string& text : {std::string("tab\tlf\ncr\r"), kC1, std::string("\xEF\xBF\xBD"),
                                    std::string("\xF4\x8F\xBF\xBF"), kSeparator}) {
        EXPECT_TRUE(isXmlWritable(text)) << text;
    }
    for (const std::string& text : {kEsc, std::string("nul\0", 4), kSurrogate, std::string("\xEF\xBF\xBE"),
                                    std::string("\xEF\xBF\xBF"), std::string("latin \xE9")}) {
        EXPECT_FALSE(isXmlWritable(text)) << text;
    }
    for (const char* name : {"Settings", "a.b-c_1:d",
                             "Gr\xC3\xB6\xC3\x9F"
                             "e",
                             "\xF0\x90\x80\x80", "a\xC2\xB7"}) {
        EXPECT_TRUE(isXmlName(name)) << name;
    }
    for (const char* name : {"", "1a", "-a", "a b",
                             "a\xC3\x97"
                             "b",
                             "\xCC\x80"
                             "a",
                             "a\xC2\x85"}) {
        EXPECT_FALSE(isXmlName(name)) << name;
    }
    const struct {
        std::string markup;
        std::string safe; // "" when nothing changes
    } rows[] = {
        {"<Macro>a\tb\nc</Macro>", ""},
        {"<Macro>" + kEsc + "</Macro>", "<Macro>a\xEF\xBF\xBD[31mb</Macro>"},
        {"<X" + kC1 + "/>", "<Xcsi\xEF\xBF\xBD"
                            "2J/>"},
        {"<!-- cr\r del\x7F bad \xFF -->", "<!-- cr\xEF\xBF\xBD del\xEF\xBF\xBD bad \xEF\xBF\xBD -->"},
        {"<M>a\n \t::error::x</M>", "<M>a\xEF\xBF\xBD \t::error::x</M>"},
        {"<M>a\nb::c ##vso[d</M>", "<M>a\nb::c \xEF\xBF\xBD#vso[d</M>"},
    };
    for (const auto& row : rows) {
        std::string markup = row.markup;
        EXPECT_EQ(replaceUnsafeXml(markup), !row.safe.empty()) << row.markup;
        EXPECT_EQ(markup, row.safe.empty() ? row.markup : row.safe);
    }
}

} // namespace
