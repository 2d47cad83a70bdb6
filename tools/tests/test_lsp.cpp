// The language server's layers without a pipe: positions and edits, and the features on
// small documents ('|' marks the cursor).
#include "lsp/documents.h"
#include "lsp/features.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using kolt::lsp::Encoding;
using kolt::lsp::Position;

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

TEST(LspPositions, EditsApplyInTurn) {
    kolt::lsp::Document d("file:///x", 1, kText);
    d.change(kolt::lsp::Range{{0, 1}, {0, 4}}, "b", Encoding::Utf16); // é and the emoji
    d.change(kolt::lsp::Range{{1, 3}, {0, 0}}, "!", Encoding::Utf16); // end before start: empty
    EXPECT_EQ(d.text(), "ab\xFFz\r\nsec!ond\rthird\n");
    d.change(std::nullopt, "new", Encoding::Utf16);
    EXPECT_EQ(d.text(), "new");
}

// The document without its '|', and where the '|' was.
std::pair<std::string, std::size_t> cursor(std::string text) {
    const std::size_t at = text.find('|');
    text.erase(at, 1);
    return {text, at};
}

std::vector<std::string> labels(const std::string& marked) {
    const auto [text, at] = cursor(marked);
    std::vector<std::string> out;
    for (const auto& item : kolt::lsp::Features().completion({"file:///c", 1, text}, at).items) {
        out.push_back(item.label);
    }
    return out;
}

TEST(LspFeatures, CompletionFollowsThePlaceInTheTree) {
    using L = std::vector<std::string>;
    EXPECT_EQ(labels("|"), L{}); // not after "<"
    EXPECT_EQ(labels("<|"), L{"Settings"});
    EXPECT_EQ(labels("<S><|</S>"), (L{"RunType", "ReportSet", "OptionLists"}));
    EXPECT_EQ(labels("<S><OptionLists><Global_OptionLists>\n <Mac|\n</Global_OptionLists>"),
              (L{"Macro2Expand", "MacroWithSemicolon"}));
    EXPECT_EQ(labels("<S><ReportSet><Report Activate=\"true\" |/>"), L{"MessageName"});
    EXPECT_EQ(labels("<S><ReportSet><Report Activate=\"|\"/>"), (L{"true", "false"}));
    EXPECT_EQ(labels("<S><ReportSet></|"), L{"ReportSet"});
}

const char* const kMisspelt =
    "<Settings><OptionLists><Global_OptionLists>\n"
    "<Macro2Expnd><Macro>A</Macro></Macro2Expnd>\n"
    "</Global_OptionLists></OptionLists>\n"
    "<ReportSet><Report MessageName=\"m\" Activate=\"True\"/></ReportSet></Settings>\n";

TEST(LspFeatures, DiagnosticsPointAtTheirSubjectAndQuickFixesRename) {
    const std::string text = kMisspelt;
    const kolt::lsp::Snapshot s{"file:///m", 1, text};
    kolt::lsp::Features features;
    const auto found = features.diagnostics(s);
    ASSERT_EQ(found.size(), 2u);
    const auto at = [&](const kolt::lsp::Diagnostic& d) {
        return text.substr(d.span.begin, d.span.end - d.span.begin);
    };
    EXPECT_EQ(found[0].code + " " + at(found[0]) + ": " + found[0].hint,
              "KS007 Macro2Expnd: did you mean 'Macro2Expand'?");
    EXPECT_EQ(found[1].code + " " + at(found[1]), "KS011 True");

    // Every fix at once, from the end of the text backwards.
    std::vector<kolt::lsp::TextEdit> edits;
    for (const auto& action : features.codeActions(s, {}, found)) {
        edits.insert(edits.end(), action.edits.begin(), action.edits.end());
    }
    EXPECT_EQ(edits.size(), 3u); // the element's two tags and the value
    std::sort(edits.begin(), edits.end(),
              [](const auto& a, const auto& b) { return a.span.begin > b.span.begin; });
    std::string fixed = text;
    for (const auto& e : edits) {
        fixed.replace(e.span.begin, e.span.end - e.span.begin, e.newText);
    }
    EXPECT_EQ(features.diagnostics({"file:///m", 2, fixed}).size(), 0u) << fixed;

    const auto broken = features.diagnostics({"file:///b", 1, "<Settings><A></Settings>"});
    ASSERT_EQ(broken.size(), 1u);
    EXPECT_EQ(broken[0].code, "KT003");
}

} // namespace
