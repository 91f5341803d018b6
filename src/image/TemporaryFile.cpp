#include "image/TemporaryFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "image/AtomicWrite.h"

namespace {
// The named temporary files of the saves in flight, readable from a signal handler: a fixed
// table of slots, each claimed by one file; a slot's name is set before it is marked in use
// and unmarked before it changes, so a handler never reads a name being written.
enum { Free, Writing, Set };
struct PendingSlot {
    char Name[PATH_MAX];
    std::atomic<int> State{Free};
};
PendingSlot Pending[256];
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

void ReleasePending(TemporaryFile& temp) {
    if (temp.Slot < 0) return;
    Pending[temp.Slot].State.store(Free);
    temp.Slot = -1;
}

// More saves at once than the table holds: the extra names go unpublished, and only the
// signal handler's clean-up misses them.
void RegisterPending(TemporaryFile& temp) {
    ReleasePending(temp);
    if (temp.Name.size() >= PATH_MAX) return;
    for (int i = 0; i < int(std::size(Pending)); ++i) {
        int free = Free;
        if (!Pending[i].State.compare_exchange_strong(free, Writing)) continue;
        std::memcpy(Pending[i].Name, temp.Name.c_str(), temp.Name.size() + 1);
        Pending[i].State.store(Set);
        temp.Slot = i;
        return;
    }
}

// A temporary name beside `file`: "NAME.XXXXXX", or a short hidden name when that would
// pass the file system's limit for a name.
std::string TemporaryTemplate(const std::string& file) {
    const std::size_t slash = file.rfind('/');
    const std::size_t nameLength = slash == std::string::npos ? file.size() : file.size() - slash - 1;
    if (nameLength + 7 <= NAME_MAX) return file + ".XXXXXX";
    return FolderOf(file) + "/.corvalux-XXXXXX";
}

// Fills the template's trailing X's with random letters and digits.
std::string RandomName(std::string name) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char random[6] = {};
    if (::getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) {
        static unsigned counter = 0;  // only uniqueness matters, and linkat checks that
        const unsigned seed = unsigned(::getpid()) * 2654435761u + ++counter;
        for (int i = 0; i < 6; ++i) random[i] = static_cast<unsigned char>(seed >> (i * 5));
    }
    for (int i = 0; i < 6; ++i) name[name.size() - 6 + std::size_t(i)] = letters[random[i] % 62];
    return name;
}
}  // namespace

const char* TemporaryFileInProgress() {
    for (const PendingSlot& slot : Pending)
        if (slot.State.load() == Set) return slot.Name;
    return nullptr;
}

void UnlinkTemporaryFilesInProgress() {
    for (const PendingSlot& slot : Pending)
        if (slot.State.load() == Set) ::unlink(slot.Name);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void TemporaryFile::Remove() {
    if (Name.empty()) return;
    ReleasePending(*this);
    ::unlink(Name.c_str());
    Name.clear();
}

void TemporaryFile::Discard() {
    Remove();
    const FileDescriptor closed(File.Release());
}

void TemporaryFile::Keep() {
    ReleasePending(*this);
    Name.clear();
}

void CreateTemporary(const std::string& path, const std::string& file, TemporaryFile& temp) {
    if (const int fault = InjectedFault(WriteStep::Create)) ThrowSystemError(path, fault);
    const int unnamedFault = InjectedFault(WriteStep::CreateUnnamed);
    temp.File.Fd = unnamedFault ? (errno = unnamedFault, -1)
                                : ::open(FolderOf(file).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (temp.File.Fd >= 0) return;
    // The errors of a kernel or file system without O_TMPFILE.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) ThrowSystemError(path, errno);
    std::string name = TemporaryTemplate(file);
    temp.File.Fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (temp.File.Fd < 0) ThrowSystemError(path, errno);
    temp.Name = name;
    RegisterPending(temp);
}

int LinkTemporaryAs(const TemporaryFile& temp, const std::string& name) {
    if (!temp.Name.empty()) return ::link(temp.Name.c_str(), name.c_str()) == 0 ? 0 : errno;
    // Directly when we hold the capability, else through the descriptor's /proc entry.
    if (::linkat(temp.File.Fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno == EEXIST) return EEXIST;
    const std::string procEntry = "/proc/self/fd/" + std::to_string(temp.File.Fd);
    return ::linkat(AT_FDCWD, procEntry.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

int NameTemporary(TemporaryFile& temp, const std::string& file) {
    const std::string templateName = TemporaryTemplate(file);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = RandomName(templateName);
        const int error = LinkTemporaryAs(temp, name);
        if (error == EEXIST) continue;
        if (error != 0) return error;
        temp.Name = name;
        RegisterPending(temp);
        return 0;
    }
    return EEXIST;
}
