//===- tools/lsp/requests.cpp - The requests about documents --------------===//

#include "tools/lsp/features.h"
#include "tools/lsp/server.h"

namespace lsp {

namespace {

/// The result of a request the server does not know.
json Unknown() { return json(json::value_t::discarded); }

CPosition PositionOf(const json &params) {
  const json &position = params.at("position");
  auto number = [](const json &value) {
    if (!value.is_number_integer() || value.get<std::int64_t>() < 0 ||
        value.get<std::int64_t>() > INT32_MAX)
      throw json::type_error::create(302, "a line or column is no number", nullptr);
    return static_cast<std::uint32_t>(value.get<std::int64_t>());
  };
  return {number(position.at("line")), number(position.at("character"))};
}

/// What an empty answer of each request is.
json Empty(const std::string &method) {
  if (method == "textDocument/references" || method == "textDocument/documentSymbol" ||
      method == "textDocument/foldingRange")
    return json::array();
  if (method == "textDocument/completion")
    return json{{"isIncomplete", false}, {"items", json::array()}};
  if (method == "textDocument/semanticTokens/full")
    return json{{"data", json::array()}};
  return nullptr;
}

} // namespace

json CServer::Request(const std::string &method, const json &params) {
  if (method == "workspace/symbol") {
    std::vector<const CProgram *> programs;
    for (const auto &[main, slot] : m_Slots)
      if (slot.program)
        programs.push_back(slot.program.get());
    std::string query = params.is_object() ? params.value("query", "") : "";
    return WorkspaceSymbols(
        programs, query, [this](const std::string &path) { return m_Documents.Text(path); },
        [this](const std::string &path) { return m_Documents.UriOf(path); }, m_Encoding);
  }
  if (method.rfind("textDocument/", 0) == 0)
    return Feature(method, params);
  return Unknown();
}

json CServer::Feature(const std::string &method, const json &params) {
  static const char *const kKnown[] = {
      "textDocument/hover",          "textDocument/definition",  "textDocument/references",
      "textDocument/prepareRename",  "textDocument/rename",      "textDocument/completion",
      "textDocument/documentSymbol", "textDocument/foldingRange", "textDocument/semanticTokens/full"};
  if (std::find(std::begin(kKnown), std::end(kKnown), method) == std::end(kKnown))
    return Unknown();
  m_Documents.NewPass();
  std::string uri = params.at("textDocument").at("uri").get<std::string>();
  CDocument *document = m_Documents.Find(uri);
  std::string path = document != nullptr ? document->path : AbsolutePath(PathOfUri(uri));
  const CText *text = path.empty() ? nullptr : m_Documents.Text(path);
  CSlot *slot = text == nullptr ? nullptr : ReadySlot(path);
  if (slot == nullptr)
    return Empty(method);
  // The check may have read the file again.
  text = m_Documents.Text(path);
  const CFileIndex *index = IndexOf(*slot, path);
  if (text == nullptr || index == nullptr)
    return Empty(method);
  CFeatureContext context{*slot->program,
                          path,
                          *text,
                          *index,
                          m_Encoding,
                          [this](const std::string &file) { return m_Documents.Text(file); },
                          [this, slot](const std::string &file) { return IndexOf(*slot, file); },
                          [this](const std::string &file) { return m_Documents.UriOf(file); }};
  if (method == "textDocument/hover")
    return Hover(context, PositionOf(params));
  if (method == "textDocument/definition")
    return Definition(context, PositionOf(params));
  if (method == "textDocument/references") {
    bool declaration = params.contains("context") && params["context"].is_object() &&
                       params["context"].value("includeDeclaration", false);
    return References(context, PositionOf(params), declaration);
  }
  if (method == "textDocument/prepareRename")
    return PrepareRename(context, PositionOf(params));
  if (method == "textDocument/rename") {
    std::string error;
    json edit = Rename(context, PositionOf(params), params.at("newName").get<std::string>(), error);
    if (!error.empty())
      return json{{"__error", error}};
    return edit;
  }
  if (method == "textDocument/completion")
    return Completion(context, PositionOf(params));
  if (method == "textDocument/documentSymbol")
    return DocumentSymbols(context);
  if (method == "textDocument/foldingRange")
    return FoldingRanges(context);
  return SemanticTokens(context);
}

} // namespace lsp
