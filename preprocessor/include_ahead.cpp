//===- preprocessor/include_ahead.cpp - Included files lexed ahead --------===//

#include "preprocessor/include_ahead.h"

#include "preprocessor/include_files.h"
#include "util/platform.h"

#include <atomic>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <unordered_set>

namespace {

/// At most this many files, each of at most kMaxAheadFileSize bytes and
/// kMaxAheadBytes in all, are lexed ahead: a file lexed ahead and not yet
/// included holds its lines twice. At most this many names are looked at.
constexpr std::size_t kMaxAheadFiles = 256;
constexpr std::uint64_t kMaxAheadFileSize = std::uint64_t{64} << 20;
constexpr std::uint64_t kMaxAheadBytes = std::uint64_t{256} << 20;
constexpr std::size_t kMaxNamesSeen = 4096;

/// Where a file stands. The helper moves it from kPending to kLexing to
/// kDone; the main thread moves it from kPending to kSkipped when it needs
/// the file before the helper started on it, and then lexes it itself.
enum State : int { kPending, kLexing, kDone, kSkipped };

struct AheadFile {
  CLexedFile file;
  std::atomic<int> state{kPending};
  /// Taken by an include directive (main thread only).
  bool taken = false;
};

/// The files to lex ahead, in the order noted. The main thread fills slot
/// g_FileCount and then publishes it by raising the count; the helper reads
/// only slots below the count it has seen.
std::unique_ptr<AheadFile> g_Files[kMaxAheadFiles];
std::atomic<std::size_t> g_FileCount{0};
/// Set when no more files will be noted, or the helper must stop.
std::atomic<bool> g_NotesEnded{false};
std::atomic<bool> g_Stop{false};
platform::Thread *g_Helper = nullptr;
/// Wakes the helper: a file noted, the notes ended, or stop.
platform::Waker *g_HelperWaker = nullptr;
/// Wakes the main thread: a file lexed ahead.
platform::Waker *g_MainWaker = nullptr;

std::unordered_set<std::string> g_NamesSeen;
std::uint64_t g_AheadBytes = 0;
std::int32_t g_Taken = 0;

void LexFiles(void *) {
  std::size_t next = 0;
  while (!g_Stop.load(std::memory_order_relaxed)) {
    if (next == g_FileCount.load(std::memory_order_acquire)) {
      if (g_NotesEnded.load(std::memory_order_acquire) &&
          next == g_FileCount.load(std::memory_order_acquire))
        return;
      platform::WaitToBeWoken(g_HelperWaker);
      continue;
    }
    AheadFile &ahead = *g_Files[next++];
    int expected = kPending;
    if (!ahead.state.compare_exchange_strong(expected, kLexing,
                                             std::memory_order_acq_rel))
      continue;
    try {
      LexFileAhead(ahead.file);
    } catch (...) {
      // Out of memory here only means the directive lexes the file itself.
      ahead.file.ok = false;
    }
    ahead.state.store(kDone, std::memory_order_release);
    platform::Wake(g_MainWaker);
  }
}

/// Starts the helper with its wakers; false when the system gives none.
bool StartHelper() {
  if (g_HelperWaker == nullptr)
    g_HelperWaker = platform::NewWaker();
  if (g_MainWaker == nullptr)
    g_MainWaker = platform::NewWaker();
  if (g_HelperWaker == nullptr || g_MainWaker == nullptr)
    return false;
  g_Helper = platform::StartThread(LexFiles, nullptr);
  return g_Helper != nullptr;
}

/// Wakes the helper, if there is one, to look at the notes or the stop.
void WakeHelper() {
  if (g_Helper != nullptr)
    platform::Wake(g_HelperWaker);
}

/// g_NoteInclude while notes are taken.
void NoteInclude(std::string_view name) {
  std::size_t count = g_FileCount.load(std::memory_order_relaxed);
  if (count == kMaxAheadFiles || g_NamesSeen.size() >= kMaxNamesSeen ||
      !g_NamesSeen.emplace(name).second)
    return;
  std::string path = FindIncludeFile(name);
  if (path.empty())
    return;
  platform::FileHandle file = platform::OpenForRead(path);
  if (file == platform::kNoFile)
    return;
  std::uint64_t size = platform::FileSizeOf(file);
  platform::CloseFile(file);
  if (size < kMinAheadFileSize || size > kMaxAheadFileSize ||
      size > kMaxAheadBytes - g_AheadBytes)
    return;
  g_AheadBytes += size;
  g_Files[count] = std::make_unique<AheadFile>();
  g_Files[count]->file.path = std::move(path);
  g_FileCount.store(count + 1, std::memory_order_release);
  if (g_Helper != nullptr) {
    WakeHelper();
  } else if (!StartHelper()) {
    // Without a helper, nothing noted is lexed ahead.
    g_NoteInclude = nullptr;
  }
}

} // namespace

void BeginIncludeNotes() {
  StopLexingAhead();
  g_NoteInclude = NoteInclude;
}

void EndIncludeNotes() {
  g_NoteInclude = nullptr;
  g_NotesEnded.store(true, std::memory_order_release);
  WakeHelper();
}

CLexedFile *TakeLexedAhead(const std::string &path) {
  std::size_t count = g_FileCount.load(std::memory_order_relaxed);
  for (std::size_t i = 0; i < count; ++i) {
    AheadFile &ahead = *g_Files[i];
    if (ahead.taken || ahead.file.path != path)
      continue;
    ahead.taken = true;
    // Not started yet (or no helper could be started): the directive does
    // not wait for it.
    int expected = kPending;
    if (ahead.state.compare_exchange_strong(expected, kSkipped,
                                            std::memory_order_acq_rel))
      return nullptr;
    while (ahead.state.load(std::memory_order_acquire) != kDone)
      platform::WaitToBeWoken(g_MainWaker);
    if (!ahead.file.ok)
      return nullptr;
    ++g_Taken;
    return &ahead.file;
  }
  return nullptr;
}

void StopLexingAhead() {
  g_NoteInclude = nullptr;
  if (g_Helper != nullptr) {
    g_Stop.store(true);
    WakeHelper();
    platform::JoinThread(g_Helper);
    g_Helper = nullptr;
  }
  // A call left over from the last run must not end a wait of the next.
  for (platform::Waker **waker : {&g_HelperWaker, &g_MainWaker}) {
    if (*waker != nullptr) {
      platform::FreeWaker(*waker);
      *waker = nullptr;
    }
  }
  for (std::size_t i = 0; i < g_FileCount.load(); ++i)
    g_Files[i].reset();
  g_FileCount.store(0);
  g_NotesEnded.store(false);
  g_Stop.store(false);
  g_NamesSeen.clear();
  g_AheadBytes = 0;
}

void FinishLexingAheadForTesting() {
  EndIncludeNotes();
  if (g_Helper != nullptr) {
    platform::JoinThread(g_Helper);
    g_Helper = nullptr;
  }
}

std::int32_t LexedAheadFilesTaken() { return g_Taken; }

void ResetIncludeAhead() {
  StopLexingAhead();
  g_Taken = 0;
}
