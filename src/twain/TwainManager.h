#pragma once
// The TWAIN Source Manager library: where it is found, loading it, its entry point, and the
// memory functions through which DIB handles are locked and freed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "twain/TwainTypes.h"

// The paths tried for the manager, in order: the configured path (CORVALUX_TWAIN_DSM) alone
// when given; else the SANE bridge beside the program or in its installed library folder,
// then the TWAIN DSM of the system. The candidates beside the program are left out when its
// folder is unknown (empty) or not absolute.
std::vector<std::string> ManagerCandidates(const char* configuredPath, const std::string& programFolder);

// Loads the first candidate that exists and looks up "DSM_Entry". False when no candidate
// exists, the library does not load, or it has no entry (it is unloaded again then).
bool LoadManagerLibrary();
void UnloadManagerLibrary();
// Null unless a manager is loaded.
DSMENTRYPROC ManagerEntry();
// The library the last load found: the one loaded, or the one that would not load.
std::string ManagerName();
// Why the last load failed, as the user reads it: the libraries looked for and the folders
// they are not in, the configured path that names no file, or the library that would not load
// and why.
std::string ManagerLoadFailure();
// The memory functions a 2.x manager hands out through DAT_ENTRYPOINT, used from then on in
// place of those the library exports. All four or none, as at loading.
void UseManagerMemory(const TW_ENTRYPOINT& entryPoint);

// Handles follow the Linux TWAIN convention: a handle is the pointer calloc returned, locking
// answers it, unlocking does nothing, freeing calls free. A manager that exports DSM_MemLock
// and its siblings is asked instead. The functions of the last manager loaded stay in use
// after it is unloaded (it is loaded with RTLD_NODELETE), so images outlive the session.
void FreeHandle(TW_HANDLE handle);

// A handle's block, locked while this lives, with the number of bytes it really holds: a
// transfer's contents are the source's, so nothing in them may say how far to read. The
// allocator knows the size of a calloc block (exactly what was asked for under the
// sanitizers, else rounded up to bytes calloc cleared too). Data() is null for a handle that
// does not lock, or that locks to another address, whose size nothing tells.
class TLockedHandle {
public:
    explicit TLockedHandle(TW_HANDLE handle);
    ~TLockedHandle();
    TLockedHandle(const TLockedHandle&) = delete;
    TLockedHandle& operator=(const TLockedHandle&) = delete;
    const std::uint8_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    TW_HANDLE handle_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};
