// Message dispatch, the server's life cycle, and the scheduling of diagnostics.
#include "server.h"
#include "convert.h"
#include "documents.h"
#include "features.h"
#include "framing.h"

#include <map>
#include <new>

namespace kolt::lsp {

namespace {

// Reads a member of the client's capabilities, tolerating any shape: an odd capability
// is no reason to refuse a client.
const Json* path(const Json& root, std::initializer_list<const char*> keys) {
    const Json* at = &root;
    for (const char* key : keys) {
        if (!at->is_object()) {
            return nullptr;
        }
        const auto it = at->find(key);
        if (it == at->end()) {
            return nullptr;
        }
        at = &*it;
    }
    return at;
}

bool listHolds(const Json* list, const char* value) {
    if (!list || !list->is_array()) {
        return false;
    }
    for (const Json& v : *list) {
        if (v.is_string() && v.get_ref<const std::string&>() == value) {
            return true;
        }
    }
    return false;
}

const char* encodingName(Encoding e) {
    return e == Encoding::Utf8 ? "utf-8" : e == Encoding::Utf32 ? "utf-32" : "utf-16";
}

} // namespace

struct Server::Impl {
    enum class Phase { Uninitialized, Running, ShuttingDown, Exited };

    Options options;
    Writer writer;
    MessageReader reader{options.maxMessageBytes};
    DocumentStore documents;
    Features features;
    Encoding encoding = Encoding::Utf16;
    bool markdown = true;
    Phase phase = Phase::Uninitialized;
    bool shutdownRequested = false;
    std::map<std::string, Clock::time_point, std::less<>> due; // documents waiting for diagnostics
    Clock::time_point now;

    Impl(Options o, Writer w) : options(std::move(o)), writer(std::move(w)) {}

    // Requests answer with a result; notifications return nothing.
    using Handler = Json (Impl::*)(const Json& params);
    struct Route {
        std::string_view method;
        bool request;
        Handler handler;
    };
    static const Route kRoutes[];
    // The route of a request or a notification; null for a method it does not know.
    static const Route* find(std::string_view method, bool request);

