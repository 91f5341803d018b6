#include "twain/TwainManager.h"

#include <dlfcn.h>
#include <malloc.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {
constexpr const char* ConfiguredVariable = "CORVALUX_TWAIN_DSM";

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
// Why the last load failed.
std::string LoadFailure;

bool Failed(const std::string& why) {
    LoadFailure = "Unable to load Source Manager" + why;
    return false;
}

// "a", "a or b", "a, b or c".
std::string Alternatives(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
    return text;
}

// The paths looked for, by library, in the order first looked for: "a.so in /x or /y; b.so in /z".
std::string WhereLookedFor(const std::vector<std::string>& paths) {
    std::vector<std::pair<std::string, std::vector<std::string>>> libraries;
    for (const std::filesystem::path path : paths) {
        const std::string name = path.filename().string();
        auto library = std::find_if(libraries.begin(), libraries.end(), [&](const auto& l) { return l.first == name; });
        if (library == libraries.end()) library = libraries.insert(libraries.end(), {name, {}});
        library->second.push_back(path.parent_path().string());
    }
    std::string text;
    for (const auto& [name, folders] : libraries)
        text += (text.empty() ? "" : "; ") + name + " in " + Alternatives(folders);
    return text;
}

void UnlockHandle(TW_HANDLE handle) {
    if (Memory.Unlock) Memory.Unlock(handle);
}

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
    // The user's choice stands: a missing file is reported, never passed over for another.
    if (configuredPath && *configuredPath) return {configuredPath};
    std::vector<std::string> paths;
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
    const char* configured = std::getenv(ConfiguredVariable);
    const std::vector<std::string> candidates = ManagerCandidates(configured, ProgramFolder());
    std::error_code error;
    const auto found = std::find_if(candidates.begin(), candidates.end(), [&error](const std::string& path) {
        return std::filesystem::is_regular_file(path, error);
    });
    if (found == candidates.end()) {
        if (configured && *configured)
            return Failed(
                std::string(": ") + ConfiguredVariable + " names " + configured +
                (std::filesystem::exists(configured, error) ? ", which is not a file." : ", which does not exist."));
        return Failed(": none of these was found: " + WhereLookedFor(candidates) + ". " + ConfiguredVariable +
                      " may name one elsewhere.");
    }
    // The first library that exists is the manager; a broken one is not passed over.
    FoundPath = *found;
    // Loaded by its absolute path, so that a bare file name is not looked up in the system's
    // library folders instead. RTLD_NODELETE keeps its code mapped after dlclose: handles made
    // by its sources may still be freed through its functions, and a source's late callbacks
    // stay valid.
    void* library = dlopen(std::filesystem::absolute(FoundPath, error).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) {
        const char* why = dlerror();
        return Failed(" (" + FoundPath + "): " + (why ? why : "the library does not load") + ".");
    }
    const auto entry = Lookup<DSMENTRYPROC>(library, "DSM_Entry");
    if (!entry) {
        dlclose(library);
        return Failed(" (" + FoundPath + "): the library has no DSM_Entry function.");
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

void UnloadManagerLibrary() {
    if (ManagerLibrary) dlclose(ManagerLibrary);
    ManagerLibrary = nullptr;
    Entry = nullptr;
}

DSMENTRYPROC ManagerEntry() { return Entry; }

std::string ManagerName() { return FoundPath; }

std::string ManagerLoadFailure() { return LoadFailure; }

void UseManagerMemory(const TW_ENTRYPOINT& entryPoint) {
    if (entryPoint.DSM_MemAllocate && entryPoint.DSM_MemFree && entryPoint.DSM_MemLock && entryPoint.DSM_MemUnlock)
        Memory = {reinterpret_cast<DSM_MEMFREE>(entryPoint.DSM_MemFree),
                  reinterpret_cast<DSM_MEMLOCK>(entryPoint.DSM_MemLock),
                  reinterpret_cast<DSM_MEMUNLOCK>(entryPoint.DSM_MemUnlock)};
}

TLockedHandle::TLockedHandle(TW_HANDLE handle) : handle_(handle) {
    if (!handle) return;
    const TW_MEMREF locked = Memory.Lock ? Memory.Lock(handle) : handle;
    if (locked == handle) {
        data_ = static_cast<const std::uint8_t*>(locked);
        size_ = malloc_usable_size(handle);
    } else if (locked) {
        UnlockHandle(handle);
    }
}

TLockedHandle::~TLockedHandle() {
    if (data_) UnlockHandle(handle_);
}

void FreeHandle(TW_HANDLE handle) {
    if (!handle) return;
    if (Memory.Free)
        Memory.Free(handle);
    else
        std::free(handle);
}
