//===- tools/lsp/server.h - The language server -----------------*- C++ -*-===//
//
// CServer answers the messages of one client. It keeps the open buffers,
// decides which program each belongs to, and checks programs: a build in
// memory whose diagnostics it publishes. Checks run when the input is
// quiet (the event loop asks), so that a burst of edits costs one build;
// a build in progress is given up when an edit arrives during it.
//
// The main file of a buffer is, in this order: the configured main file
// (ferrox.mainFile), when its build read the buffer; an open .tvs buffer
// whose build read it; the first .tvs file of the workspace folders whose
// include directives lead to it; else the buffer itself.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_SERVER_H
#define FERROX_TOOLS_LSP_SERVER_H

#include "tools/lsp/documents.h"
#include "tools/lsp/framing.h"
#include "tools/lsp/index.h"
#include "tools/lsp/jsonrpc.h"
#include "tools/lsp/program.h"
#include "tools/lsp/workspace.h"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace lsp {

class CServer {
public:
  using Clock = std::chrono::steady_clock;
  /// Writes one message body to the client.
  using CSend = std::function<void(const std::string &body)>;

  explicit CServer(CSend send);

  /// Queues what the reader found; Process answers it.
  void Enqueue(CFrame frame);
  /// Answers every queued message.
  void Process();
  /// Whether a queued message changes a buffer or the settings, which
  /// outdates a build in progress.
  bool ChangeQueued() const { return m_ChangesQueued > 0; }

  /// Milliseconds until a check is due: 0 now, -1 none pending.
  int MillisecondsToCheck() const;
  /// Runs the checks that are due. `interrupted` is asked during builds
  /// and between them; true stops (the check stays pending).
  void RunChecks(const std::function<bool()> &interrupted);

  bool Exited() const { return m_Exited; }
  int ExitCode() const { return m_ShutDown ? 0 : 1; }
  void SetDebounce(std::chrono::milliseconds debounce) { m_Debounce = debounce; }

private:
  struct CSlot {
    std::unique_ptr<CProgram> program;
    bool dirty = true;
    Clock::time_point due;
    /// Files published with diagnostics by this program.
    std::set<std::string> published;
    /// What was last published for each file no editor has open.
    std::map<std::string, std::vector<CDiagnostic>> shown;
    std::map<std::string, std::unique_ptr<CFileIndex>> indexes;
    /// The files the build read from disk (no buffer standing in), as they
    /// were after it: a change there, by whatever program, outdates it.
    std::vector<std::pair<std::string, CDiskStamp>> stamps;
  };

  void Handle(CIncoming message);
  json Request(const std::string &method, const json &params);
  void Notification(const std::string &method, const json &params);
  json Initialize(const json &params);
  void Configure(const json &settings);
  void DidOpen(const json &params);
  void DidChange(const json &params);
  json Feature(const std::string &method, const json &params);

  std::string MainOf(const std::string &path);
  /// Makes a program of every main file wanted, and drops the others.
  void Reassign();
  /// Marks the programs that read `path` (and the buffer's own) for a
  /// check in `delay`.
  void Touch(const std::string &path, Clock::duration delay);
  /// Builds a program and publishes its diagnostics; false when stopped.
  bool Check(const std::string &main, CSlot &slot, const std::function<bool()> &interrupted);
  void Publish(const std::string &main, CSlot &slot);
  void PublishFile(const std::string &path, const std::vector<CDiagnostic> *diagnostics, int version);
  void Retire(CSlot &slot);
  /// The program a buffer belongs to, checked first when a check is due.
  CSlot *ReadySlot(const std::string &path);
  const CFileIndex *IndexOf(CSlot &slot, const std::string &path);

  void Send(const json &message) { m_Send(Serialize(message)); }
  void Log(const std::string &text);
  bool IsInstallationFile(const std::string &path) const;

  CSend m_Send;
  std::deque<CIncoming> m_Queue;
  int m_ChangesQueued = 0;
  bool m_Initialized = false;
  bool m_ShutDown = false;
  bool m_Exited = false;
  Encoding m_Encoding = Encoding::Utf16;
  std::chrono::milliseconds m_Debounce{10};
  std::string m_MainFile;
  std::string m_Root;
  CDocuments m_Documents;
  CWorkspace m_Workspace;
  std::map<std::string, CSlot> m_Slots;
  /// The workspace program of each file asked about, until files change.
  std::map<std::string, std::string> m_WorkspaceMains;
  bool m_PrepareRename = false;
  /// Whether the client watches files for the server when asked to.
  bool m_WatchFiles = false;
};

} // namespace lsp

#endif // FERROX_TOOLS_LSP_SERVER_H