    void send(const Json& message) {
        // Texts come from the client and may have been cut inside a character by an edit:
        // never fail on them.
        const std::string body = message.dump(-1, ' ', false, Json::error_handler_t::replace);
        writer("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    }
    void respond(const Json& id, Json result) {
        send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
    }
    void fail(const Json& id, ErrorCode code, const std::string& message) {
        send({{"jsonrpc", "2.0"},
              {"id", id},
              {"error", {{"code", static_cast<int>(code)}, {"message", message}}}});
    }
    void log(const std::string& message) {
        send({{"jsonrpc", "2.0"},
              {"method", "window/logMessage"},
              {"params", {{"type", 1}, {"message", "kolt-settings: " + message}}}});
    }

    void handle(const std::string& body);
    void request(const Json& id, const std::string& method, const Json& params);
    void notification(const std::string& method, const Json& params);

    Document* document(const Json& params) {
        return documents.find(stringMember(member(params, "textDocument"), "uri"));
    }
    void publish(const Document& d);

    Json initialize(const Json& params);
    Json shutdown(const Json&);
    Json exit(const Json&);
    Json ignore(const Json&) { return nullptr; }
    Json didOpen(const Json& params);
    Json didChange(const Json& params);
    Json didClose(const Json& params);
    Json completion(const Json& params);
    Json hover(const Json& params);
    Json codeAction(const Json& params);
    Json documentSymbol(const Json& params);
};

const Server::Impl::Route Server::Impl::kRoutes[] = {
    {"initialize", true, &Impl::initialize},
    {"shutdown", true, &Impl::shutdown},
    {"textDocument/completion", true, &Impl::completion},
    {"textDocument/hover", true, &Impl::hover},
    {"textDocument/codeAction", true, &Impl::codeAction},
    {"textDocument/documentSymbol", true, &Impl::documentSymbol},
    {"initialized", false, &Impl::ignore},
    {"exit", false, &Impl::exit},
    {"textDocument/didOpen", false, &Impl::didOpen},
    {"textDocument/didChange", false, &Impl::didChange},
    {"textDocument/didClose", false, &Impl::didClose},
};

const Server::Impl::Route* Server::Impl::find(std::string_view method, bool request) {
    for (const Route& r : kRoutes) {
        if (r.request == request && r.method == method) {
            return &r;
        }
    }
    return nullptr;
}

void Server::Impl::handle(const std::string& body) {
    const Json message = Json::parse(body, nullptr, false);
    if (message.is_discarded()) {
        return fail(nullptr, ErrorCode::ParseError, "the message is not valid JSON in UTF-8");
    }
    if (!message.is_object()) {
        return fail(nullptr, ErrorCode::InvalidRequest,
                    "a message is a JSON object (batches are not supported)");
    }
    const auto id = message.find("id");
    const bool hasId = id != message.end();
    if (hasId && !id->is_string() && !id->is_number_integer()) {
        return fail(nullptr, ErrorCode::InvalidRequest, "'id' must be an integer or a string");
    }
    const Json replyTo = hasId ? *id : Json(nullptr);
    const auto method = message.find("method");
    if (method == message.end() && hasId && (message.contains("result") || message.contains("error"))) {
        return; // a response; this server sends no requests
    }
    const auto version = message.find("jsonrpc");
    if (version == message.end() || *version != "2.0") {
        return fail(replyTo, ErrorCode::InvalidRequest, "'jsonrpc' must be \"2.0\"");
    }
    if (method == message.end() || !method->is_string()) {
        return fail(replyTo, ErrorCode::InvalidRequest, "'method' must be a string");
    }
    const auto params = message.find("params");
    static const Json kNoParams = Json::object();
    // null is what many clients send for no parameters (shutdown, exit).
    const bool none = params == message.end() || params->is_null();
    if (!none && !params->is_object() && !params->is_array()) {
        return fail(replyTo, ErrorCode::InvalidRequest, "'params' must be an object or an array");
    }
    const Json& p = none ? kNoParams : *params;
    if (hasId) {
        request(replyTo, method->get<std::string>(), p);
    } else {
        notification(method->get<std::string>(), p);
    }
}

void Server::Impl::request(const Json& id, const std::string& method, const Json& params) {
    const Route* route = find(method, true);
    if (phase == Phase::ShuttingDown) {
        return fail(id, ErrorCode::InvalidRequest, "the server is shutting down");
    }
    if (phase == Phase::Uninitialized && method != "initialize") {
        return fail(id, ErrorCode::ServerNotInitialized, "the server is not initialized");
    }
    if (phase == Phase::Running && method == "initialize") {
        return fail(id, ErrorCode::InvalidRequest, "the server is already initialized");
    }
    if (!route) {
        return fail(id, ErrorCode::MethodNotFound, "unknown method '" + method + "'");
    }
    try {
        respond(id, (this->*route->handler)(params));
    } catch (const RpcError& e) {
        fail(id, e.code, e.message);
    } catch (const std::bad_alloc&) {
        fail(id, ErrorCode::InternalError, "out of memory");
    } catch (const std::exception& e) {
        fail(id, ErrorCode::InternalError, e.what());
    }
}

void Server::Impl::notification(const std::string& method, const Json& params) {
    // Before initialize and after shutdown, only exit counts.
    if (method != "exit" && phase != Phase::Running) {
        return;
    }
    const Route* route = find(method, false);
    if (!route) {
        return;
    }
    try {
        (this->*route->handler)(params);
    } catch (const RpcError& e) {
        log(method + ": " + e.message); // a notification has no response to carry it
    } catch (const std::exception& e) {
        log(method + ": " + e.what());
    }
}

Json Server::Impl::initialize(const Json& params) {
    if (!params.is_object()) {
        throw RpcError{ErrorCode::InvalidParams, "initialize takes an object"};
    }
    // Read in place: a copy of what the client sent would recurse as deep as it nests.
    static const Json kNone = Json::object();
    const auto given = params.find("capabilities");
    const Json& caps = given == params.end() ? kNone : *given;
    encoding =
        listHolds(path(caps, {"general", "positionEncodings"}), "utf-8") ? Encoding::Utf8 : Encoding::Utf16;
    const Json* formats = path(caps, {"textDocument", "hover", "contentFormat"});
    markdown = !formats || listHolds(formats, "markdown");
    ClientSupport support;
    const Json* snippets = path(caps, {"textDocument", "completion", "completionItem", "snippetSupport"});
    support.snippets = snippets && snippets->is_boolean() && snippets->get<bool>();
    features.setClientSupport(support);
    phase = Phase::Running;
    return {{"capabilities",
             {{"positionEncoding", encodingName(encoding)},
              {"textDocumentSync", {{"openClose", true}, {"change", 2}}}, // incremental
              {"completionProvider", {{"triggerCharacters", {"<", " ", "\""}}}},
              {"hoverProvider", true},
              {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}},
              {"documentSymbolProvider", true}}},
            {"serverInfo", {{"name", "kolt-settings"}, {"version", options.version}}}};
}

Json Server::Impl::shutdown(const Json&) {
    phase = Phase::ShuttingDown;
    shutdownRequested = true;
    due.clear();
    return nullptr;
}

Json Server::Impl::exit(const Json&) {
    phase = Phase::Exited;
    return nullptr;
}

Json Server::Impl::didOpen(const Json& params) {
    const Json& item = member(params, "textDocument");
    const std::string uri = stringMember(item, "uri");
    documents.open(uri, integerMember(item, "version"), stringMember(item, "text"));
    due[uri] = now;
    return nullptr;
}

Json Server::Impl::didChange(const Json& params) {
    Document* d = document(params);
    if (!d) {
        return nullptr; // not open: nothing to change
    }
    const std::int64_t version = integerMember(member(params, "textDocument"), "version");
    const Json& changes = member(params, "contentChanges");
    if (!changes.is_array()) {
        throw RpcError{ErrorCode::InvalidParams, "'contentChanges' must be an array"};
    }
    // All or nothing: read every change before applying the first.
    std::vector<std::pair<std::optional<Range>, std::string>> edits;
    for (const Json& c : changes) {
        std::string text = stringMember(c, "text");
        const bool ranged = c.contains("range") && !c["range"].is_null();
        edits.emplace_back(ranged ? std::optional<Range>(rangeOf(c["range"])) : std::nullopt,
                           std::move(text));
    }
    for (const auto& [range, text] : edits) {
        d->change(range, text, encoding); // each applies to the text the one before left
    }
    d->setVersion(version);
    due[d->uri()] = now + options.debounce;
    return nullptr;
}

Json Server::Impl::didClose(const Json& params) {
    const std::string uri = stringMember(member(params, "textDocument"), "uri");
    if (documents.close(uri)) {
        due.erase(uri);
        send({{"jsonrpc", "2.0"},
              {"method", "textDocument/publishDiagnostics"},
              {"params", {{"uri", uri}, {"diagnostics", Json::array()}}}});
    }
    return nullptr;
}

void Server::Impl::publish(const Document& d) {
    const Converter convert(d, encoding);
    Json diagnostics = Json::array();
    for (const Diagnostic& diagnostic : features.diagnostics(d.snapshot())) {
        diagnostics.push_back(convert.diagnostic(diagnostic));
    }
    send({{"jsonrpc", "2.0"},
          {"method", "textDocument/publishDiagnostics"},
          {"params", {{"uri", d.uri()}, {"version", d.version()}, {"diagnostics", std::move(diagnostics)}}}});
}

Json Server::Impl::completion(const Json& params) {
    const Position p = positionOf(member(params, "position"));
    const Document* d = document(params);
    if (!d) {
        return {{"isIncomplete", false}, {"items", Json::array()}};
    }
    return Converter(*d, encoding).completion(features.completion(d->snapshot(), d->offset(p, encoding)));
}

Json Server::Impl::hover(const Json& params) {
    const Position p = positionOf(member(params, "position"));
    const Document* d = document(params);
    if (!d) {
        return nullptr;
    }
    const auto h = features.hover(d->snapshot(), d->offset(p, encoding));
    return h ? Converter(*d, encoding).hover(*h, markdown) : Json(nullptr);
}

Json Server::Impl::codeAction(const Json& params) {
    const Range range = rangeOf(member(params, "range"));
    const Json& context = member(params, "context");
    const Json& given = member(context, "diagnostics");
    const Document* d = document(params);
    if (!d || !given.is_array()) {
        return Json::array();
    }
    const Converter convert(*d, encoding);
    std::vector<Diagnostic> diagnostics;
    for (const Json& g : given) {
        diagnostics.push_back(convert.diagnosticFrom(g));
    }
    Json out = Json::array();
    for (const CodeAction& a : features.codeActions(d->snapshot(), d->span(range, encoding), diagnostics)) {
        out.push_back(convert.codeAction(a));
    }
    return out;
}

Json Server::Impl::documentSymbol(const Json& params) {
    const Document* d = document(params);
    Json out = Json::array();
    if (d) {
        const Converter convert(*d, encoding);
        for (const Symbol& s : features.documentSymbols(d->snapshot())) {
            out.push_back(convert.symbol(s));
        }
    }
    return out;
}

Server::Server(Options options, Writer writer)
    : _impl(std::make_unique<Impl>(std::move(options), std::move(writer))) {}

Server::~Server() = default;

void Server::receive(std::string_view bytes, Clock::time_point now) {
    Impl& s = *_impl;
    s.now = now;
    s.reader.feed(bytes);
    std::string out;
    while (s.phase != Impl::Phase::Exited) {
        const MessageReader::Result r = s.reader.next(out);
        if (r == MessageReader::Result::None) {
            break;
        }
        if (r == MessageReader::Result::Error) {
            s.fail(nullptr, ErrorCode::ParseError, out);
        } else {
            s.handle(out);
        }
    }
}

std::optional<Server::Clock::time_point> Server::nextDeadline() const {
    std::optional<Clock::time_point> next;
    for (const auto& [uri, when] : _impl->due) {
        if (!next || when < *next) {
            next = when;
        }
    }
    return next;
}

void Server::publishDue(Clock::time_point now) {
    Impl& s = *_impl;
    for (auto it = s.due.begin(); it != s.due.end();) {
        if (it->second > now) {
            ++it;
            continue;
        }
        if (const Document* d = s.documents.find(it->first)) {
            try {
                s.publish(*d);
            } catch (const std::exception& e) {
                s.log(std::string("diagnostics of ") + d->uri() + ": " + e.what());
            }
        }
        it = s.due.erase(it);
    }
}

bool Server::exited() const noexcept {
    return _impl->phase == Impl::Phase::Exited;
}

int Server::exitCode() const noexcept {
    return _impl->shutdownRequested ? 0 : 1;
}

} // namespace kolt::lsp
