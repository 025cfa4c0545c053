//===- tools/lsp/server.cpp - The language server -------------------------===//

#include "tools/lsp/server.h"

#include "driver/build.h"
#include "tools/lsp/analysis.h"
#include "tools/lsp/features.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <unistd.h>

namespace lsp {

namespace {

/// Diagnostics published for one file at most; a build of a broken
/// program can report millions.
constexpr std::size_t kMaxDiagnostics = 1000;

/// Thrown when a request's parameters lack what it needs.
struct CInvalidParams {
  std::string what;
};

const json &Member(const json &object, const char *name) {
  if (!object.is_object())
    throw CInvalidParams{"the parameters are no object"};
  auto found = object.find(name);
  if (found == object.end())
    throw CInvalidParams{std::string("\"") + name + "\" is missing"};
  return *found;
}

std::string StringMember(const json &object, const char *name) {
  const json &value = Member(object, name);
  if (!value.is_string())
    throw CInvalidParams{std::string("\"") + name + "\" is no string"};
  return value.get<std::string>();
}

std::uint32_t NumberMember(const json &object, const char *name) {
  const json &value = Member(object, name);
  if (!value.is_number_integer() || value.get<std::int64_t>() < 0 ||
      value.get<std::int64_t>() > INT32_MAX)
    throw CInvalidParams{std::string("\"") + name + "\" is no line or column"};
  return static_cast<std::uint32_t>(value.get<std::int64_t>());
}

CPosition PositionMember(const json &object, const char *name) {
  const json &position = Member(object, name);
  return {NumberMember(position, "line"), NumberMember(position, "character")};
}

std::string UriMember(const json &params) { return StringMember(Member(params, "textDocument"), "uri"); }

bool IsChange(const std::string &method) {
  return method == "textDocument/didOpen" || method == "textDocument/didChange" ||
         method == "textDocument/didClose" || method == "textDocument/didSave" ||
         method == "workspace/didChangeConfiguration" || method == "exit" || method == "shutdown";
}

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && EqualsNoCase(text.substr(text.size() - end.size()), end);
}

} // namespace

CServer::CServer(CSend send) : m_Send(std::move(send)) {}

void CServer::Log(const std::string &text) {
  Send(MakeNotification("window/logMessage", {{"type", 3}, {"message", "ferrox-lsp: " + text}}));
}

void CServer::Enqueue(CFrame frame) {
  CIncoming message;
  if (frame.kind == CFrame::Kind::Message) {
    message = ParseMessage(frame.body);
  } else {
    message.kind = CIncoming::Kind::Invalid;
    message.error = frame.kind == CFrame::Kind::Oversized ? kInvalidRequest : kParseError;
    message.reason = frame.kind == CFrame::Kind::Oversized
                         ? "the message is larger than " + std::to_string(kMaxMessageSize >> 20) + " MiB"
                         : "the message header has no valid Content-Length";
  }
  if (IsChange(message.method))
    ++m_ChangesQueued;
  m_Queue.push_back(std::move(message));
}

void CServer::Process() {
  while (!m_Queue.empty() && !m_Exited) {
    CIncoming message = std::move(m_Queue.front());
    m_Queue.pop_front();
    if (IsChange(message.method))
      --m_ChangesQueued;
    Handle(std::move(message));
  }
}

