#pragma once
// The TWAIN Source Manager library: where it is found, loading it, its entry point, and the
// memory functions through which DIB handles are locked and freed.
#include <string>
#include <vector>

#include "TwainTypes.h"

// The paths tried for the manager, in order: the configured path (CORVALUX_TWAIN_DSM) when
// given, the SANE bridge beside the program or in its installed library folder, then the
// TWAIN DSM of the system. The candidates beside the program are left out when its folder is
// unknown (empty) or not absolute.
std::vector<std::string> ManagerCandidates(const char* configuredPath, const std::string& programFolder);

// Loads the first candidate that exists and looks up "DSM_Entry". False when no candidate
// exists, the library does not load, or it has no entry (it is unloaded again then).
bool LoadManagerLibrary();
void UnloadManagerLibrary();
// Null unless a manager is loaded.
DSMENTRYPROC ManagerEntry();
// The manager as the user's messages name it: the library that failed to load or was loaded,
// else the one configured with CORVALUX_TWAIN_DSM, else the TWAIN manager's own name.
std::string ManagerName();
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
