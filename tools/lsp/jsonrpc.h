//===- tools/lsp/jsonrpc.h - JSON-RPC messages ------------------*- C++ -*-===//
//
// Turns message bodies into requests and notifications, and builds the
// responses and notifications the server sends. Bodies that are no JSON
// are a ParseError, JSON that is no message an InvalidRequest; nesting
// deeper than kMaxDepth is refused before it is parsed.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_JSONRPC_H
#define FERROX_TOOLS_LSP_JSONRPC_H

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace lsp {

using json = nlohmann::json;

/// Error codes of JSON-RPC and the protocol.
enum ErrorCode : int {
  kParseError = -32700,
  kInvalidRequest = -32600,
  kMethodNotFound = -32601,
  kInvalidParams = -32602,
  kInternalError = -32603,
  kServerNotInitialized = -32002,
  kRequestFailed = -32803,
};

/// Deepest nesting of arrays and objects accepted in a message.
inline constexpr int kMaxDepth = 64;

struct CIncoming {
  enum class Kind { Request, Notification, Response, Invalid } kind = Kind::Invalid;
  json id;             ///< null for notifications and unknown ids
  std::string method;
  json params;         ///< null when absent
  int error = 0;       ///< for Invalid: the code to answer with
  std::string reason;  ///< for Invalid: why
};

/// Reads one message body.
CIncoming ParseMessage(std::string_view body);

json MakeResponse(const json &id, json result);
json MakeError(const json &id, int code, std::string_view message);
json MakeNotification(std::string_view method, json params);

/// The text of a JSON value; invalid UTF-8 (from a source file's bytes) is
/// replaced, never thrown.
std::string Serialize(const json &value);

} // namespace lsp

#endif // FERROX_TOOLS_LSP_JSONRPC_H
