// The three machine-readable forms of a finding.
#include "findings.h"
#include "escape.h"
#include "json.h"
#include "warnings.h"
#include "wellformed.h"

#include <koltSettings/settings/diagnostics.h>

#include <ostream>

namespace kolt::tool {

const char* severityName(Severity s) noexcept {
    return s == Severity::Warning ? "warning" : "error";
}

namespace {

// "file:line:column: label: " with gcc's colours: the location bold, errors bold red,
// warnings bold magenta, notes bold cyan.
std::string lineStart(const std::string& file, int line, int column, const char* label, const char* sgr,
                      bool colour) {
    const auto paint = [colour](const char* code, const std::string& text) {
        return colour ? "\x1b[" + std::string(code) + "m" + text + "\x1b[0m" : text;
    };
    std::string location = escapeForLine(file, true);
    if (line > 0) {
        location += ":" + std::to_string(line) + ":" + std::to_string(column);
    }
    return paint("1", location + ":") + " " + paint(sgr, std::string(label) + ":") + " ";
}

} // namespace

std::string gnuLine(const Finding& f, bool colour) {
    const bool warning = f.severity == Severity::Warning;
    std::string out =
        lineStart(f.file, f.line, f.column, severityName(f.severity), warning ? "1;35" : "1;31", colour) +
        escapeForLine(f.message);
    if (!f.hint.empty()) {
        out += "; " + escapeForLine(f.hint);
    }
    out += " [" + f.code + "]";
    if (!f.path.empty()) {
        out += " at " + escapeForLine(f.path);
    }
    return out;
}

std::string noteLine(const Related& r, bool colour) {
    return lineStart(r.file, r.line, r.column, "note", "1;36", colour) + escapeForLine(r.message);
}

namespace {

void position(JsonWriter& json, const char* key, int value) {
    json.key(key);
    if (value > 0) {
        json.value(value);
    } else {
        json.null();
    }
}

// A URI reference for a file path: relative paths stay relative, absolute ones become
// file URIs; bytes outside the unreserved set are percent-encoded.
std::string uriOf(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = !path.empty() && path.front() == '/' ? "file://" : "";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (keep) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace

std::string jsonLine(const Finding& f) {
    JsonWriter json(false);
    json.beginObject();
    json.key("file").value(f.file);
    position(json, "line", f.line);
    position(json, "column", f.column);
    json.key("code").value(f.code);
    json.key("severity").value(severityName(f.severity));
    json.key("message").value(f.message);
    if (!f.hint.empty()) {
        json.key("hint").value(f.hint);
    }
    if (!f.subject.empty()) {
        json.key("subject").value(f.subject);
    }
    if (!f.suggestions.empty()) {
        static constexpr const char* kKinds[] = {"rename", "moveInto", "replace"};
        json.key("suggestions").beginArray();
        for (const Suggestion& s : f.suggestions) {
            json.beginObject().key("kind").value(kKinds[static_cast<int>(s.kind)]).key("text").value(s.text);
            json.endObject();
        }
        json.endArray();
    }
    if (!f.related.empty()) {
        json.key("related").beginArray();
        for (const Related& r : f.related) {
            json.beginObject().key("file").value(r.file);
            position(json, "line", r.line);
            position(json, "column", r.column);
            json.key("message").value(r.message).endObject();
        }
        json.endArray();
    }
    if (!f.legacy.empty()) {
        json.key("path").value(f.path);
        json.key("legacyMessage").value(f.legacy);
        json.key("printedPath").value(f.printedPath);
    }
    json.endObject();
    return json.take();
}

SarifLog::SarifLog(std::ostream& out, const std::string& version) : _out(out) {
    JsonWriter& json = _json;
    json.beginObject();
    json.key("$schema").value("https://json.schemastore.org/sarif-2.1.0.json");
    json.key("version").value("2.1.0");
    json.key("runs").beginArray().beginObject();
    json.key("tool").beginObject().key("driver").beginObject();
    json.key("name").value("kolt-settings");
    json.key("version").value(version);
    json.key("rules").beginArray();
    auto rule = [&](const char* id, const char* summary, Severity level) {
        _ruleIds.emplace_back(id);
        json.beginObject();
        json.key("id").value(id);
        json.key("shortDescription").beginObject().key("text").value(summary).endObject();
        json.key("defaultConfiguration").beginObject().key("level").value(severityName(level)).endObject();
        json.endObject();
    };
    for (int i = 0; i < koltDiagnosticCodeCount; ++i) {
        const auto code = static_cast<koltDiagnosticCode>(i);
        rule(koltDiagnosticCodeName(code), koltDiagnosticCodeSummary(code), Severity::Error);
    }
    for (const ToolCode* c : kToolCodes) {
        rule(c->code, c->summary, Severity::Error);
    }
    for (const ToolCode* c : kWellFormedCodes) {
        rule(c->code, c->summary, Severity::Error);
    }
    for (const ToolCode* c : kWarningCodes) {
        rule(c->code, c->summary, Severity::Warning);
    }
    json.endArray().endObject().endObject(); // rules, driver, tool
    json.key("columnKind").value("unicodeCodePoints");
    json.key("results").beginArray();
    json.flushTo(_out);
}

namespace {

void physicalLocation(JsonWriter& json, const std::string& file, int line, int column) {
    json.key("physicalLocation").beginObject();
    json.key("artifactLocation").beginObject().key("uri").value(uriOf(file)).endObject();
    if (line > 0) {
        json.key("region").beginObject().key("startLine").value(line);
        if (column > 0) {
            json.key("startColumn").value(column);
        }
        json.endObject();
    }
    json.endObject();
}

} // namespace

void SarifLog::add(const Finding& f) {
    JsonWriter& json = _json;
    json.beginObject();
    json.key("ruleId").value(f.code);
    for (std::size_t i = 0; i < _ruleIds.size(); ++i) {
        if (_ruleIds[i] == f.code) {
            json.key("ruleIndex").value(static_cast<std::int64_t>(i));
        }
    }
    json.key("level").value(severityName(f.severity));
    json.key("message").beginObject().key("text").value(f.hint.empty() ? f.message
                                                                       : f.message + "; " + f.hint);
    json.endObject();
    json.key("locations").beginArray().beginObject();
    physicalLocation(json, f.file, f.line, f.column);
    if (!f.path.empty()) {
        json.key("logicalLocations").beginArray().beginObject();
        json.key("fullyQualifiedName").value(f.path).key("kind").value("element");
        json.endObject().endArray();
    }
    json.endObject().endArray(); // location, locations
    if (!f.related.empty()) {
        json.key("relatedLocations").beginArray();
        for (std::size_t i = 0; i < f.related.size(); ++i) {
            json.beginObject().key("id").value(static_cast<std::int64_t>(i));
            physicalLocation(json, f.related[i].file, f.related[i].line, f.related[i].column);
            json.key("message").beginObject().key("text").value(f.related[i].message).endObject();
            json.endObject();
        }
        json.endArray();
    }
    json.endObject();
    json.flushTo(_out);
}

void SarifLog::finish() {
    _json.endArray().endObject().endArray().endObject(); // results, run, runs, log
    _json.flushTo(_out);
    _out << '\n';
}

} // namespace kolt::tool
