// The library's exports: the Source Manager's entry point and its memory functions. Handles
// are plain calloc blocks: locking answers the block itself, unlocking does nothing.
#include <cstdlib>
#include <new>

#include "twain/sane/SaneManager.h"

#define DSM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
// Made on first use and never destroyed: the program may still free handles, and Qt is gone,
// when static objects are torn down at exit.
sanedsm::TManager& Manager() {
    static sanedsm::TManager* manager = new sanedsm::TManager;
    return *manager;
}
}  // namespace

DSM_EXPORT TW_UINT16 DSM_Entry(pTW_IDENTITY origin, pTW_IDENTITY destination, TW_UINT32 dg, TW_UINT16 dat,
                               TW_UINT16 msg, TW_MEMREF data) {
    // Nothing may unwind into the caller.
    try {
        return Manager().Entry(origin, destination, dg, dat, msg, data);
    } catch (...) {
        return TWRC_FAILURE;
    }
}

DSM_EXPORT TW_HANDLE DSM_MemAllocate(TW_UINT32 size) { return std::calloc(size ? size : 1, 1); }

DSM_EXPORT void DSM_MemFree(TW_HANDLE handle) { std::free(handle); }

DSM_EXPORT TW_MEMREF DSM_MemLock(TW_HANDLE handle) { return handle; }

DSM_EXPORT void DSM_MemUnlock(TW_HANDLE) {}
