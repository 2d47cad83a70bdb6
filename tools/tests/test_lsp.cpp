// The language server's layers without a pipe: positions and edits, and the features on
// the small documents of lsp.cases.
#include "golden_cases.h"
#include "lsp/documents.h"
#include "lsp/features.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using kolt::lsp::Encoding;
using kolt::lsp::Position;
using kolt::test::GoldenSection;

// 'a', 'é' (2 bytes), an emoji (4 bytes, 2 UTF-16 units), a byte that is no UTF-8, 'z';
// then lines ended by "\r\n", "\r" and "\n".
const std::string kText = "a\xC3\xA9\xF0\x9F\x98\x80\xFFz\r\nsecond\rthird\n";

TEST(LspPositions, EveryEncodingLineEndAndClamp) {
    const kolt::lsp::LineIndex lines(kText);
    struct Row {
        Position p;
        Encoding e;
        std::size_t offset;
        bool canonical; // position(offset) gives p back
    };
    const Row rows[] = {
        {{0, 2}, Encoding::Utf16, 3, true},   {{0, 3}, Encoding::Utf16, 3, false}, // inside the pair
        {{0, 4}, Encoding::Utf16, 7, true},   {{0, 5}, Encoding::Utf16, 8, true},  // the stray byte
        {{0, 6}, Encoding::Utf16, 9, true},   {{0, 99}, Encoding::Utf16, 9, false},
        {{0, 3}, Encoding::Utf8, 3, true},    {{0, 4}, Encoding::Utf8, 3, false}, // inside the emoji
        {{0, 3}, Encoding::Utf32, 7, true},   {{1, 0}, Encoding::Utf16, 11, true},
        {{1, 9}, Encoding::Utf16, 17, false}, {{2, 0}, Encoding::Utf16, 18, true}, // after a lone "\r"
        {{3, 0}, Encoding::Utf16, 24, true},  {{9, 9}, Encoding::Utf16, 24, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.p.line << ":" << r.p.character << " encoding " << int(r.e));
        EXPECT_EQ(lines.offset(kText, r.p, r.e), r.offset);
        if (r.canonical) {
            EXPECT_EQ(lines.position(kText, r.offset, r.e), r.p);
        }
    }
    EXPECT_EQ(lines.position(kText, 10, Encoding::Utf16), (Position{0, 6})); // between "\r" and "\n"
}

// The document without its '|', and where the '|' was.
std::pair<std::string, std::size_t> cursor(std::string text) {
    const std::size_t at = text.find('|');
    text.erase(at, 1);
    return {text, at};
}

std::string covered(const std::string& text, kolt::lsp::Span s) {
    return "'" + text.substr(s.begin, s.end - s.begin) + "'";
}

// Each diagnostic as its code ("?" after a warning's) and the text its range covers;
// related places after "->".
std::string diagnosed(const std::string& text) {
    std::string out;
    for (const auto& d : kolt::lsp::Features().diagnostics({"file:///d", 1, text})) {
        out += (out.empty() ? "" : " ") + d.code + (d.severity == kolt::lsp::Severity::Warning ? "? " : " ") +
               covered(text, d.span);
        for (const auto& r : d.related) {
            out += " -> " + covered(text, r.span);
        }
    }
    return out;
}

// The document with the quick fix of `title` applied, or "disabled"; the fix must take
// its diagnostic away.
std::string fixed(const std::string& text, const std::string& title) {
    kolt::lsp::Features features;
    const kolt::lsp::Snapshot s{"file:///f", 1, text};
    for (const auto& a : features.codeActions(s, {0, text.size()}, {})) {
        if (a.title != title) {
            continue;
        }
        if (!a.disabled.empty()) {
            return "disabled";
        }
        std::string out = text;
        auto edits = a.edits;
        std::sort(edits.begin(), edits.end(),
                  [](const auto& x, const auto& y) { return x.span.begin > y.span.begin; });
        for (const auto& e : edits) {
            out.replace(e.span.begin, e.span.end - e.span.begin, e.newText);
        }
        for (const auto& d : features.diagnostics({"file:///f", 2, out})) {
            EXPECT_NE(d.code, a.diagnostics.at(0).code) << out; // fixed
        }
        return out;
    }
    return "no such action";
}

TEST(LspFeatures, QuickFixesForDiagnosticsHandedBackOnTheirLine) {
    const std::string text = "<S>\n<RunType TypeOfrun='Check'/></S>";
    kolt::lsp::Diagnostic shown;
    shown.code = "KS006";
    shown.span = {5, 5}; // some clients hand columns back in other units
    kolt::lsp::Features features;
    EXPECT_EQ(features.codeActions({"file:///f", 1, text}, {0, 0}, {shown}).size(), 1u);
    EXPECT_EQ(features.codeActions({"file:///f", 1, text}, {0, 0}, {}).size(), 0u);
}

// The labels offered at the '|', or with `snippets` the text each inserts.
std::string offered(const std::string& marked, bool snippets = false) {
    const auto [text, at] = cursor(marked);
    kolt::lsp::Features features;
    features.setClientSupport({snippets});
    std::string out;
    for (const auto& item : features.completion({"file:///c", 1, text}, at).items) {
        out += (out.empty() ? "" : " ") + (snippets ? item.edit.newText : item.label);
    }
    return out;
}

// What the hover at the '|' covers and the first line it shows, or "none".
std::string hovered(const std::string& marked) {
    const auto [text, at] = cursor(marked);
    const auto h = kolt::lsp::Features().hover({"file:///h", 1, text}, at);
    return h ? covered(text, h->span) + " " + h->markdown.substr(0, h->markdown.find('\n')) : "none";
}

// lsp.cases: each document, with what a feature gives at its '|' (or over it all).
TEST(LspFeatures, CasesOfEachFeature) {
    const auto cases = kolt::test::readCases(KOLT_TOOL_TESTS_DIR "/lsp.cases");
    ASSERT_GT(cases.size(), 40u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label());
        const std::string xml = c.expected("xml");
        const GoldenSection& feature = c.sections.at(1);
        const std::string expected =
            feature.text.substr(0, feature.text.size() - 1); // its last line feed dropped
        if (feature.kind == "diagnostics") {
            EXPECT_EQ(diagnosed(xml), expected);
        } else if (feature.kind.rfind("fix ", 0) == 0) {
            EXPECT_EQ(fixed(xml, feature.kind.substr(4)), expected == "disabled" ? expected : feature.text);
        } else if (feature.kind == "completion" || feature.kind == "snippets") {
            EXPECT_EQ(offered(xml, feature.kind == "snippets"), expected);
        } else {
            ASSERT_EQ(feature.kind, "hover");
            EXPECT_EQ(hovered(xml), expected);
        }
    }
}

} // namespace
