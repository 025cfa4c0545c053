//===- tools/lsp/documents.cpp - Open buffers and files on disk -----------===//

#include "tools/lsp/documents.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unordered_set>

namespace lsp {

namespace {

/// Files larger than this are not read for positions (ferrox itself
/// refuses sources of 2 GiB).
constexpr std::uint64_t kMaxDiskFile = std::uint64_t{256} << 20;

bool StatFile(const std::string &path, std::uint64_t &size, std::int64_t &time) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return false;
  size = static_cast<std::uint64_t>(info.st_size);
  time = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return true;
}

} // namespace

CDocument &CDocuments::Open(const std::string &uri, const std::string &path,
                            std::string languageId, int version, std::string text) {
  CDocument &document = m_Documents[uri];
  if (!document.path.empty() && document.path != path) {
    m_Overlay.erase(document.path);
    m_UriOfPath.erase(document.path);
  }
  document.uri = uri;
  document.path = path;
  document.languageId = std::move(languageId);
  document.version = version;
  document.text = CText(std::move(text));
  m_UriOfPath[path] = uri;
  Changed(document);
  return document;
}

void CDocuments::Changed(const CDocument &document) {
  m_Overlay[document.path] = document.text.Str();
}

void CDocuments::Close(const std::string &uri) {
  auto found = m_Documents.find(uri);
  if (found == m_Documents.end())
    return;
  m_Overlay.erase(found->second.path);
  m_UriOfPath.erase(found->second.path);
  m_Documents.erase(found);
}

CDocument *CDocuments::Find(const std::string &uri) {
  auto found = m_Documents.find(uri);
  return found != m_Documents.end() ? &found->second : nullptr;
}

CDocument *CDocuments::FindPath(const std::string &path) {
  auto uri = m_UriOfPath.find(path);
  return uri != m_UriOfPath.end() ? Find(uri->second) : nullptr;
}

std::unordered_map<std::string, int> CDocuments::Versions() const {
  std::unordered_map<std::string, int> versions;
  for (const auto &[uri, document] : m_Documents)
    versions[document.path] = document.version;
  return versions;
}

const CText *CDocuments::Text(const std::string &path) {
  if (CDocument *document = FindPath(path))
    return &document->text;
  auto found = m_Disk.find(path);
  if (found != m_Disk.end() && found->second.pass == m_Pass)
    return found->second.missing ? nullptr : &found->second.text;
  CDiskFile &file = found != m_Disk.end() ? found->second : m_Disk[path];
  file.pass = m_Pass;
  std::uint64_t size = 0;
  std::int64_t time = 0;
  if (!StatFile(path, size, time) || size > kMaxDiskFile) {
    file.missing = true;
    file.text = CText();
    return nullptr;
  }
  if (!file.missing && file.size == size && file.time == time && found != m_Disk.end())
    return &file.text;
  std::ifstream in(path, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  file.missing = !in.is_open();
  file.size = size;
  file.time = time;
  file.text = CText(std::move(content));
  return file.missing ? nullptr : &file.text;
}

bool CDocuments::Exists(const std::string &path) {
  std::uint64_t size;
  std::int64_t time;
  auto found = m_Disk.find(path);
  if (found != m_Disk.end() && found->second.pass == m_Pass)
    return !found->second.missing;
  return FindPath(path) != nullptr || StatFile(path, size, time);
}

CDiskStamp CDocuments::Stamp(const std::string &path) {
  CDiskStamp stamp;
  stamp.exists = StatFile(path, stamp.size, stamp.time);
  return stamp;
}

std::string CDocuments::UriOf(const std::string &path) const {
  auto uri = m_UriOfPath.find(path);
  return uri != m_UriOfPath.end() ? uri->second : UriOfPath(path);
}

void CDocuments::KeepFiles(const std::vector<std::string> &keep) {
  std::unordered_set<std::string> kept(keep.begin(), keep.end());
  for (auto it = m_Disk.begin(); it != m_Disk.end();)
    it = kept.count(it->first) != 0 ? std::next(it) : m_Disk.erase(it);
}

} // namespace lsp
