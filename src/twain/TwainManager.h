#pragma once
// The TWAIN Source Manager library: where it is found, loading it, its entry point, and the
// memory functions through which DIB handles are locked and freed.
#include <string>
#include <vector>

#include "TwainTypes.h"

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
TW_MEMREF LockHandle(TW_HANDLE handle);
void UnlockHandle(TW_HANDLE handle);
void FreeHandle(TW_HANDLE handle);
