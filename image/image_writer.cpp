//===- image/image_writer.cpp - The destination file ----------------------===//

#include "image/image_writer.h"

#include "driver/diagnostics.h"
#include "util/files.h"
#include "util/paths.h"

#include <algorithm>
#include <cstring>
#include <vector>

std::int32_t g_Offset = 0;
std::int32_t g_ImageSize = 0;
std::int64_t g_PendingZeroFill = 0;
std::uint32_t g_BootInfo = 0xFFFFFFFFu;

namespace imagewriter {
char *g_WriteNext = nullptr;
char *g_WriteEnd = nullptr;
} // namespace imagewriter

using imagewriter::g_WriteEnd;
using imagewriter::g_WriteNext;

namespace {

constexpr char kDiskHeader[16] = {'T', 'a', 'v', 'r', 'u', 'n', 'e', ' ',
                                  'D', 'i', 's', 'k', ' ', '1', '0', 'a'};
/// Writes reach the disk in blocks of at most this many bytes.
constexpr std::size_t kBufferSize = 1 << 16;

/// Everything the writer keeps about the image being written.
struct CWriterState {
  /// The file the image is written to: a new temporary file beside the
  /// destination, which takes the destination's place only when the build
  /// succeeds; or the destination itself when it is a device or pipe,
  /// which nothing can be put in the place of.
  platform::FileHandle file = platform::kNoFile;
  /// The path the image is to reach: the destination with its symbolic
  /// links followed, so that a link stays a link.
  std::string path;
  /// The temporary file; empty while writing the destination itself.
  std::string tempPath;
  platform::FileIdentity identity;
  /// Size of the image put in place by the last build, or -1.
  std::int64_t imageFileSize = -1;
  /// File offset at which the buffered bytes begin: every byte before it
  /// is written.
  std::uint64_t filePointer = 0;
  std::vector<char> buffer;
  std::uint64_t patchPosition = 0;
  /// Patches go through a window of the file: the bytes around a patch are
  /// read once, patched in memory and written back when the next patch
  /// falls elsewhere, so thousands of 4-byte patches cost a few large
  /// writes.
  std::vector<char> window;
  std::uint64_t windowStart = 0;
  std::size_t windowSize = 0;
  bool windowDirty = false;
  std::uint32_t start = 0;
  /// Whether an image is being written, to a file or to memory only.
  bool open = false;
  /// The image was given up by an error; with the image kept in memory it
  /// is still written there, for a listing of the failed build.
  bool failed = false;
};

CWriterState g_Writer;
/// Where every byte of the image also goes, when a program around the build
/// asked for it (KeepImageInMemory); with no destination path, only there.
std::string *g_Memory = nullptr;
/// Bytes of the image that memory keeps; the bytes beyond are dropped, so
/// that a legitimate program with a huge reservation costs a language
/// server no gigabytes.
std::uint64_t g_MemoryLimit = UINT64_MAX;
/// The size of the image in memory as written, also past the limit.
std::uint64_t g_MemoryEnd = 0;

/// Temporary files made by this process, for unique names; never reset, so
/// that builds in one process never reuse a name.
std::uint32_t g_TempFiles = 0;

/// Counters are 32-bit and wrap like the machine's addresses.
std::int32_t Wrap(std::int32_t value, std::int64_t delta) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) +
                                   static_cast<std::uint32_t>(delta));
}

/// Bytes in the buffer, not yet in the file.
std::size_t Buffered() {
  return static_cast<std::size_t>(g_WriteNext - g_Writer.buffer.data());
}

/// Lets WriteOutput copy straight into the buffer while a file is open and
/// no reserved zeros wait; otherwise every write takes the slow path.
void UpdateRoom() {
  bool fast = g_Writer.open && g_PendingZeroFill <= 0 &&
              !g_Writer.buffer.empty();
  g_WriteEnd = fast ? g_Writer.buffer.data() + kBufferSize : g_WriteNext;
}

