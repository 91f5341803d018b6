#include "TwainManager.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>

namespace {
void* ManagerLibrary = nullptr;
DSMENTRYPROC Entry = nullptr;

struct TMemoryFunctions {
    DSM_MEMFREE Free = nullptr;
    DSM_MEMLOCK Lock = nullptr;
    DSM_MEMUNLOCK Unlock = nullptr;
};
TMemoryFunctions Memory;
// The library the last load found, whether it loaded or not; empty when none existed.
std::string FoundPath;

std::string ProgramFolder() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath().toStdString();
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string();
}

template <typename Function>
Function Lookup(void* library, const char* name) {
    return reinterpret_cast<Function>(dlsym(library, name));
}
}  // namespace

std::vector<std::string> ManagerCandidates(const char* configuredPath, const std::string& programFolder) {
    std::vector<std::string> paths;
    if (configuredPath && *configuredPath) paths.emplace_back(configuredPath);
    const std::filesystem::path program(programFolder);
    // An unknown program folder would make these relative to the current folder, where
    // anyone could place a library: then they are skipped.
    if (program.is_absolute()) {
        paths.push_back((program / "libcorvalux-twain-sane.so").string());
        // Where an installation puts it: the library folder beside the program's bin folder.
        for (const char* libraryFolder : {"lib", "lib/x86_64-linux-gnu"}) {
            const std::filesystem::path installed =
                program / ".." / libraryFolder / "corvalux" / "libcorvalux-twain-sane.so";
            paths.push_back(installed.lexically_normal().string());
        }
    }
    for (const char* folder : {"/usr/local/lib", "/usr/lib/x86_64-linux-gnu", "/usr/lib"})
        paths.push_back(std::string(folder) + "/libtwaindsm.so.2");
    return paths;
}

bool LoadManagerLibrary() {
    if (Entry) return true;
    FoundPath.clear();
    for (const std::string& path : ManagerCandidates(std::getenv("CORVALUX_TWAIN_DSM"), ProgramFolder())) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) continue;
        FoundPath = path;
        // The first library that exists is the manager; a broken one is not passed over.
        // RTLD_NODELETE keeps its code mapped after dlclose: handles made by its sources may
        // still be freed through its functions, and a source's late callbacks stay valid.
        void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!library) return false;
        const auto entry = Lookup<DSMENTRYPROC>(library, "DSM_Entry");
        if (!entry) {
            dlclose(library);
            return false;
        }
        ManagerLibrary = library;
        Entry = entry;
        const auto free = Lookup<DSM_MEMFREE>(library, "DSM_MemFree");
        const auto lock = Lookup<DSM_MEMLOCK>(library, "DSM_MemLock");
        const auto unlock = Lookup<DSM_MEMUNLOCK>(library, "DSM_MemUnlock");
        // All four or none: a manager with a partial set is treated as plain calloc/free.
        if (free && lock && unlock && dlsym(library, "DSM_MemAllocate"))
            Memory = {free, lock, unlock};
        else
            Memory = {};
        return true;
    }
    return false;
}

void UnloadManagerLibrary() {
    if (ManagerLibrary) dlclose(ManagerLibrary);
    ManagerLibrary = nullptr;
    Entry = nullptr;
}

DSMENTRYPROC ManagerEntry() { return Entry; }

std::string ManagerName() {
    if (!FoundPath.empty()) return FoundPath;
    const char* configured = std::getenv("CORVALUX_TWAIN_DSM");
    return configured && *configured ? configured : "libtwaindsm.so.2";
}

void UseManagerMemory(const TW_ENTRYPOINT& entryPoint) {
    if (entryPoint.DSM_MemAllocate && entryPoint.DSM_MemFree && entryPoint.DSM_MemLock && entryPoint.DSM_MemUnlock)
        Memory = {reinterpret_cast<DSM_MEMFREE>(entryPoint.DSM_MemFree),
                  reinterpret_cast<DSM_MEMLOCK>(entryPoint.DSM_MemLock),
                  reinterpret_cast<DSM_MEMUNLOCK>(entryPoint.DSM_MemUnlock)};
}

TW_MEMREF LockHandle(TW_HANDLE handle) {
    if (!handle) return nullptr;
    return Memory.Lock ? Memory.Lock(handle) : handle;
}

void UnlockHandle(TW_HANDLE handle) {
    if (handle && Memory.Unlock) Memory.Unlock(handle);
}

void FreeHandle(TW_HANDLE handle) {
    if (!handle) return;
    if (Memory.Free)
        Memory.Free(handle);
    else
        std::free(handle);
}
