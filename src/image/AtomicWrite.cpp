#include "image/AtomicWrite.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "common/Errors.h"
#include "image/FileIdentity.h"
#include "image/InPlaceWrite.h"
#include "image/RegularFile.h"
#include "image/TemporaryFile.h"

namespace {
using ByteSink = std::function<void(const std::uint8_t*, std::size_t)>;

std::function<int(WriteStep)>& FaultInjector() {
    static std::function<int(WriteStep)> injector;
    return injector;
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

// The file a save replaces, or nothing when there is none yet. Refuses what may not be
// replaced (see the header) before anything is written.
std::optional<struct stat> ExistingTarget(const std::string& path, const std::string& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) {
        if (errno != ENOENT) ThrowSystemError(path, errno);
        return std::nullopt;
    }
    if (!S_ISREG(old.st_mode)) ThrowNotRegular(path);
    if ((old.st_mode & 0222) == 0) ThrowSystemError(path, EACCES);
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES) ThrowSystemError(path, EACCES);
    return old;
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Writes everything `produce` gives into the temporary file.
void WriteContents(const std::string& path, int fd, const std::function<void(const ByteSink&)>& produce) {
    off_t written = 0;
    auto writeAll = [&](const std::uint8_t* data, std::size_t size) {
        if (const int fault = InjectedFault(WriteStep::Write)) ThrowSystemError(path, fault);
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::write(fd, data + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) ThrowSystemError(path, errno);
            done += std::size_t(n);
        }
        // Start the disk on this piece now, while the next ones are produced, so that the
        // fsync at the end waits for little more than the last piece. Only a hint: any write
        // error still comes back from the fsync.
        ::sync_file_range(fd, written, off_t(size), SYNC_FILE_RANGE_WRITE);
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
    });  // an encoder's failure passes through; the caller's TemporaryFile removes the file
    flush();
}
}  // namespace

void SetWriteFaultInjector(std::function<int(WriteStep)> injector) { FaultInjector() = std::move(injector); }

int InjectedFault(WriteStep step) { return FaultInjector() ? FaultInjector()(step) : 0; }

void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    WriteFileAtomically(path, [&](const auto& write) { write(bytes.data(), bytes.size()); });
}

void WriteFileAtomically(const std::string& path, const std::function<void(const ByteSink&)>& produce) {
    const std::string target = FollowLinks(path);
    const std::optional<struct stat> old = ExistingTarget(path, target);
    TemporaryFile temp;  // removed on every way out but success

    // A new file renamed into place, unless it could not be the same file as the old one.
    bool inPlace = old && (old->st_nlink > 1 || !FolderWritable(FolderOf(target)));
    if (!inPlace) {
        // Beside the target, so that the rename stays on one file system.
        CreateTemporary(path, target, temp);
        if (!old && ::fchmod(temp.File.Fd, NewFileMode()) != 0) ThrowSystemError(path, errno);
        if (old && CopyIdentity(target, *old, temp.File.Fd) != 0) {
            temp.Discard();
            inPlace = true;
        }
    }
    if (inPlace) {
        // The new contents wait in a scratch file without a name until they are whole.
        CreateTemporary(path, SideFolder(target) + "/.corvalux", temp);
        temp.Remove();
    }
    WriteContents(path, temp.File.Fd, produce);
    if (inPlace) return WriteInPlace(path, target, temp.File.Fd);

    // The data must be on disk before the rename makes it the file, or a crash could leave
    // an empty file under the old name.
    if (const int fault = InjectedFault(WriteStep::Sync)) ThrowSystemError(path, fault);
    if (::fsync(temp.File.Fd) != 0) ThrowSystemError(path, errno);
    if (temp.Name.empty()) {
        if (const int fault = InjectedFault(WriteStep::Link)) ThrowSystemError(path, fault);
        if (const int error = NameTemporary(temp, target)) ThrowSystemError(path, error);
    }
    if (::close(temp.File.Release()) != 0) ThrowSystemError(path, errno);
    if (const int fault = InjectedFault(WriteStep::Close)) ThrowSystemError(path, fault);
    int error = InjectedFault(WriteStep::Rename);
    if (error == 0 && ::rename(temp.Name.c_str(), target.c_str()) != 0) error = errno;
    if (error == 0) {
        temp.Keep();
        return;
    }
    // A bind-mounted file cannot be renamed over: write it in place from the file just made.
    if (!old || (error != EXDEV && error != EBUSY)) ThrowSystemError(path, error);
    const FileDescriptor contents(::open(temp.Name.c_str(), O_RDONLY | O_CLOEXEC));
    if (contents.Fd < 0) ThrowSystemError(path, errno);
    temp.Remove();
    WriteInPlace(path, target, contents.Fd);
}