void SetBuffered(std::size_t count) {
  g_WriteNext = g_Writer.buffer.data() + count;
  UpdateRoom();
}

/// Writes at a position of the image: to the file, and to memory when kept.
bool WriteAt(std::uint64_t offset, const void *bytes, std::size_t count) {
  if (g_Memory != nullptr) {
    g_MemoryEnd = std::max<std::uint64_t>(g_MemoryEnd, offset + count);
    std::size_t kept = offset >= g_MemoryLimit
                           ? 0
                           : static_cast<std::size_t>(
                                 std::min<std::uint64_t>(count, g_MemoryLimit - offset));
    if (kept != 0 && g_Memory->size() < offset + kept)
      g_Memory->resize(offset + kept);
    if (kept != 0)
      std::memcpy(g_Memory->data() + offset, bytes, kept);
  }
  return g_Writer.file == platform::kNoFile ||
         platform::WriteBytesAt(g_Writer.file, offset, bytes, count);
}

/// Reads `count` bytes of the image written so far.
bool ReadAt(std::uint64_t offset, void *bytes, std::size_t count) {
  if (g_Writer.file != platform::kNoFile)
    return platform::ReadBytesAt(g_Writer.file, offset, bytes, count);
  if (g_Memory == nullptr || offset + count > g_MemoryEnd)
    return false;
  // Bytes past the memory limit were not kept; they read as zeros.
  std::size_t kept = offset >= g_Memory->size()
                         ? 0
                         : std::min(count, static_cast<std::size_t>(g_Memory->size() - offset));
  if (kept != 0)
    std::memcpy(bytes, g_Memory->data() + offset, kept);
  std::memset(static_cast<char *>(bytes) + kept, 0, count - kept);
  return true;
}

/// The size of the image written so far.
std::uint64_t WrittenSize() {
  if (g_Writer.file != platform::kNoFile)
    return platform::FileSizeOf(g_Writer.file);
  return g_Memory != nullptr ? g_MemoryEnd : 0;
}

bool Flush() {
  std::size_t buffered = Buffered();
  if (buffered == 0)
    return true;
  bool ok = WriteAt(g_Writer.filePointer, g_Writer.buffer.data(),
                                   buffered);
  g_Writer.filePointer += buffered;
  SetBuffered(0);
  return ok;
}

bool FlushWindow() {
  if (!g_Writer.windowDirty)
    return true;
  g_Writer.windowDirty = false;
  return WriteAt(g_Writer.windowStart, g_Writer.window.data(),
                                g_Writer.windowSize);
}

void DropWindow() {
  g_Writer.windowDirty = false;
  g_Writer.windowSize = 0;
}

bool FailWrite() {
  ReportError(203, "Cannot write to output file");
  return false;
}

/// Writes directly at the file pointer, outside the buffer.
bool WriteDirect(const void *bytes, std::size_t count) {
  if (!Flush())
    return false;
  bool ok = WriteAt(g_Writer.filePointer, bytes, count);
  g_Writer.filePointer += count;
  return ok;
}

bool WriteZeroFill(std::int64_t count) {
  std::size_t buffered = Buffered();
  std::size_t room = kBufferSize - buffered;
  if (static_cast<std::uint64_t>(count) <= room) {
    std::memset(g_Writer.buffer.data() + buffered, 0, static_cast<std::size_t>(count));
    SetBuffered(buffered + static_cast<std::size_t>(count));
    return true;
  }
  // Large reservations skip ahead in the file, whose gap reads as zeros.
  // The last zero is written so the file reaches its full length even if
  // no further bytes follow.
  if (!Flush())
    return false;
  g_Writer.filePointer += static_cast<std::uint64_t>(count) - 1;
  g_Writer.buffer[0] = 0;
  SetBuffered(1);
  return true;
}

} // namespace