void CServer::Handle(CIncoming message) {
  switch (message.kind) {
  case CIncoming::Kind::Invalid:
    Send(MakeError(message.id, message.error, message.reason));
    return;
  case CIncoming::Kind::Response:
    return;
  case CIncoming::Kind::Notification:
    if (message.method == "exit") {
      m_Exited = true;
      return;
    }
    if (!m_Initialized || m_ShutDown)
      return;
    try {
      Notification(message.method, message.params);
    } catch (const CInvalidParams &error) {
      Log(message.method + ": " + error.what);
    } catch (const json::exception &error) {
      Log(message.method + ": " + error.what());
    } catch (const std::bad_alloc &) {
      Log(message.method + ": not enough memory");
    }
    return;
  case CIncoming::Kind::Request:
    break;
  }
  const std::string &method = message.method;
  if (m_ShutDown) {
    Send(MakeError(message.id, kInvalidRequest, "the server is shut down"));
    return;
  }
  if (!m_Initialized && method != "initialize") {
    Send(MakeError(message.id, kServerNotInitialized, "initialize comes first"));
    return;
  }
  try {
    if (method == "initialize") {
      if (m_Initialized) {
        Send(MakeError(message.id, kInvalidRequest, "the server is initialized already"));
        return;
      }
      json result = Initialize(message.params);
      m_Initialized = true;
      Send(MakeResponse(message.id, std::move(result)));
      return;
    }
    if (method == "shutdown") {
      m_ShutDown = true;
      Send(MakeResponse(message.id, nullptr));
      return;
    }
    json result = Request(method, message.params);
    if (result.is_discarded())
      Send(MakeError(message.id, kMethodNotFound, "no method " + method));
    else if (result.is_object() && result.contains("__error"))
      Send(MakeError(message.id, kRequestFailed, result["__error"].get<std::string>()));
    else
      Send(MakeResponse(message.id, std::move(result)));
  } catch (const CInvalidParams &error) {
    Send(MakeError(message.id, kInvalidParams, error.what));
  } catch (const json::exception &error) {
    Send(MakeError(message.id, kInvalidParams, error.what()));
  } catch (const std::bad_alloc &) {
    Send(MakeError(message.id, kInternalError, "not enough memory"));
  }
}

json CServer::Initialize(const json &params) {
  if (!params.is_object())
    throw CInvalidParams{"the parameters are no object"};
  const json capabilities = params.value("capabilities", json::object());
  json encodings = capabilities.is_object() ? capabilities.value("general", json::object()) : json::object();
  encodings = encodings.is_object() ? encodings.value("positionEncodings", json::array()) : json::array();
  if (encodings.is_array() && std::find(encodings.begin(), encodings.end(), "utf-8") != encodings.end())
    m_Encoding = Encoding::Utf8;
  json rename = capabilities.is_object() ? capabilities.value("textDocument", json::object()) : json::object();
  rename = rename.is_object() ? rename.value("rename", json::object()) : json::object();
  m_PrepareRename = rename.is_object() && rename.value("prepareSupport", false) == true;
  json watched = capabilities.is_object() ? capabilities.value("workspace", json::object()) : json::object();
  watched = watched.is_object() ? watched.value("didChangeWatchedFiles", json::object()) : json::object();
  m_WatchFiles = watched.is_object() && watched.value("dynamicRegistration", false) == true;

  std::vector<std::string> folders;
  if (auto list = params.find("workspaceFolders"); list != params.end() && list->is_array())
    for (const json &folder : *list)
      if (folder.is_object() && folder.contains("uri") && folder["uri"].is_string())
        if (std::string path = PathOfUri(folder["uri"].get<std::string>()); !path.empty())
          folders.push_back(AbsolutePath(path));
  if (auto uri = params.find("rootUri"); folders.empty() && uri != params.end() && uri->is_string())
    if (std::string path = PathOfUri(uri->get<std::string>()); !path.empty())
      folders.push_back(AbsolutePath(path));
  if (auto path = params.find("rootPath"); folders.empty() && path != params.end() && path->is_string())
    folders.push_back(AbsolutePath(path->get<std::string>()));
  // Relative folders of Directories.okl are relative to the working folder,
  // as when ferrox runs in the project's folder.
  if (!folders.empty() && chdir(folders.front().c_str()) == 0)
    m_Root = folders.front();
  m_Workspace.SetFolders(folders);
  if (auto options = params.find("initializationOptions"); options != params.end())
    Configure(*options);

  json sync = {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}};
  json renameProvider = m_PrepareRename ? json{{"prepareProvider", true}} : json(true);
  return {{"capabilities",
           {{"positionEncoding", m_Encoding == Encoding::Utf8 ? "utf-8" : "utf-16"},
            {"textDocumentSync", sync},
            {"hoverProvider", true},
            {"definitionProvider", true},
            {"referencesProvider", true},
            {"renameProvider", renameProvider},
            {"completionProvider", {{"triggerCharacters", {".", "&", "^", "*"}}}},
            {"documentSymbolProvider", true},
            {"workspaceSymbolProvider", true},
            {"foldingRangeProvider", true},
            {"semanticTokensProvider", {{"legend", SemanticTokensLegend()}, {"full", true}}}}},
          {"serverInfo", {{"name", "ferrox-lsp"}, {"version", std::string(VERSION)}}}};
}

