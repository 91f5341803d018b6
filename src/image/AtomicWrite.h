#pragma once
// Replacing a file so that it is always either the old file or the complete new one, and no
// temporary file is left behind, even when the program is killed during the write.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Writes a temporary file in the folder of `path` and renames it over `path`.
// - The temporary file has no name while it is written (O_TMPFILE), so a killed program
//   leaves nothing; it gets a name only for the instant between its link and the rename.
//   Where the file system refuses unnamed files, a named one ("NAME.XXXXXX") is used instead.
// - A symbolic link is followed: the file it leads to is replaced and the link stays.
// - Anything but a regular file there (a FIFO, a device, a folder) is refused with
//   ""PATH" is not a regular file." before anything is written.
// - The new file keeps the old file's owner, group, permission bits (less setuid and
//   setgid), ACL and extended attributes, or has a new file's usual mode.
// - Where a new file could not be all that, the contents are rewritten in place instead
//   (see InPlaceWrite.h): a file with several links, in a folder we may not write, on a bind
//   mount (the rename fails with EXDEV or EBUSY), or whose owner or attributes we may not give.
// - A file without any write permission bit (0444), or one we may not write, is refused with
//   "Permission denied" as a plain write would be. Root may write anything; a file marked
//   read-only for everyone is still refused to root, since replacing it is what the mark
//   guards against.
// On any failure the temporary file is removed, the old file is untouched, and EFileError
// carries the system's message.
void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

// The same, for a file produced piece by piece through the sink `produce` is handed.
void WriteFileAtomically(
    const std::string& path,
    const std::function<void(const std::function<void(const std::uint8_t*, std::size_t)>&)>& produce);

// A seam for tests: called before each step of a save; a non-zero answer makes that step
// fail with that error number, as a full disk or a lost permission would. EOPNOTSUPP at
// CreateUnnamed acts as a file system without unnamed files, which takes the named fallback.
// A fault at Identity (the new file taking the old one's owner and attributes), or EXDEV or
// EBUSY at Rename, sends the save to the in-place write, whose steps are Backup (asked per
// piece copied and at its sync), Overwrite (per piece), Sync, and Restore after a failure.
enum class WriteStep { Create, CreateUnnamed, Write, Sync, Link, Close, Rename, Identity, Backup, Overwrite, Restore };
void SetWriteFaultInjector(std::function<int(WriteStep)> injector);

// The error the test seam answers for `step`, or 0; each step of a save asks it first.
int InjectedFault(WriteStep step);

// The name of a temporary file an atomic write has in its folder right now, or nullptr.
const char* TemporaryFileInProgress();

// Unlinks the named temporary files of every atomic write in flight, on any thread. Safe to
// call from a signal handler, so that a program killed during saves leaves none behind.
void UnlinkTemporaryFilesInProgress();
