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

TEST(LspFeatures, DiagnosticsCoverWhatTheyAreAbout) {
    const std::pair<const char*, const char*> rows[] = {
        {"<S><OptionLists><Global_OptionLists><Macro2Expnd/></Global_OptionLists></OptionLists></S>",
         "KS007 'Macro2Expnd'"},
        {"<S><ReportSet><Report MessageName='m' Activate='True'/></ReportSet></S>",
         "KS011 'Activate='True''"},
        {"<S><RunType Bogus='1'/></S>", "KS006 'Bogus'"},
        {"<S>&nbsp;&#0;</S>", "KX005 '&nbsp;' KX008 '&#0;'"},
        {"<S><A></B></S>", "KT003 'B' KX002 'B'"},
        {"<S><A>\n", "KT003 'A' KX002 'A'"},
        {"<S><OptionLists><Global_OptionLists><Macro2Expand><Macro>A</Macro>\n<Macro>A</Macro>"
         "</Macro2Expand></Global_OptionLists></OptionLists></S>",
         "KW006? 'Macro' -> 'Macro'"},
        {"<?xml version='1.0' encoding='ISO-8859-1'?><S><Bogus/></S>", "KS001 ''"}, // converted: no place
    };
    for (const auto& [xml, expected] : rows) {
        EXPECT_EQ(diagnosed(xml), expected) << xml;
    }
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

#define LISTS(content) "<S><OptionLists>" content "</OptionLists></S>"
#define GLOBAL(content) LISTS("<Global_OptionLists>" content "</Global_OptionLists>")

// `text` with every `from` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
    return text;
}

