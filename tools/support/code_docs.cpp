// The codes' explanations, read from the settings guide built into the program.
#include "code_docs.h"
#include "kolt_guide.h"
#include "warnings.h"
#include "wellformed.h"

#include <koltSettings/settings/diagnostics.h>

#include <string_view>

namespace kolt::tool {

namespace {

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

bool blank(std::string_view line) {
    return line.find_first_not_of(' ') == std::string_view::npos;
}

// The guide's anchor of a code: <a id="ks001"></a>.
std::string anchor(const std::string& code) {
    return "<a id=\"" + lower(code) + "\"></a>";
}

// A line of Markdown as plain text: without anchors and the backticks of code spans.
std::string plainLine(std::string_view line) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line.compare(i, 7, "<a id=\"") == 0) {
            const std::size_t end = line.find("</a>", i);
            if (end != std::string_view::npos) {
                i = end + 3;
                continue;
            }
        }
        if (line[i] != '`') {
            out += line[i];
        }
    }
    return out;
}

// Markdown as plain text: the lines of a paragraph or list item joined, paragraphs apart.
std::string plain(const std::vector<std::string_view>& lines) {
    std::string out;
    std::string separator;
    for (const std::string_view line : lines) {
        if (blank(line)) {
            separator = out.empty() ? "" : "\n\n";
            continue;
        }
        if (separator.empty() && !out.empty()) {
            separator = line.substr(0, 2) == "- " ? "\n" : " ";
        }
        out += separator + plainLine(line.substr(line.find_first_not_of(' ')));
        separator.clear();
    }
    return out;
}

std::string joined(const std::vector<std::string_view>& lines) {
    std::string out;
    for (const std::string_view line : lines) {
        out.append(line).append("\n");
    }
    return out;
}

// The lines after `heading` up to the next heading, without blank lines at either end.
std::vector<std::string_view> body(const std::vector<std::string_view>& lines, std::size_t heading) {
    std::size_t end = heading + 1;
    while (end < lines.size() && lines[end].substr(0, 1) != "#") {
        ++end;
    }
    std::size_t begin = heading + 1;
    while (begin < end && blank(lines[begin])) {
        ++begin;
    }
    while (end > begin && blank(lines[end - 1])) {
        --end;
    }
    return {lines.begin() + static_cast<std::ptrdiff_t>(begin),
            lines.begin() + static_cast<std::ptrdiff_t>(end)};
}

std::vector<std::string_view> firstParagraph(const std::vector<std::string_view>& lines) {
    std::vector<std::string_view> out;
    for (const std::string_view line : lines) {
        if (blank(line) || line.substr(0, 1) == "|") {
            break;
        }
        out.push_back(line);
    }
    return out;
}

// A section `### <a id="ks001"></a>KS001: summary`, or a row `| <a id="kx001"></a>KX001 |
// summary... | fix |` of a table whose section opens with what the codes share.
void explain(CodeDoc& doc, const std::vector<std::string_view>& lines) {
    const std::string heading = "### " + anchor(doc.code) + doc.code + ": " + doc.summary;
    const std::string row = "| " + anchor(doc.code) + doc.code + " | ";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == heading) {
            const auto section = body(lines, i);
            doc.description = plain(firstParagraph(section));
            doc.markdown = joined(section);
            doc.text = plain(section);
            return;
        }
        if (lines[i].substr(0, row.size()) != row || lines[i].substr(lines[i].size() - 2) != " |") {
            continue;
        }
        const std::string_view cells = lines[i].substr(row.size(), lines[i].size() - row.size() - 2);
        const std::size_t bar = cells.find(" | ");
        if (bar == std::string_view::npos || cells.find(" | ", bar + 1) != std::string_view::npos ||
            cells.substr(0, doc.summary.size()) != doc.summary) {
            return;
        }
        std::size_t top = i;
        while (top > 0 && lines[top].substr(0, 1) != "#") {
            --top;
        }
        std::string meaning = std::string(cells.substr(0, bar)) + ".";
        if (meaning[0] >= 'a' && meaning[0] <= 'z') {
            meaning[0] = static_cast<char>(meaning[0] - 'a' + 'A');
        }
        const std::string fix = "Fix: " + std::string(cells.substr(bar + 3)) + ".";
        std::vector<std::string_view> explanation{meaning, "", fix, ""};
        const std::vector<std::string_view> shared = firstParagraph(body(lines, top));
        explanation.insert(explanation.end(), shared.begin(), shared.end());
        doc.description = plain({meaning});
        doc.markdown = joined(explanation);
        doc.text = plain(explanation);
        return;
    }
}

std::vector<CodeDoc> readGuide() {
    std::string base = kDocsUrl;
    if (base.empty()) {
        base = "file://" + uriPath(std::string(kGuideInstallDir) + "/");
    }
    std::vector<CodeDoc> docs;
    auto add = [&](const char* code, const char* summary, Severity level) {
        CodeDoc& doc = docs.emplace_back();
        doc.code = code;
        doc.summary = summary;
        doc.level = level;
        doc.uri = base + "settings-guide.md#" + lower(code);
    };
    for (int i = 0; i < koltDiagnosticCodeCount; ++i) {
        const auto code = static_cast<koltDiagnosticCode>(i);
        add(koltDiagnosticCodeName(code), koltDiagnosticCodeSummary(code), Severity::Error);
    }
    auto family = [&](const auto& codes, Severity level) {
        for (const ToolCode* c : codes) {
            add(c->code, c->summary, level);
        }
    };
    family(kToolCodes, Severity::Error);
    family(kWellFormedCodes, Severity::Error);
    family(kWarningCodes, Severity::Warning);
    const std::vector<std::string_view> lines = linesOf(kGuideDiagnostics);
    for (CodeDoc& doc : docs) {
        explain(doc, lines);
    }
    return docs;
}

} // namespace

const std::vector<CodeDoc>& codeDocs() {
    static const std::vector<CodeDoc> docs = readGuide();
    return docs;
}

} // namespace kolt::tool