namespace {

/// Whether writing the image to `destination` would destroy something the
/// build or its user still reads: a file the build has read, or the file
/// its report goes to.
bool IsProtected(const platform::PathInfo &destination) {
  if (destination.kind == platform::FileKind::Missing)
    return false;
  if (WasFileRead(destination.identity))
    return true;
  // A terminal or /dev/null may take both the report and an image.
  for (int stream : {1, 2}) {
    platform::PathInfo output = platform::InfoOfStandardStream(stream);
    if (!output.characterDevice &&
        platform::SameFile(output.identity, destination.identity))
      return true;
  }
  return false;
}

/// Creates the temporary file beside `target`: a hidden name that shows the
/// file it stands for, the program that made it and a part of its own
/// (".prog.img.ferrox-4242-1"), so that concurrent builds never share one.
platform::FileHandle CreateTempFile(const std::string &target) {
  std::string folder = DirectoryPart(target);
  // Room for the parts added, within the usual 255 bytes of a name.
  std::string name = FileNamePart(target).substr(0, 200);
  for (int attempt = 0; attempt < 100; ++attempt) {
    g_Writer.tempPath = folder + "." + name + "." + std::string(platform::kProgramName) +
                 "-" + std::to_string(platform::ProcessId()) + "-" +
                 std::to_string(++g_TempFiles);
    // Named before it exists, so that an interruption right after its
    // creation still removes it.
    platform::RemoveOnInterrupt(g_Writer.tempPath);
    platform::FileHandle file = platform::CreateNewFile(g_Writer.tempPath);
    if (file != platform::kNoFile)
      return file;
    if (platform::InfoOfPath(g_Writer.tempPath).kind == platform::FileKind::Missing)
      break; // not a name taken: the folder is missing or cannot be written
  }
  platform::RemoveOnInterrupt(std::string());
  g_Writer.tempPath.clear();
  return platform::kNoFile;
}

/// Closes the file and forgets it; the image stays open only in memory.
void CloseFile(bool keepMemory) {
  platform::CloseFile(g_Writer.file);
  g_Writer.file = platform::kNoFile;
  g_Writer.open = keepMemory && g_Memory != nullptr;
  UpdateRoom();
  if (!g_Writer.open)
    DropWindow();
}

/// Removes the temporary file, if any.
void RemoveTempFile() {
  if (g_Writer.tempPath.empty())
    return;
  platform::RemoveFile(g_Writer.tempPath);
  platform::RemoveOnInterrupt(std::string());
  g_Writer.tempPath.clear();
}

} // namespace

bool OpenDestinationFile(const std::string &path) {
  g_Offset = 0;
  g_ImageSize = 0;
  g_Writer.filePointer = 0;
  g_Writer.imageFileSize = -1;
  SetBuffered(0);
  if (g_Memory != nullptr) {
    g_Memory->clear();
    g_MemoryEnd = 0;
    if (path.empty()) {
      g_Writer.open = true;
      g_Writer.buffer.resize(kBufferSize);
      SetBuffered(0);
      return true;
    }
  }
  g_Writer.path = platform::FinalPath(path);
  platform::PathInfo existing = platform::InfoOfPath(g_Writer.path);
  if (!IsProtected(existing) && existing.kind != platform::FileKind::Directory) {
    if (existing.kind == platform::FileKind::Other) {
      g_Writer.file = platform::OpenForAppend(g_Writer.path);
    } else {
      g_Writer.file = CreateTempFile(g_Writer.path);
      // The new image keeps the permissions of the file it replaces.
      if (g_Writer.file != platform::kNoFile && existing.kind == platform::FileKind::Regular)
        platform::SetPermissions(g_Writer.file, existing.permissions);
    }
  }
  if (g_Writer.file == platform::kNoFile) {
    ReportError(200, "Cannot open destination file");
    OpenFailedImageInMemory();
    return false;
  }
  g_Writer.identity = platform::IdentityOfFile(g_Writer.file);
  g_Writer.open = true;
  g_Writer.buffer.resize(kBufferSize);
  SetBuffered(0);
  return true;
}

