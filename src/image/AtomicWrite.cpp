#include "AtomicWrite.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "Errors.h"
#include "RegularFile.h"

namespace {
std::function<int(WriteStep)>& FaultInjector() {
    static std::function<int(WriteStep)> injector;
    return injector;
}

// The error a test has injected for this step, or 0.
int InjectedFault(WriteStep step) { return FaultInjector() ? FaultInjector()(step) : 0; }

// The named temporary file, readable from a signal handler: the flag is cleared while the
// name changes, and the fences keep the compiler from moving the copy across the flag.
char PendingName[PATH_MAX];
volatile std::sig_atomic_t PendingSet = 0;

void RegisterPending(const std::string& name) {
    PendingSet = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (name.size() >= sizeof PendingName) return;
    std::memcpy(PendingName, name.c_str(), name.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    PendingSet = 1;
}

void ClearPending() { PendingSet = 0; }

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a write to `path` replaces: `path` itself, or where its symbolic links lead.
std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {  // the kernel's own limit
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(current.c_str(), target, sizeof target);
        if (length < 0) ThrowSystemError(path, errno);
        if (std::size_t(length) >= sizeof target) ThrowSystemError(path, ENAMETOOLONG);
        const std::string next(target, std::size_t(length));
        current = next.front() == '/' ? next : FolderOf(current) + "/" + next;
    }
    ThrowSystemError(path, ELOOP);
}

// A temporary name beside `target`: "NAME.XXXXXX", or a short hidden name when that would
// pass the file system's limit for a name.
std::string TemporaryTemplate(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::size_t nameLength = slash == std::string::npos ? target.size() : target.size() - slash - 1;
    if (nameLength + 7 <= NAME_MAX) return target + ".XXXXXX";
    return FolderOf(target) + "/.corvalux-XXXXXX";
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

// Gives the unnamed file a name in its folder: directly when we hold the capability, else
// through its /proc entry. Returns the name, or the error.
int LinkUnnamed(int fd, const std::string& templateName, std::string& name) {
    const std::string procEntry = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = RandomName(templateName);
        if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
        if (errno == EEXIST) continue;
        if (::linkat(AT_FDCWD, procEntry.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

// The mode the new file gets: the old file's bits, or a new file's usual mode. Refuses a
// file that may not be written (see the header).
mode_t ModeForReplacing(const std::string& path, const std::string& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) {
        if (errno != ENOENT) ThrowSystemError(path, errno);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return 0666 & ~mask;
    }
    if (S_ISREG(old.st_mode)) {
        if ((old.st_mode & 0222) == 0) ThrowSystemError(path, EACCES);
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES)
            ThrowSystemError(path, EACCES);
    }
    return old.st_mode & 07777;
}

// The temporary file of one write: unnamed until linked, or named from the start.
struct Temporary {
    FileDescriptor File;
    std::string Name;  // empty while it has none

    ~Temporary() { Remove(); }
    void Remove() {
        if (Name.empty()) return;
        ClearPending();
        ::unlink(Name.c_str());
        Name.clear();
    }
};

// Opens the temporary file for `target`; unnamed where the file system allows it.
void CreateTemporary(const std::string& path, const std::string& target, Temporary& temp) {
    if (const int fault = InjectedFault(WriteStep::Create)) ThrowSystemError(path, fault);
    const int unnamedFault = InjectedFault(WriteStep::CreateUnnamed);
    temp.File.Fd = unnamedFault ? (errno = unnamedFault, -1)
                                : ::open(FolderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (temp.File.Fd >= 0) return;
    // The errors of a kernel or file system without O_TMPFILE.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) ThrowSystemError(path, errno);
    std::string name = TemporaryTemplate(target);
    temp.File.Fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (temp.File.Fd < 0) ThrowSystemError(path, errno);
    temp.Name = name;
    RegisterPending(temp.Name);
}
}  // namespace

void SetWriteFaultInjector(std::function<int(WriteStep)> injector) { FaultInjector() = std::move(injector); }

const char* TemporaryFileInProgress() { return PendingSet ? PendingName : nullptr; }

void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    WriteFileAtomically(path, [&](const auto& write) { write(bytes.data(), bytes.size()); });
}

void WriteFileAtomically(
    const std::string& path,
    const std::function<void(const std::function<void(const std::uint8_t*, std::size_t)>&)>& produce) {
    // The temporary file sits in the target's folder so that the rename stays on one file system.
    const std::string target = FollowLinks(path);
    const mode_t mode = ModeForReplacing(path, target);
    Temporary temp;  // removed on every way out but success
    CreateTemporary(path, target, temp);
    auto fail = [&](int error) {
        temp.Remove();
        ThrowSystemError(path, error);
    };
    // mkstemp and O_TMPFILE make the file 0600 (less the umask).
    if (::fchmod(temp.File.Fd, mode) != 0) fail(errno);

    off_t written = 0;
    auto writeAll = [&](const std::uint8_t* data, std::size_t size) {
        if (const int fault = InjectedFault(WriteStep::Write)) fail(fault);
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::write(temp.File.Fd, data + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) fail(errno);
            done += std::size_t(n);
        }
        // Start the disk on this piece now, while the next ones are produced, so that the
        // fsync at the end waits for little more than the last piece. Only a hint: any write
        // error still comes back from the fsync.
        ::sync_file_range(temp.File.Fd, written, off_t(size), SYNC_FILE_RANGE_WRITE);
        written += off_t(size);
    };
    // Small pieces are gathered so that the disk sees large writes.
    constexpr std::size_t BufferSize = 1 << 20;
    std::vector<std::uint8_t> buffer;
    buffer.reserve(BufferSize);
    auto flush = [&] {
        writeAll(buffer.data(), buffer.size());
        buffer.clear();
    };
    produce([&](const std::uint8_t* data, std::size_t size) {
        if (buffer.size() + size > BufferSize) flush();
        if (size >= BufferSize)
            writeAll(data, size);
        else
            buffer.insert(buffer.end(), data, data + size);
    });  // an encoder's failure passes through; Temporary removes the file
    flush();
    // The data must be on disk before the rename makes it the file, or a crash could leave
    // an empty file under the old name.
    if (const int fault = InjectedFault(WriteStep::Sync)) fail(fault);
    if (::fsync(temp.File.Fd) != 0) fail(errno);
    if (temp.Name.empty()) {
        if (const int fault = InjectedFault(WriteStep::Link)) fail(fault);
        std::string name;
        if (const int error = LinkUnnamed(temp.File.Fd, TemporaryTemplate(target), name)) fail(error);
        temp.Name = name;
        RegisterPending(temp.Name);
    }
    if (::close(temp.File.Release()) != 0) fail(errno);
    if (const int fault = InjectedFault(WriteStep::Close)) fail(fault);
    if (const int fault = InjectedFault(WriteStep::Rename)) fail(fault);
    if (::rename(temp.Name.c_str(), target.c_str()) != 0) fail(errno);
    ClearPending();
    temp.Name.clear();  // it is the file now
}