void CServer::Configure(const json &settings) {
  if (!settings.is_object() || !settings.contains("mainFile"))
    return;
  const json &value = settings["mainFile"];
  std::string main;
  if (value.is_string() && !Trim(value.get<std::string>()).empty())
    main = AbsolutePath(m_Root.empty() ? Trim(value.get<std::string>())
                                       : ResolvePath(m_Root, Trim(value.get<std::string>())));
  if (main == m_MainFile)
    return;
  m_MainFile = main;
  m_WorkspaceMains.clear();
  Reassign();
  for (auto &[name, slot] : m_Slots) {
    slot.dirty = true;
    slot.due = Clock::now();
  }
}

void CServer::Notification(const std::string &method, const json &params) {
  if (method == "textDocument/didOpen") {
    DidOpen(params);
  } else if (method == "textDocument/didChange") {
    DidChange(params);
  } else if (method == "textDocument/didSave") {
    if (CDocument *document = m_Documents.Find(UriMember(params))) {
      m_WorkspaceMains.clear();
      Touch(document->path, Clock::duration::zero());
    }
  } else if (method == "textDocument/didClose") {
    CDocument *document = m_Documents.Find(UriMember(params));
    if (document == nullptr)
      return;
    std::string path = document->path;
    m_Documents.Close(document->uri);
    Touch(path, Clock::duration::zero());
    Reassign();
  } else if (method == "workspace/didChangeConfiguration") {
    const json &settings = Member(params, "settings");
    if (settings.is_object() && settings.contains("ferrox"))
      Configure(settings["ferrox"]);
  } else if (method == "initialized") {
    // Sources changed outside the editor (a checkout, another editor) are
    // checked again when the client reports them.
    if (m_WatchFiles)
      Send({{"jsonrpc", "2.0"},
            {"id", "ferrox-watch"},
            {"method", "client/registerCapability"},
            {"params",
             {{"registrations",
               {{{"id", "ferrox-watched-files"},
                 {"method", "workspace/didChangeWatchedFiles"},
                 {"registerOptions",
                  {{"watchers",
                    {{{"globPattern", "**/*.{tvs,tvh,TVS,TVH}"}},
                     {{"globPattern", "**/*.okl"}}}}}}}}}}}});
  } else if (method == "workspace/didChangeWatchedFiles") {
    m_WorkspaceMains.clear();
    for (auto &[name, slot] : m_Slots) {
      slot.dirty = true;
      slot.due = Clock::now();
    }
  }
  // Other notifications ("$/cancelRequest", ...) need nothing.
}

void CServer::DidOpen(const json &params) {
  const json &item = Member(params, "textDocument");
  std::string uri = StringMember(item, "uri");
  std::string path = PathOfUri(uri);
  // A buffer without a file stands in the workspace folder under its name.
  if (path.empty()) {
    std::string name = uri.substr(uri.find_last_of("/:") + 1);
    path = (m_Root.empty() ? platform::CurrentDirectory() : m_Root) + "/" +
           (name.empty() ? std::string("untitled.tvs") : name);
  }
  path = AbsolutePath(path);
  const json &version = Member(item, "version");
  m_Documents.Open(uri, path, item.value("languageId", ""), version.is_number_integer() ? version.get<int>() : 0,
                   StringMember(item, "text"));
  m_WorkspaceMains.clear();
  Reassign();
  Touch(path, Clock::duration::zero());
}

void CServer::DidChange(const json &params) {
  CDocument *document = m_Documents.Find(UriMember(params));
  if (document == nullptr)
    throw CInvalidParams{"the document is not open"};
  const json &changes = Member(params, "contentChanges");
  if (!changes.is_array())
    throw CInvalidParams{"\"contentChanges\" is no array"};
  for (const json &change : changes) {
    std::string text = StringMember(change, "text");
    if (change.contains("range")) {
      const json &range = change["range"];
      std::size_t start = document->text.Offset(PositionMember(range, "start"), m_Encoding);
      std::size_t end = document->text.Offset(PositionMember(range, "end"), m_Encoding);
      document->text.Replace(start, std::max(start, end), text);
    } else {
      document->text = CText(std::move(text));
    }
  }
  const json &version = Member(Member(params, "textDocument"), "version");
  if (version.is_number_integer())
    document->version = version.get<int>();
  m_Documents.Changed(*document);
  Touch(document->path, m_Debounce);
}