void OpenFailedImageInMemory() {
  if (g_Memory == nullptr)
    return;
  g_Offset = 0;
  g_ImageSize = 0;
  g_Writer.filePointer = 0;
  g_Writer.imageFileSize = -1;
  g_Memory->clear();
  g_Writer.open = true;
  g_Writer.failed = true;
  g_Writer.buffer.resize(kBufferSize);
  SetBuffered(0);
}

bool WriteDiskHeader() {
  if (!g_Writer.open)
    return true;
  if (!WriteDirect(kDiskHeader, sizeof kDiskHeader)) {
    ReportError(201, "Cannot write disk header");
    return false;
  }
  return true;
}

bool WriteBootInfo(std::uint32_t value) {
  if (!g_Writer.open)
    return true;
  unsigned char bytes[4] = {
      static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
      static_cast<unsigned char>(value >> 16),
      static_cast<unsigned char>(value >> 24)};
  if (!WriteDirect(bytes, sizeof bytes)) {
    ReportError(202, "Cannot write boot information");
    return false;
  }
  return true;
}

void PatchBootInfo(bool noDisk) {
  if (!g_Writer.open)
    return;
  if (!Flush()) {
    FailWrite();
    return;
  }
  if (!FlushWindow()) {
    FailWrite();
    return;
  }
  std::uint32_t value = g_BootInfo;
  unsigned char bytes[4] = {
      static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
      static_cast<unsigned char>(value >> 16),
      static_cast<unsigned char>(value >> 24)};
  if (!WriteAt(noDisk ? 0 : 16, bytes, sizeof bytes))
    ReportError(202, "Cannot write boot information");
}

bool imagewriter::WriteOutputSlow(const void *bytes, std::size_t count) {
  if (g_Writer.open) {
    if (g_PendingZeroFill > 0) {
      std::int64_t fill = g_PendingZeroFill;
      g_PendingZeroFill = 0;
      UpdateRoom();
      if (!WriteZeroFill(fill))
        return FailWrite();
    }
    std::size_t buffered = Buffered();
    if (count <= kBufferSize - buffered) {
      if (count > 0)
        std::memcpy(g_Writer.buffer.data() + buffered, bytes, count);
      SetBuffered(buffered + count);
    } else if (count < kBufferSize) {
      if (!Flush())
        return FailWrite();
      std::memcpy(g_Writer.buffer.data(), bytes, count);
      SetBuffered(count);
    } else if (!WriteDirect(bytes, count)) {
      return FailWrite();
    }
  }
  g_Offset = Wrap(g_Offset, static_cast<std::int64_t>(count));
  g_ImageSize = Wrap(g_ImageSize, static_cast<std::int64_t>(count));
  return true;
}

void AdvanceOutput(std::int32_t count) {
  g_PendingZeroFill += count;
  UpdateRoom();
  g_Offset = Wrap(g_Offset, count);
  g_ImageSize = Wrap(g_ImageSize, count);
}

std::uint64_t GetOutputPosition() {
  if (!g_Writer.open)
    return 0;
  std::int64_t pending = g_PendingZeroFill > 0 ? g_PendingZeroFill : 0;
  return g_Writer.filePointer + Buffered() + static_cast<std::uint64_t>(pending);
}

void SeekOutput(std::uint64_t offset) {
  if (!g_Writer.open)
    return;
  if (!Flush()) {
    FailWrite();
    return;
  }
  g_Writer.patchPosition = offset;
}

