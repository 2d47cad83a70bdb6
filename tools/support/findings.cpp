// The three machine-readable forms of a finding.
#include "findings.h"
#include "code_docs.h"
#include "escape.h"
#include "json.h"

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <system_error>

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

} // namespace

std::string uriPath(std::string_view path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
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

namespace {

namespace fs = std::filesystem;

// An absolute path with the symbolic links of its folders resolved; the name itself is
// kept, so that a linked file keeps the name it was given.
std::string resolved(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path.empty() ? fs::path(".") : fs::path(path), error);
    if (error) {
        return path;
    }
    fs::path folder = fs::weakly_canonical(absolute.parent_path(), error);
    if (error) {
        folder = absolute.parent_path().lexically_normal();
    }
    return (folder / absolute.filename()).string();
}

// 64-bit FNV-1a over the fields, each ended by a byte no text holds.
class Hash {
public:
    Hash& add(std::string_view text) {
        for (const char c : text) {
            mix(static_cast<unsigned char>(c));
        }
        mix(0xff);
        return *this;
    }
    std::string hex() const {
        static const char digits[] = "0123456789abcdef";
        std::string out(16, '0');
        for (int i = 0; i < 16; ++i) {
            out[static_cast<std::size_t>(i)] = digits[(_value >> (60 - 4 * i)) & 15];
        }
        return out;
    }

private:
    void mix(unsigned char c) { _value = (_value ^ c) * 0x100000001b3ULL; }
    std::uint64_t _value = 0xcbf29ce484222325ULL;
};

// `text` without what moves when lines are inserted: the numbers of an element path's
// steps ("[2]"), or the line numbers in the parser's descriptions ("line 2").
std::string withoutNumbers(const std::string& text, bool path) {
    const std::string mark = path ? "[" : "line ";
    const auto digit = [&](std::size_t i) {
        return i < text.size() && text[i] >= '0' && text[i] <= '9';
    };
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t after = i + mark.size();
        if (text.compare(i, mark.size(), mark) != 0 || !digit(after)) {
            out += text[i++];
            continue;
        }
        while (digit(after)) {
            ++after;
        }
        out += path ? "" : mark;
        i = path && after < text.size() && text[after] == ']' ? after + 1 : after;
    }
    return out;
}

void text(JsonWriter& json, const char* key, const std::string& value) {
    json.key(key).beginObject().key("text").value(value).endObject();
}

} // namespace

const SarifLog::Location& SarifLog::locate(const std::string& file) {
    const auto known = _locations.find(file);
    if (known != _locations.end()) {
        return known->second;
    }
    const std::string path = resolved(file);
    Location where{"file://" + uriPath(path), false};
    if (path.compare(0, _root.size(), _root) == 0) {
        where = {uriPath(path.substr(_root.size())), true};
    }
    return _locations.emplace(file, std::move(where)).first->second;
}

SarifLog::SarifLog(std::ostream& out, const std::string& version, const std::string& sourceRoot)
    : _out(out), _root(resolved((fs::path(sourceRoot.empty() ? "." : sourceRoot) / "").string())) {
    JsonWriter& json = _json;
    json.beginObject();
    json.key("$schema").value("https://json.schemastore.org/sarif-2.1.0.json");
    json.key("version").value("2.1.0");
    json.key("runs").beginArray().beginObject();
    json.key("tool").beginObject().key("driver").beginObject();
    json.key("name").value("kolt-settings");
    json.key("version").value(version);
    json.key("rules").beginArray();
    for (const CodeDoc& doc : codeDocs()) {
        _ruleIndex.emplace(doc.code, _ruleIndex.size());
        json.beginObject().key("id").value(doc.code);
        text(json, "shortDescription", doc.summary);
        text(json, "fullDescription", doc.description);
        json.key("help").beginObject().key("text").value(doc.text).key("markdown").value(doc.markdown);
        json.endObject().key("helpUri").value(doc.uri);
        json.key("defaultConfiguration")
            .beginObject()
            .key("level")
            .value(severityName(doc.level))
            .endObject();
        json.endObject();
    }
    json.endArray().endObject().endObject(); // rules, driver, tool
    json.key("originalUriBaseIds").beginObject().key("SRCROOT").beginObject();
    json.key("uri").value("file://" + uriPath(_root));
    text(json, "description", "the folder of --source-root, which file URIs are relative to");
    json.endObject().endObject();
    json.key("columnKind").value("unicodeCodePoints");
    json.key("results").beginArray();
    json.flushTo(_out);
}

void SarifLog::physicalLocation(const std::string& file, int line, int column, int endLine, int endColumn) {
    JsonWriter& json = _json;
    const Location& where = locate(file);
    json.key("physicalLocation").beginObject();
    json.key("artifactLocation").beginObject().key("uri").value(where.uri);
    if (where.underRoot) {
        json.key("uriBaseId").value("SRCROOT");
    }
    // A file that cannot be read, or a position that cannot be given, is line 1.
    json.endObject().key("region").beginObject().key("startLine").value(line > 0 ? line : 1);
    if (line > 0 && column > 0) {
        json.key("startColumn").value(column);
    }
    if (line > 0 && endLine > 0) {
        json.key("endLine").value(endLine).key("endColumn").value(endColumn);
    }
    json.endObject().endObject(); // region, physicalLocation
}

void SarifLog::add(const Finding& f) {
    JsonWriter& json = _json;
    json.beginObject();
    json.key("ruleId").value(f.code);
    if (const auto rule = _ruleIndex.find(f.code); rule != _ruleIndex.end()) {
        json.key("ruleIndex").value(static_cast<std::int64_t>(rule->second));
    }
    json.key("level").value(severityName(f.severity));
    text(json, "message", f.hint.empty() ? f.message : f.message + "; " + f.hint);
    json.key("locations").beginArray().beginObject();
    physicalLocation(f.file, f.line, f.column, f.endLine, f.endColumn);
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
            physicalLocation(f.related[i].file, f.related[i].line, f.related[i].column, 0, 0);
            text(json, "message", f.related[i].message);
            json.endObject();
        }
        json.endArray();
    }
    // The same finding in a later version of the file: what does not move when lines are
    // inserted elsewhere, and its rank among the findings alike.
    Hash hash;
    hash.add(f.code).add(locate(f.file).uri).add(f.subject);
    hash.add(f.path.empty() ? withoutNumbers(f.message, false) : withoutNumbers(f.path, true));
    const std::string key = hash.hex();
    json.key("partialFingerprints").beginObject();
    json.key("findingHash/v1").value(key + ":" + std::to_string(++_seen[key])).endObject();
    json.endObject();
    json.flushTo(_out);
}

void SarifLog::finish(long leftOut, const std::string& why) {
    _json.endArray(); // results
    if (leftOut > 0) {
        _json.key("invocations").beginArray().beginObject().key("executionSuccessful").value(true);
        _json.key("toolExecutionNotifications").beginArray().beginObject().key("level").value("warning");
        text(_json, "message", std::to_string(leftOut) + " more results left out (" + why + ")");
        _json.endObject().endArray().endObject().endArray();
    }
    _json.endObject().endArray().endObject(); // run, runs, log
    _json.flushTo(_out);
    _out << '\n';
}

} // namespace kolt::tool