bool CServer::IsInstallationFile(const std::string &path) const {
  std::string folder = ProgramDirectory();
  return path == folder + "Instructions.okl" || path == folder + "Directories.okl" ||
         path == folder + "std.tvh";
}

std::string CServer::MainOf(const std::string &path) {
  if (!m_MainFile.empty()) {
    auto slot = m_Slots.find(m_MainFile);
    if (path == m_MainFile || (slot != m_Slots.end() && slot->second.program &&
                               slot->second.program->Reads(path)))
      return m_MainFile;
  }
  for (const auto &[uri, document] : m_Documents.All()) {
    if (document.path == path || !EndsWithNoCase(document.path, ".tvs"))
      continue;
    auto slot = m_Slots.find(document.path);
    if (slot != m_Slots.end() && slot->second.program && slot->second.program->Reads(path))
      return document.path;
  }
  if (IsInstallationFile(path)) {
    for (const auto &[main, slot] : m_Slots)
      if (slot.program && slot.program->Reads(path))
        return main;
    return {};
  }
  auto known = m_WorkspaceMains.find(path);
  if (known == m_WorkspaceMains.end()) {
    std::vector<std::string> directories;
    for (const auto &[main, slot] : m_Slots)
      if (slot.program)
        directories = slot.program->includeDirectories;
    known = m_WorkspaceMains.emplace(path, m_Workspace.ProgramIncluding(path, m_Documents, directories)).first;
  }
  return known->second.empty() ? path : known->second;
}

void CServer::Reassign() {
  std::set<std::string> wanted;
  if (!m_MainFile.empty())
    wanted.insert(m_MainFile);
  for (const auto &[uri, document] : m_Documents.All())
    if (std::string main = MainOf(document.path); !main.empty())
      wanted.insert(main);
  for (auto it = m_Slots.begin(); it != m_Slots.end();) {
    if (wanted.count(it->first) != 0) {
      ++it;
      continue;
    }
    CSlot retired = std::move(it->second);
    it = m_Slots.erase(it);
    Retire(retired);
  }
  for (const std::string &main : wanted) {
    auto [slot, added] = m_Slots.try_emplace(main);
    if (added)
      slot->second.due = Clock::now();
  }
}

void CServer::Retire(CSlot &slot) {
  for (const std::string &path : slot.published) {
    bool owned = false;
    for (const auto &[main, other] : m_Slots)
      owned = owned || other.published.count(path) != 0 ||
              (other.program && other.program->Reads(path) && m_Documents.FindPath(path) != nullptr);
    if (!owned)
      PublishFile(path, nullptr, -1);
  }
}

void CServer::Touch(const std::string &path, Clock::duration delay) {
  Clock::time_point due = Clock::now() + delay;
  std::string owner = MainOf(path);
  for (auto &[main, slot] : m_Slots) {
    if (main == owner || main == path || (slot.program && slot.program->Reads(path))) {
      slot.dirty = true;
      slot.due = due;
    }
  }
}

int CServer::MillisecondsToCheck() const {
  auto now = Clock::now();
  int wait = -1;
  for (const auto &[main, slot] : m_Slots) {
    if (!slot.dirty)
      continue;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(slot.due - now).count();
    int ms = left <= 0 ? 0 : static_cast<int>(std::min<long long>(left + 1, 60000));
    wait = wait < 0 ? ms : std::min(wait, ms);
  }
  return wait;
}

void CServer::RunChecks(const std::function<bool()> &interrupted) {
  for (;;) {
    auto now = Clock::now();
    std::string next;
    // The configured main file first: other programs may turn out to be
    // part of it.
    auto main = m_Slots.find(m_MainFile);
    if (main != m_Slots.end() && main->second.dirty && main->second.due <= now)
      next = m_MainFile;
    for (const auto &[name, slot] : m_Slots)
      if (next.empty() && slot.dirty && slot.due <= now)
        next = name;
    if (next.empty())
      return;
    if (!Check(next, m_Slots[next], interrupted) || interrupted())
      return;
  }
}