bool WriteOutputRaw(const void *bytes, std::size_t count) {
  if (!g_Writer.open)
    return true;
  std::uint64_t at = g_Writer.patchPosition;
  g_Writer.patchPosition += count;
  bool inWindow = at >= g_Writer.windowStart && g_Writer.windowSize >= count &&
                  at - g_Writer.windowStart <= g_Writer.windowSize - count;
  if (!inWindow) {
    if (!FlushWindow())
      return FailWrite();
    DropWindow();
    // The window covers the patch and what follows it, up to the end of
    // the bytes written so far.
    std::uint64_t end = g_Writer.filePointer + Buffered();
    std::uint64_t available = end > at ? end - at : 0;
    std::size_t size = static_cast<std::size_t>(
        std::min<std::uint64_t>(available, kBufferSize));
    if (size < count) {
      if (!WriteAt(at, bytes, count))
        return FailWrite();
      return true;
    }
    g_Writer.window.resize(kBufferSize);
    if (!Flush() ||
        !ReadAt(at, g_Writer.window.data(), size))
      return FailWrite();
    g_Writer.windowStart = at;
    g_Writer.windowSize = size;
  }
  std::memcpy(g_Writer.window.data() + (at - g_Writer.windowStart), bytes, count);
  g_Writer.windowDirty = true;
  return true;
}

void CloseDestinationFile() {
  if (!g_Writer.open)
    return;
  if (!Flush() || !FlushWindow()) {
    FailWrite(); // which discards the image
    return;
  }
  std::uint64_t size = WrittenSize();
  CloseFile(false);
  if (g_Writer.failed)
    return;
  if (g_Writer.tempPath.empty()) {
    g_Writer.imageFileSize = static_cast<std::int64_t>(size);
    return;
  }
  // The build may have read the destination after it was opened (an
  // includebin of it): it is left as it was, like any file the build reads.
  if (IsProtected(platform::InfoOfPath(g_Writer.path))) {
    ReportError(200, "Cannot open destination file");
    RemoveTempFile();
    return;
  }
  if (!platform::RenameOver(g_Writer.tempPath, g_Writer.path)) {
    ReportError(203, "Cannot write to output file");
    RemoveTempFile();
    return;
  }
  platform::RemoveOnInterrupt(std::string());
  g_Writer.tempPath.clear();
  g_Writer.imageFileSize = static_cast<std::int64_t>(size);
}

void DeleteDestinationFile() {
  if (!g_Writer.open || g_Writer.failed)
    return;
  g_Writer.failed = true;
  if (g_Memory != nullptr) {
    // The bytes so far reach memory before the file is given up.
    Flush();
  } else {
    SetBuffered(0);
  }
  CloseFile(true);
  RemoveTempFile();
}

bool IsOutputOpen() { return g_Writer.open; }

void KeepImageInMemory(std::string *image, std::uint64_t limit) {
  g_Memory = image;
  g_MemoryLimit = limit;
  g_MemoryEnd = image != nullptr ? image->size() : 0;
}

std::uint64_t GetOutputFileSize() {
  if (!g_Writer.open)
    return 0;
  if (!Flush() || !FlushWindow()) {
    FailWrite();
    return 0;
  }
  return WrittenSize();
}

std::int64_t ImageFileSize() { return g_Writer.imageFileSize; }

std::uint32_t ImageStart() { return g_Writer.start; }
void SetImageStart(std::uint32_t start) { g_Writer.start = start; }

std::int32_t GetOffset() { return g_Offset; }
void SetOffset(std::int32_t offset) { g_Offset = offset; }
std::int32_t GetImageSize() { return g_ImageSize; }

bool IsDestinationFile(const platform::FileIdentity &file) {
  return g_Writer.file != platform::kNoFile && platform::SameFile(file, g_Writer.identity);
}

void ResetImageWriter() {
  DeleteDestinationFile();
  CloseFile(false);
  g_Writer = CWriterState();
  g_Offset = 0;
  g_ImageSize = 0;
  g_PendingZeroFill = 0;
  g_BootInfo = 0xFFFFFFFFu;
  SetBuffered(0);
}
