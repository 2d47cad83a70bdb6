// The three machine-readable forms of a finding.
#include "findings.h"
#include "escape.h"
#include "json.h"

#include <koltSettings/settings/diagnostics.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <ostream>

namespace kolt::tool {

std::string gnuLine(const Finding& f) {
    std::string out = escapeForLine(f.file, true);
    if (f.line > 0) {
        out += ":" + std::to_string(f.line) + ":" + std::to_string(f.column);
    }
    out += ": error: " + escapeForLine(f.message);
    if (!f.hint.empty()) {
        out += "; " + escapeForLine(f.hint);
    }
    out += " [" + f.code + "]";
    if (!f.path.empty()) {
        out += " at " + escapeForLine(f.path);
    }
    return out;
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
    json.key("severity").value("error");
    json.key("message").value(f.message);
    if (!f.hint.empty()) {
        json.key("hint").value(f.hint);
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
    auto rule = [&](const char* id, const char* summary) {
        _ruleIds.emplace_back(id);
        json.beginObject();
        json.key("id").value(id);
        json.key("shortDescription").beginObject().key("text").value(summary).endObject();
        json.key("defaultConfiguration").beginObject().key("level").value("error").endObject();
        json.endObject();
    };
    for (int i = 0; i < koltDiagnosticCodeCount; ++i) {
        const auto code = static_cast<koltDiagnosticCode>(i);
        rule(koltDiagnosticCodeName(code), koltDiagnosticCodeSummary(code));
    }
    for (const ToolCode* c : kToolCodes) {
        rule(c->code, c->summary);
    }
    json.endArray().endObject().endObject(); // rules, driver, tool
    json.key("columnKind").value("unicodeCodePoints");
    json.key("results").beginArray();
    json.flushTo(_out);
}

void SarifLog::add(const Finding& f) {
    JsonWriter& json = _json;
    json.beginObject();
    json.key("ruleId").value(f.code);
    for (std::size_t i = 0; i < _ruleIds.size(); ++i) {
        if (_ruleIds[i] == f.code) {
            json.key("ruleIndex").value(static_cast<std::int64_t>(i));
        }
    }
    json.key("level").value("error");
    json.key("message").beginObject().key("text").value(f.hint.empty() ? f.message
                                                                       : f.message + "; " + f.hint);
    json.endObject();
    json.key("locations").beginArray().beginObject();
    json.key("physicalLocation").beginObject();
    json.key("artifactLocation").beginObject().key("uri").value(uriOf(f.file)).endObject();
    if (f.line > 0) {
        json.key("region").beginObject().key("startLine").value(f.line);
        if (f.column > 0) {
            json.key("startColumn").value(f.column);
        }
        json.endObject();
    }
    json.endObject(); // physicalLocation
    if (!f.path.empty()) {
        json.key("logicalLocations").beginArray().beginObject();
        json.key("fullyQualifiedName").value(f.path).key("kind").value("element");
        json.endObject().endArray();
    }
    json.endObject().endArray(); // location, locations
    json.endObject();
    json.flushTo(_out);
}

void SarifLog::finish() {
    _json.endArray().endObject().endArray().endObject(); // results, run, runs, log
    _json.flushTo(_out);
    _out << '\n';
}

namespace {

// Whether the parser reads these bytes as UTF-8: no byte order mark of UTF-16 or UTF-32,
// no NUL among the first bytes, and no declaration of Latin-1 (the encodings it converts).
bool readAsUtf8(const std::string& bytes) {
    const std::string head = bytes.substr(0, 4);
    if (head.compare(0, 2, "\xFE\xFF") == 0 || head.compare(0, 2, "\xFF\xFE") == 0 ||
        head.find('\0') != std::string::npos) {
        return false;
    }
    const std::size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (bytes.compare(start, 5, "<?xml") != 0) {
        return true;
    }
    std::string declaration = bytes.substr(start, bytes.find("?>", start) - start);
    for (char& c : declaration) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const char* latin1 : {"iso-8859-1", "iso_8859-1", "latin1"}) {
        if (declaration.find(latin1) != std::string::npos) {
            return false;
        }
    }
    return true;
}

} // namespace

void SourcePositions::read() {
    _read = true;
    std::ifstream in(_path, std::ios::binary);
    _bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    _utf8 = readAsUtf8(_bytes);
    _lineStarts.push_back(0);
    for (std::size_t i = 0; i < _bytes.size(); ++i) {
        if (_bytes[i] == '\n') {
            _lineStarts.push_back(i + 1);
        }
    }
}

bool SourcePositions::convert(int& line, int& column) {
    if (!_read) {
        read();
    }
    if (!_utf8 || line < 1 || column < 1) {
        line = column = 0;
        return false;
    }
    if (static_cast<std::size_t>(line) > _lineStarts.size()) {
        return true; // the file changed since it was loaded: leave the position as it is
    }
    const std::size_t start = _lineStarts[static_cast<std::size_t>(line) - 1];
    const std::size_t offset = start + static_cast<std::size_t>(column) - 1;
    // Editors do not count a byte order mark.
    const bool mark = line == 1 && _bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 && offset >= 3;
    const std::size_t end = std::min(offset, _bytes.size());
    int characters = 1;
    for (std::size_t i = mark ? 3 : start; i < end; ++i) {
        characters += (static_cast<unsigned char>(_bytes[i]) & 0xC0) != 0x80 ? 1 : 0;
    }
    column = characters + static_cast<int>(offset - end); // bytes past the end, if the file shrank
    return true;
}

} // namespace kolt::tool
