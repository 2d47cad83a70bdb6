// The check of a document: the strict parse, the load with an observer, the warnings, and
// every finding placed.
#include "check.h"
#include "hints.h"
#include "source.h"
#include "warnings.h"
#include "wellformed.h"

#include <koltSettings/koltSettings.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <unordered_set>

namespace kolt::tool {

namespace {

using Code = koltDiagnosticCode;

// rzStderr belongs to the process. While any thread checks, it writes to the stream
// below: the bytes a checking thread writes go to that thread's check, other threads'
// to the target rzStderr had before.
thread_local std::string* tCaptured = nullptr;

class Switchboard : public std::streambuf {
public:
    std::ostream* previous = nullptr;

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        if (tCaptured) {
            tCaptured->append(s, static_cast<std::size_t>(n));
        } else if (previous) {
            previous->write(s, n);
        }
        return n;
    }
    int sync() override {
        if (!tCaptured && previous) {
            previous->flush();
        }
        return 0;
    }
};

struct Redirection {
    std::mutex mutex;
    int users = 0;
    Switchboard board;
    std::ostream stream{&board};
};

Redirection& redirection() {
    static Redirection r;
    return r;
}

// Sends what this thread writes on rzStderr to `into` while it lives.
class CaptureScope {
public:
    explicit CaptureScope(std::string& into) {
        Redirection& r = redirection();
        const std::lock_guard<std::mutex> lock(r.mutex);
        if (r.users++ == 0) {
            r.board.previous = rzStderr.Redirect(&r.stream);
        }
        tCaptured = &into;
    }
    ~CaptureScope() {
        tCaptured = nullptr;
        Redirection& r = redirection();
        const std::lock_guard<std::mutex> lock(r.mutex);
        if (--r.users == 0) {
            rzStderr.Redirect(r.board.previous);
        }
    }
    CaptureScope(const CaptureScope&) = delete;
    CaptureScope& operator=(const CaptureScope&) = delete;
};

// Diagnostics about an attribute's value: their span is the whole attribute.
bool isAboutValue(Code c) noexcept {
    return c == Code::TypeOfRunInvalid || c == Code::ReportTestFwInvalid ||
           c == Code::ReportActivateInvalid || c == Code::ProhibitedValueInvalid;
}

// Diagnostics that leave their record or rule out.
bool refusesEntry(Code c) noexcept {
    return c >= Code::CallWithSpecificArgNoSignature && c <= Code::InterfaceDetectionNoUse;
}

// Each loader diagnostic as a finding, made while its element is at hand.
class LoaderFindings : public koltDiagnosticObserver {
public:
    LoaderFindings(const Source& source, const std::string& name, std::string& captured,
                   std::vector<Finding>& out, std::size_t& order, std::unordered_set<std::ptrdiff_t>& refused)
        : _source(source), _name(name), _captured(captured), _out(out), _order(order), _refused(refused) {}

    void onDiagnostic(const koltDiagnostic& d) override {
        Explanation e = explain(d);
        Finding& f = _out.emplace_back();
        f.code = d.codeName;
        f.file = _name;
        f.message = std::move(e.message);
        f.hint = std::move(e.hint);
        f.subject = d.subject;
        f.path = d.elementPath;
        f.legacy = d.message;
        f.printedPath = d.printedPath;
        f.written = std::move(_captured); // the record the loader has just written
        _captured.clear();
        f.order = _order++;
        if (refusesEntry(d.code)) {
            _refused.insert(d.node.GetOffset());
        }
        place(f, d, e);
    }

private:
    void place(Finding& f, const koltDiagnostic& d, const Explanation& e) {
        const std::ptrdiff_t element = d.node.GetOffset();
        if (!_source.utf8() || element < 0) {
            return;
        }
        f.hasSpan = true;
        f.begin = static_cast<std::size_t>(element);
        f.end = f.begin + std::strlen(d.node.GetTag());
        const bool aboutElement = d.code == Code::UnknownTopLevelElement || d.code == Code::UnexpectedNode;
        if (aboutElement && !e.replacement.empty()) {
            f.suggestions.push_back(renameElement(_source, {f.begin, f.end}, e.replacement));
        }
        for (const std::string& p : e.places) {
            f.suggestions.push_back({Suggestion::Kind::MoveInto, p, {}});
        }
        if (d.code == Code::ClassUseRefused || d.code == Code::InterfaceUseRefused) {
            if (!e.replacement.empty()) { // the use is not where the loader places it
                f.suggestions.push_back({Suggestion::Kind::Replace, e.replacement, {}});
            }
            return;
        }
        if (d.attributeLine <= 0) {
            return;
        }
        const std::size_t at = _source.loaderOffset(d.attributeLine, d.attributeColumn);
        const auto attribute = _source.attribute(at);
        f.begin = at;
        f.end = at + (isAboutValue(d.code) ? 0 : std::strlen(d.subject));
        if (!attribute) {
            return;
        }
        if (isAboutValue(d.code)) {
            f.end = attribute->whole.end;
            if (!e.replacement.empty()) {
                f.suggestions.push_back({Suggestion::Kind::Replace,
                                         e.replacement,
                                         {{attribute->value.begin, attribute->value.end, e.replacement}}});
            }
        } else if (d.code == Code::UnexpectedAttribute && !e.replacement.empty()) {
            f.suggestions.push_back(
                {Suggestion::Kind::Rename, e.replacement, {{f.begin, f.end, e.replacement}}});
        }
    }

