//===- tools/lsp/documents.h - Open buffers and files on disk ---*- C++ -*-===//
//
// The texts the server works on: the editor's open buffers (which stand in
// for their files in every build) and, for files no editor has open, the
// files on disk, read once and read again when their size or time changes.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_TOOLS_LSP_DOCUMENTS_H
#define FERROX_TOOLS_LSP_DOCUMENTS_H

#include "tools/lsp/analysis.h"
#include "tools/lsp/text.h"

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace lsp {

/// A file's size and time on disk, to tell whether it changed.
struct CDiskStamp {
  bool exists = false;
  std::uint64_t size = 0;
  std::int64_t time = 0;
  bool operator==(const CDiskStamp &) const = default;
};

struct CDocument {
  std::string uri;
  std::string path; ///< absolute
  std::string languageId;
  int version = 0;
  CText text;
};

class CDocuments final : public CTextSource {
public:
  /// Opens (or replaces) a buffer; returns it.
  CDocument &Open(const std::string &uri, const std::string &path, std::string languageId,
                  int version, std::string text);
  void Close(const std::string &uri);
  CDocument *Find(const std::string &uri);
  CDocument *FindPath(const std::string &path);
  const std::map<std::string, CDocument> &All() const { return m_Documents; }
  /// Keeps the build's copy of a buffer in step after an edit.
  void Changed(const CDocument &document);

  /// The texts that stand in for files, by path.
  const std::unordered_map<std::string, std::string> &Overlay() const { return m_Overlay; }
  std::unordered_map<std::string, int> Versions() const;

  /// The buffer's text, else the file's. A file is looked at on disk once
  /// per pass: one check, one request.
  const CText *Text(const std::string &path) override;
  void NewPass() { ++m_Pass; }
  /// Whether a buffer or a file is at `path`.
  bool Exists(const std::string &path);
  /// The stamp of the file at `path` on disk, whatever buffer stands in
  /// for it.
  static CDiskStamp Stamp(const std::string &path);
  /// The URI to name `path` by: the buffer's own, else a "file:" URI.
  std::string UriOf(const std::string &path) const;

  /// Forgets the files read from disk that `keep` does not name.
  void KeepFiles(const std::vector<std::string> &keep);

private:
  struct CDiskFile {
    std::uint64_t size = 0;
    std::int64_t time = 0;
    std::uint64_t pass = 0;
    bool missing = false;
    CText text;
  };
  std::uint64_t m_Pass = 1;
  std::map<std::string, CDocument> m_Documents; // by URI
  std::unordered_map<std::string, std::string> m_UriOfPath;
  std::unordered_map<std::string, std::string> m_Overlay;
  std::unordered_map<std::string, CDiskFile> m_Disk;
};

} // namespace lsp

#endif // FERROX_TOOLS_LSP_DOCUMENTS_H
