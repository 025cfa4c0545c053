//===- tools/lsp/jsonrpc.cpp - JSON-RPC messages --------------------------===//

#include "tools/lsp/jsonrpc.h"

namespace lsp {

namespace {

/// Whether arrays and objects nest at most `limit` deep, strings skipped.
bool NestingWithin(std::string_view text, int limit) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit)
        return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

CIncoming Invalid(int code, std::string reason, json id = nullptr) {
  CIncoming message;
  message.kind = CIncoming::Kind::Invalid;
  message.error = code;
  message.reason = std::move(reason);
  message.id = std::move(id);
  return message;
}

} // namespace

CIncoming ParseMessage(std::string_view body) {
  if (!NestingWithin(body, kMaxDepth))
    return Invalid(kParseError, "the message nests too deeply");
  json value = json::parse(body.begin(), body.end(), nullptr, false);
  if (value.is_discarded())
    return Invalid(kParseError, "the message is no valid JSON");
  if (!value.is_object())
    return Invalid(kInvalidRequest, "the message is no JSON-RPC object");
  json id = nullptr;
  bool hasId = false;
  if (auto found = value.find("id"); found != value.end()) {
    if (!found->is_number_integer() && !found->is_string() && !found->is_null())
      return Invalid(kInvalidRequest, "the id is neither a number nor a string");
    id = *found;
    hasId = !found->is_null();
  }
  auto version = value.find("jsonrpc");
  if (version == value.end() || *version != "2.0")
    return Invalid(kInvalidRequest, "the message is not JSON-RPC 2.0", id);
  CIncoming message;
  message.id = id;
  auto method = value.find("method");
  if (method == value.end()) {
    if (hasId && (value.contains("result") || value.contains("error"))) {
      message.kind = CIncoming::Kind::Response;
      return message;
    }
    return Invalid(kInvalidRequest, "the message has no method", id);
  }
  if (!method->is_string())
    return Invalid(kInvalidRequest, "the method is no string", id);
  message.method = method->get<std::string>();
  if (auto params = value.find("params"); params != value.end()) {
    if (!params->is_object() && !params->is_array())
      return Invalid(kInvalidRequest, "the params are neither an object nor an array", id);
    message.params = std::move(*params);
  }
  message.kind = hasId ? CIncoming::Kind::Request : CIncoming::Kind::Notification;
  return message;
}

json MakeResponse(const json &id, json result) {
  return json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

json MakeError(const json &id, int code, std::string_view message) {
  return json{{"jsonrpc", "2.0"},
              {"id", id},
              {"error", {{"code", code}, {"message", std::string(message)}}}};
}

json MakeNotification(std::string_view method, json params) {
  return json{{"jsonrpc", "2.0"}, {"method", std::string(method)}, {"params", std::move(params)}};
}

std::string Serialize(const json &value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace lsp