TEST(LspFeatures, QuickFixesMakeTheirDiagnosticGo) {
    struct Row {
        std::string xml;
        const char* title;
        std::string fixed; // "disabled": offered, but only to say what to do
    };
    const auto swap = [](const std::string& xml, const char* title, const char* from, const char* to) {
        return Row{xml, title, replaced(xml, from, to)};
    };
    const std::string uses =
        LISTS("<EntityDetection_OptionLists><EntityDetection_Classess><ClassDetection>"
              "<ClassName>C</ClassName><ClassUseSet><ClassUse use='Nw' prohibited='true'/>"
              "</ClassUseSet></ClassDetection></EntityDetection_Classess>"
              "</EntityDetection_OptionLists>");
    const Row rows[] = {
        swap(GLOBAL("<Macro2Expnd><Macro>A</Macro></Macro2Expnd>"), "Rename 'Macro2Expnd' to 'Macro2Expand'",
             "Macro2Expnd", "Macro2Expand"),
        swap("<S><RunType TypeOfrun='Check'/></S>", "Rename 'TypeOfrun' to 'TypeOfRun'", "run=", "Run="),
        swap("<S><ReportSet><Report MessageName='m' Activate='True'/></ReportSet></S>",
             "Replace 'True' with 'true'", "True", "true"),
        swap(uses, "Replace 'Nw' with 'New'", "Nw", "New"),
        swap(uses, "Rename 'EntityDetection_Classess' to 'EntityDetection_Classes'", "Classess", "Classes"),
        swap(LISTS("<SuspiciousAlloc_OptionLists><SuspiciousAlloc_Methods><CallWithSpecificArg><"
                   "MethodOrFunctionSign>"
                   "f()</MethodOrFunctionSign><SpecificArg>3rd</SpecificArg></CallWithSpecificArg>"
                   "</SuspiciousAlloc_Methods></SuspiciousAlloc_OptionLists>"),
             "Replace '3rd' with '3'", "3rd", "3"),
        swap(GLOBAL("<Macro2Expand><Macro> A </Macro></Macro2Expand>"), "Replace ' A ' with 'A'", " A ", "A"),
        swap(GLOBAL("<Macro2Expand><Macro>&#233;t&#233;</Macro></Macro2Expand>"),
             "Replace '&#233;' with '\u00e9' and 1 more", "&#233;", "\u00e9"),
        {"<S>\n  <OptionLists>\n    <Various_OptionLists>\n      "
         "<Macro2Expand><Macro>A</Macro></Macro2Expand>\n"
         "    </Various_OptionLists>\n    <Global_OptionLists>\n    </Global_OptionLists>\n  "
         "</OptionLists>\n</S>",
         "Move 'Macro2Expand' into 'Global_OptionLists'",
         "<S>\n  <OptionLists>\n    <Various_OptionLists>\n    </Various_OptionLists>\n    "
         "<Global_OptionLists>\n"
         "      <Macro2Expand><Macro>A</Macro></Macro2Expand>\n    </Global_OptionLists>\n  "
         "</OptionLists>\n</S>"},
        {"<S>\n <OptionLists>\n  <Various_OptionLists>\n   <Macro2Expand>\n    <Macro>A</Macro>\n   "
         "</Macro2Expand>\n"
         "  </Various_OptionLists>\n </OptionLists>\n</S>",
         "Move 'Macro2Expand' into a new 'Global_OptionLists'",
         "<S>\n <OptionLists>\n  <Various_OptionLists>\n  </Various_OptionLists>\n  <Global_OptionLists>\n"
         "   <Macro2Expand>\n    <Macro>A</Macro>\n   </Macro2Expand>\n  </Global_OptionLists>\n "
         "</OptionLists>\n</S>"},
        {LISTS("<Macro2Expand><Macro>A</Macro></Macro2Expand>"),
         "Move 'Macro2Expand' into a new 'Global_OptionLists'",
         GLOBAL("<Macro2Expand><Macro>A</Macro></Macro2Expand>")},
        {LISTS("<RunType TypeOfRun='Check'/>"), "Move 'RunType' into the root element",
         "<S><OptionLists></OptionLists><RunType TypeOfRun='Check'/></S>"},
        {GLOBAL("<Macro2Expand><Call/></Macro2Expand>"),
         "Move 'Call' into 'LifeCycle_SafeMethodsForMCBU', 'LifeCycle_UntrustableForMCBU2', "
         "'LifeCycle_DeleteMethods', ...",
         "disabled"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(fixed(r.xml, r.title), r.fixed) << r.xml;
    }
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

TEST(LspFeatures, CompletionFollowsThePlaceInTheTree) {
    const std::pair<const char*, const char*> rows[] = {
        {"|", ""}, // not after "<"
        {"<|", "Settings"},
        {"<S><|</S>", "RunType ReportSet OptionLists"},
        {"<S><OptionLists><Global_OptionLists>\n <Mac|\n</Global_OptionLists>",
         "Macro2Expand MacroWithSemicolon"},
        {"<S><ReportSet><Report Activate=\"true\" |/>", "MessageName"},
        {"<S><ReportSet><Report Activate=\"|\"/>", "true false"},
        {"<S><ReportSet></|", "ReportSet"},
        {"<S><OptionLists><Various_OptionLists><ProhibitedCalls><Call><ClassName/><|",
         "MethodOrFunctionSign"},
        {"<S><OptionLists><LifeCycle_OptionLists><LifeCycle_SafeMethodsForMCBU><Call/><|", "Call"},
        {"<S><OptionLists><EntityDetection_OptionLists><EntityDetection_InterfacesX><InterfaceDetection>"
         "<InterfaceUseSet><InterfaceUse use=\"|\"",
         "Derivation MethodOrFunctionArgument DataMemberOrLocalVar CastInto IncludeOfHeader TIE "
         "StaticMember"},
    };
    for (const auto& [xml, expected] : rows) {
        EXPECT_EQ(offered(xml), expected) << xml;
    }
}

TEST(LspFeatures, SnippetsInsertWholeRecords) {
    const std::pair<const char*, const char*> rows[] = {
        {"<S><OptionLists><Various_OptionLists><ProhibitedCalls>\n    <|",
         "Call>\n        <MethodOrFunctionSign>$1</MethodOrFunctionSign>\n    </Call>"},
        {"<S><OptionLists><EntityDetection_OptionLists><EntityDetection_Classes>\n\t<Cl|",
         "ClassDetection>\n\t\t<ClassName>$1</ClassName>\n\t\t<ClassUseSet>\n\t\t\t<ClassUse "
         "use=\"${2|Derivation,"
         "MethodOrFunctionArgument,DataMemberOrLocalVar,CastInto,IncludeOfHeader,New,StaticMember|}\" "
         "prohibited=\"${3|true,false|}\"/>\n\t\t</ClassUseSet>\n\t</ClassDetection>"},
        {"<S><ReportSet><Report |", "MessageName=\"$1\" Activate=\"${1|true,false|}\""},
    };
    for (const auto& [xml, expected] : rows) {
        EXPECT_EQ(offered(xml, true), expected) << xml;
    }
}

// What the hover at the '|' covers and the first line it shows, or "none".
std::string hovered(const std::string& marked) {
    const auto [text, at] = cursor(marked);
    const auto h = kolt::lsp::Features().hover({"file:///h", 1, text}, at);
    return h ? covered(text, h->span) + " " + h->markdown.substr(0, h->markdown.find('\n')) : "none";
}

TEST(LspFeatures, HoverDescribesFromTheVocabulary) {
    const std::pair<const char*, const char*> rows[] = {
        {"<S><OptionLists><Global_OptionLists><Macro2Ex|pand>",
         "'Macro2Expand' **Macro2Expand** in `Global_OptionLists`"},
        {"<S><OptionLists><Global_OptionLists><Macro2Expand></Macro2Ex|pand>",
         "'Macro2Expand' **Macro2Expand** in `Global_OptionLists`"},
        {"<S><OptionLists><EntityDetection_OptionLists><EntityDetection_Cl|assesX>",
         "'EntityDetection_ClassesX' **EntityDetection_ClassesX**, a list of `EntityDetection_Classes` "
         "registered "
         "under its own name"},
        {"<S><ReportSet><Report Acti|vate=\"true\"/>",
         "'Activate' **Activate** on `Report`: `true` or `false`"},
        {"<S><ReportSet><Report Activate=\"tr|ue\"/>", "'true' **true**, a value of `Activate`"},
        {"<S><ReportSet><Report Activate=\"yes|\"/>", "'yes' **Activate** on `Report`: `true` or `false`"},
        {"<S><OptionLists><EntityDetection_OptionLists><EntityDetection_Classes><ClassDetection><ClassUseSet>"
         "<ClassUse use=\"N|ew\"/>",
         "'New' **New**, a value of `use`"},
        {"<S><Bog|us/>", "none"},
    };
    for (const auto& [xml, expected] : rows) {
        EXPECT_EQ(hovered(xml), expected) << xml;
    }
}

} // namespace
