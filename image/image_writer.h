//===- image/image_writer.h - The destination file --------------*- C++ -*-===//
//
// Owns the destination file and its layout: an optional 16-byte disk header,
// an optional 4-byte boot information field, then the assembled bytes. Keeps
// the offset counter (the address labels receive), the image size and the
// pending zero fill of reserved space. Output is buffered; the position
// reported by GetOutputPosition is always where the next assembled byte
// lands. While no file is open (never opened, or given up after an error)
// writes do nothing but the counters still move.
//
// The image is written to a new temporary file beside the destination and
// takes the destination's place in one step when the build has succeeded;
// until then the destination is not touched, and a failed or interrupted
// build leaves it exactly as it was. A destination that is a device or a
// pipe is written directly.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_IMAGE_IMAGE_WRITER_H
#define FERROX_IMAGE_IMAGE_WRITER_H

#include "util/platform.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

/// Address of the next assembled byte.
extern std::int32_t g_Offset;
/// Assembled bytes written or reserved since the file was opened.
extern std::int32_t g_ImageSize;
/// Reserved bytes not yet written; they become zeros before the next bytes.
extern std::int64_t g_PendingZeroFill;
/// The boot information value.
extern std::uint32_t g_BootInfo;

/// Starts the image for the destination `path` and resets the counters.
/// Reports error 200 when it cannot be created (a missing or read-only
/// folder, a directory), or when the destination is a file this build has
/// read or the file its report goes to.
bool OpenDestinationFile(const std::string &path);
/// For a build that has already failed: when the image is kept in memory
/// (KeepImageInMemory), starts it there as one given up, so that a listing
/// of the failed build still shows its bytes; otherwise does nothing.
void OpenFailedImageInMemory();
/// Writes the 16-byte disk header "Tavrune Disk 10a" (error 201).
bool WriteDiskHeader();
/// Writes the 4-byte boot information field (error 202).
bool WriteBootInfo(std::uint32_t value);
/// Writes g_BootInfo into the boot field at offset 0 (`noDisk`) or 16.
void PatchBootInfo(bool noDisk);

/// The writer's buffer as WriteOutput's inline part sees it: bytes may be
/// copied to g_WriteNext while they fit before g_WriteEnd (no room is given
/// while no file is open or reserved zeros wait to be written).
namespace imagewriter {
extern char *g_WriteNext;
extern char *g_WriteEnd;
/// WriteOutput for every case the inline part does not take.
bool WriteOutputSlow(const void *bytes, std::size_t count);
} // namespace imagewriter

/// The one path for assembled bytes: writes the pending zero fill, then the
/// bytes, and advances g_Offset and g_ImageSize (error 203).
inline bool WriteOutput(const void *bytes, std::size_t count) {
  using imagewriter::g_WriteEnd;
  using imagewriter::g_WriteNext;
  // No room at all (no file, or zeros waiting) always takes the slow path,
  // even for an empty write: it must still write the waiting zeros.
  if (count >= static_cast<std::size_t>(g_WriteEnd - g_WriteNext))
    return imagewriter::WriteOutputSlow(bytes, count);
  if (count != 0)
    std::memcpy(g_WriteNext, bytes, count);
  g_WriteNext += count;
  // The counters are 32-bit and wrap like the machine's addresses.
  g_Offset = static_cast<std::int32_t>(static_cast<std::uint32_t>(g_Offset) +
                                       static_cast<std::uint32_t>(count));
  g_ImageSize = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(g_ImageSize) + static_cast<std::uint32_t>(count));
  return true;
}
/// Reserves `count` bytes: all three counters grow, nothing is written.
void AdvanceOutput(std::int32_t count);
/// File offset at which the next assembled byte lands; 0 with no file open.
std::uint64_t GetOutputPosition();

/// Moves the patch position to `offset` from the start of the file.
void SeekOutput(std::uint64_t offset);
/// Writes bytes at the patch position without touching any counter.
bool WriteOutputRaw(const void *bytes, std::size_t count);

/// Finishes the image and puts it in the destination's place (error 200
/// when the destination has become a file the build read, 203 when it
/// cannot be put there). Called only when no error was reported.
void CloseDestinationFile();
/// Gives up the image, if one is being written: the destination stays as
/// it was.
void DeleteDestinationFile();
bool IsOutputOpen();
/// Size of the image being written; 0 when none is.
std::uint64_t GetOutputFileSize();
/// Size of the image CloseDestinationFile put in place, or -1 when the
/// build left none.
std::int64_t ImageFileSize();

/// The file position of the first assembled byte: 0, 4, 16 or 20, by the
/// header and boot field the image has (SetImageStart).
std::uint32_t ImageStart();
void SetImageStart(std::uint32_t start);

std::int32_t GetOffset();
void SetOffset(std::int32_t offset);
std::int32_t GetImageSize();

/// Makes every later image go to `image` as well (nullptr: no longer),
/// for the programs around a build; with an empty destination path, only
/// there. After an error the file is given up as always, but the image in
/// memory goes on to its end. Memory keeps the first `limit` bytes of the
/// image only (the rest are counted but dropped), so a program that reserves
/// gigabytes before its last byte costs no gigabytes of memory.
void KeepImageInMemory(std::string *image, std::uint64_t limit = UINT64_MAX);

/// True when `file` is the file the image is being written to.
bool IsDestinationFile(const platform::FileIdentity &file);

/// Gives up any image being written and resets all state.
void ResetImageWriter();

#endif // FERROX_IMAGE_IMAGE_WRITER_H