bool CServer::Check(const std::string &main, CSlot &slot, const std::function<bool()> &interrupted) {
  m_Documents.NewPass();
  CBuildRequest request;
  request.main = main;
  request.overlay = &m_Documents.Overlay();
  request.versions = m_Documents.Versions();
  request.cancelled = interrupted;
  request.texts = &m_Documents;
  static const bool timing = std::getenv("FERROX_LSP_TIMING") != nullptr;
  auto start = Clock::now();
  auto lap = [&](const char *what) {
    if (timing)
      std::fprintf(stderr, "%s %.2f ms\n", what,
                   std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  };
  std::unique_ptr<CProgram> program = AnalyzeProgram(request);
  if (!program)
    return false;
  lap("analysis");
  // The old results go after the diagnostics are out.
  std::unique_ptr<CProgram> old = std::move(slot.program);
  slot.program = std::move(program);
  slot.dirty = false;
  slot.indexes.clear();
  slot.stamps.clear();
  for (const std::string &file : slot.program->files)
    if (m_Documents.FindPath(file) == nullptr)
      slot.stamps.emplace_back(file, CDocuments::Stamp(file));
  Publish(main, slot);
  lap("publish");
  CompleteProgram(*slot.program);
  old.reset();
  Reassign();
  std::vector<std::string> files;
  for (const auto &[name, other] : m_Slots)
    if (other.program)
      files.insert(files.end(), other.program->files.begin(), other.program->files.end());
  m_Documents.KeepFiles(files);
  lap("check");
  return true;
}

void CServer::Publish(const std::string &main, CSlot &slot) {
  std::set<std::string> published;
  std::map<std::string, std::vector<CDiagnostic>> shown;
  auto ownedElsewhere = [&](const std::string &path) {
    if (m_Documents.FindPath(path) == nullptr)
      return false;
    std::string owner = MainOf(path);
    return !owner.empty() && owner != main;
  };
  auto version = [&](const std::string &path) {
    CDocument *document = m_Documents.FindPath(path);
    auto used = slot.program->versions.find(path);
    return document == nullptr ? -1 : used != slot.program->versions.end() ? used->second : document->version;
  };
  // Open buffers hear of every check; other files only of changes.
  auto publish = [&](const std::string &path, const std::vector<CDiagnostic> *list) {
    static const std::vector<CDiagnostic> kNone;
    const std::vector<CDiagnostic> &diagnostics = list != nullptr ? *list : kNone;
    if (m_Documents.FindPath(path) == nullptr) {
      auto before = slot.shown.find(path);
      if (!(before == slot.shown.end() && diagnostics.empty()) &&
          !(before != slot.shown.end() && before->second == diagnostics))
        PublishFile(path, &diagnostics, -1);
      if (!diagnostics.empty())
        shown[path] = diagnostics;
    } else {
      PublishFile(path, &diagnostics, version(path));
    }
    if (!diagnostics.empty())
      published.insert(path);
  };
  for (const auto &[path, list] : slot.program->diagnostics)
    if (!ownedElsewhere(path))
      publish(path, &list);
  for (const std::string &path : slot.published)
    if (slot.program->diagnostics.count(path) == 0 && !ownedElsewhere(path))
      publish(path, nullptr);
  for (const auto &[uri, document] : m_Documents.All())
    if (slot.program->diagnostics.count(document.path) == 0 && MainOf(document.path) == main)
      publish(document.path, nullptr);
  slot.published = std::move(published);
  slot.shown = std::move(shown);
}

namespace {

/// A JSON string; bytes that are no UTF-8 are replaced.
void AppendString(std::string &out, std::string_view text) {
  out += json(std::string(text)).dump(-1, ' ', false, json::error_handler_t::replace);
}

void AppendPosition(std::string &out, std::uint32_t line, std::uint32_t character) {
  out += "{\"line\":";
  out += std::to_string(line);
  out += ",\"character\":";
  out += std::to_string(character);
  out += '}';
}

} // namespace

void CServer::PublishFile(const std::string &path, const std::vector<CDiagnostic> *diagnostics,
                          int version) {
  // Written out directly: a broken program has thousands of diagnostics,
  // and an editor waits for them after every edit.
  std::string body = "{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/publishDiagnostics\","
                     "\"params\":{\"uri\":";
  AppendString(body, m_Documents.UriOf(path));
  if (version >= 0)
    body += ",\"version\":" + std::to_string(version);
  body += ",\"diagnostics\":[";
  const CText *text = diagnostics != nullptr && !diagnostics->empty() ? m_Documents.Text(path) : nullptr;
  std::size_t count = 0;
  for (const CDiagnostic &diagnostic : diagnostics != nullptr ? *diagnostics : std::vector<CDiagnostic>()) {
    if (count == kMaxDiagnostics)
      break;
    std::uint32_t line = diagnostic.line > 0 ? diagnostic.line - 1 : 0;
    std::uint32_t start = diagnostic.column;
    std::uint32_t end = diagnostic.endColumn;
    if (text != nullptr) {
      line = std::min<std::uint32_t>(line, static_cast<std::uint32_t>(text->LineCount() - 1));
      if (diagnostic.wholeLine) {
        start = 0;
        end = static_cast<std::uint32_t>(text->Line(line).size());
      }
      start = text->Character(line, start, m_Encoding);
      end = text->Character(line, end, m_Encoding);
    }
    if (count++ > 0)
      body += ',';
    body += "{\"range\":{\"start\":";
    AppendPosition(body, line, start);
    body += ",\"end\":";
    AppendPosition(body, line, end);
    body += "},\"severity\":" + std::to_string(diagnostic.severity) + ",\"code\":";
    AppendString(body, diagnostic.code);
    body += ",\"source\":\"ferrox\",\"message\":";
    AppendString(body, diagnostic.message);
    if (diagnostic.unnecessary)
      body += ",\"tags\":[1]";
    body += '}';
  }
  if (diagnostics != nullptr && diagnostics->size() > kMaxDiagnostics) {
    body += ",{\"range\":{\"start\":";
    AppendPosition(body, 0, 0);
    body += ",\"end\":";
    AppendPosition(body, 0, 0);
    body += "},\"severity\":3,\"source\":\"ferrox\",\"message\":";
    AppendString(body, std::to_string(diagnostics->size() - kMaxDiagnostics) +
                           " more problems are not shown");
    body += '}';
  }
  body += "]}}";
  m_Send(body);
}

CServer::CSlot *CServer::ReadySlot(const std::string &path) {
  std::string main = MainOf(path);
  if (main.empty())
    return nullptr;
  auto found = m_Slots.find(main);
  if (found == m_Slots.end()) {
    Reassign();
    found = m_Slots.find(main);
    if (found == m_Slots.end())
      return nullptr;
  }
  CSlot &slot = found->second;
  if (!slot.dirty)
    for (const auto &[file, stamp] : slot.stamps)
      if (m_Documents.FindPath(file) == nullptr && CDocuments::Stamp(file) != stamp)
        slot.dirty = true;
  if ((slot.dirty || !slot.program) && !Check(main, slot, nullptr))
    return nullptr;
  // The check may have handed the file to another program.
  found = m_Slots.find(MainOf(path));
  if (found == m_Slots.end() || !found->second.program)
    return nullptr;
  if (found->second.dirty && !Check(found->first, found->second, nullptr))
    return nullptr;
  return &found->second;
}

const CFileIndex *CServer::IndexOf(CSlot &slot, const std::string &path) {
  const CText *text = m_Documents.Text(path);
  if (text == nullptr)
    return nullptr;
  // A file no editor has open may have changed on disk since it was
  // indexed, with no notification that would have made the check run again.
  std::unique_ptr<CFileIndex> &index = slot.indexes[path];
  if (!index || index->revision != text->Revision())
    index = std::make_unique<CFileIndex>(
        IndexFile(*slot.program, slot.program->FindFile(path), *text,
                  [this](const std::string &file) { return m_Documents.Exists(file); }));
  return index.get();
}

} // namespace lsp