    const Source& _source;
    const std::string& _name;
    std::string& _captured;
    std::vector<Finding>& _out;
    std::size_t& _order;
    std::unordered_set<std::ptrdiff_t>& _refused;
};

// Detaches the observer however the load ends.
struct ObserverScope {
    koltSettingManager& manager;
    ObserverScope(koltSettingManager& m, koltDiagnosticObserver& o) : manager(m) {
        m.setDiagnosticObserver(&o);
    }
    ~ObserverScope() { manager.setDiagnosticObserver(nullptr); }
    ObserverScope(const ObserverScope&) = delete;
    ObserverScope& operator=(const ObserverScope&) = delete;
};

} // namespace

struct Checker::State {
    koltSettingManager manager;
    WarningMemory memory;
    std::size_t order = 0;
};

Checker::Checker() : _state(std::make_unique<State>()) {}
Checker::~Checker() = default;

const koltSettingManager& Checker::manager() const noexcept {
    return _state->manager;
}

std::vector<Finding> Checker::check(std::string_view document, const std::string& name) {
    State& s = *_state;
    const Source source(document);
    std::vector<Finding> found;
    auto add = [&](const ToolCode& code, std::string message, int line, int column) -> Finding& {
        Finding& f = found.emplace_back();
        f.code = code.code;
        f.file = name;
        f.message = std::move(message);
        f.line = line;
        f.column = column;
        f.order = s.order++;
        return f;
    };
    for (XmlViolation& v : checkWellFormed(document, name)) {
        Finding& f = add(*v.code, std::move(v.description), v.line, v.column);
        if (source.utf8() && v.line > 0) {
            f.hasSpan = true;
            f.begin = f.end = source.offset(v.line, v.column);
        }
    }

    WarningScan warnings(source, name, s.manager, s.memory); // before the load changes the manager
    std::unordered_set<std::ptrdiff_t> refused;
    {
        std::string captured;
        LoaderFindings observer(source, name, captured, found, s.order, refused);
        const ObserverScope observing(s.manager, observer);
        const CaptureScope capturing(captured);
        (void)s.manager.loadFromXmlMemory(document.data(), document.size(), name.c_str());
    }
    const koltLoadReport& report = s.manager.lastLoadReport();
    if (report.outcome == koltLoadReport::OutOfMemory) {
        add(kOutOfMemory, "memory ran out while loading; what was read before stays loaded", 0, 0);
    } else if (report.outcome == koltLoadReport::Malformed) {
        Finding& f = add(kMalformed,
                         "the checker's parser cannot read the file (" + report.parseError +
                             "): the checker reads nothing from it",
                         0, 0);
        if (source.utf8() && report.parseErrorLine > 0) {
            f.hasSpan = true;
            f.begin = f.end = source.loaderOffset(report.parseErrorLine, report.parseErrorColumn);
        }
    } else {
        const std::size_t first = found.size();
        warnings.finish(s.manager, refused, found);
        for (std::size_t i = first; i < found.size(); ++i) {
            found[i].order = s.order++;
        }
    }

    // Positions, in increasing order of offsets: each is found from the one before.
    std::vector<Finding*> unplaced;
    for (Finding& f : found) {
        if (f.hasSpan && f.line == 0) {
            unplaced.push_back(&f);
        }
    }
    std::sort(unplaced.begin(), unplaced.end(),
              [](const Finding* a, const Finding* b) { return a->begin < b->begin; });
    for (Finding* f : unplaced) {
        const Source::Position p = source.position(f->begin);
        f->line = p.line;
        f->column = p.column;
    }
    for (Finding& f : found) {
        if (f.hasSpan && f.end > f.begin && f.line > 0) {
            const Source::Position p = source.position(f.end);
            f.endLine = p.line;
            f.endColumn = p.column;
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const Finding& a, const Finding& b) {
        if ((a.line > 0) != (b.line > 0)) {
            return a.line == 0;
        }
        return a.line != b.line       ? a.line < b.line
               : a.column != b.column ? a.column < b.column
                                      : a.order < b.order;
    });
    return found;
}

std::vector<Finding> checkDocument(std::string_view document, const std::string& name) {
    Checker checker;
    return checker.check(document, name);
}

} // namespace kolt::tool
