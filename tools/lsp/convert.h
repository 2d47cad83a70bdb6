// JSON to the feature structs and back, and the checked reading of request parameters.
// Internal to the protocol layer: nothing outside tools/lsp/server.cpp sees JSON.
#ifndef KOLTSETTINGS_TOOLS_LSP_CONVERT_H
#define KOLTSETTINGS_TOOLS_LSP_CONVERT_H

#include "documents.h"
#include "features.h"

#include <nlohmann/json.hpp>

#include <string>

namespace kolt::lsp {

using Json = nlohmann::json;

// JSON-RPC and LSP error codes.
enum class ErrorCode {
    ParseError = -32700,
    InvalidRequest = -32600,
    MethodNotFound = -32601,
    InvalidParams = -32602,
    InternalError = -32603,
    ServerNotInitialized = -32002,
};

// Thrown by handlers; becomes the error response of the request.
struct RpcError {
    ErrorCode code;
    std::string message;
};

// Members of request parameters: each throws InvalidParams naming the member when it is
// missing or of the wrong type.
const Json& member(const Json& object, const char* key);
std::string stringMember(const Json& object, const char* key);
std::int64_t integerMember(const Json& object, const char* key);
Position positionOf(const Json& value);
Range rangeOf(const Json& value);

// Converts with the document's positions in the negotiated encoding.
class Converter {
public:
    Converter(const Document& document, Encoding encoding) : _d(document), _e(encoding) {}

    Json range(Span s) const;
    Json diagnostic(const Diagnostic& d) const;
    // A diagnostic the client hands back in a code action request; one we cannot read
    // comes back empty, so that it matches none of ours.
    Diagnostic diagnosticFrom(const Json& value) const;
    Json completion(const Completion& c) const;
    Json hover(const Hover& h, bool markdown) const;
    Json codeAction(const CodeAction& a) const;
    Json symbol(const Symbol& s) const;

private:
    Json edit(const TextEdit& e) const;

    const Document& _d;
    Encoding _e;
};

} // namespace kolt::lsp

#endif
