#include "image/InPlaceWrite.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/AtomicWrite.h"
#include "common/Errors.h"
#include "image/FileIdentity.h"
#include "image/TemporaryFile.h"

namespace {
// The user's runtime folder, or a private folder of ours under /tmp where there is none.
std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && FolderWritable(runtime)) return runtime;
    const std::string own = "/tmp/corvalux-" + std::to_string(::geteuid());
    if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) ThrowSystemError(own, errno);
    // Anyone may have made that name first: use it only if it is our own private folder.
    struct stat info {};
    if (::lstat(own.c_str(), &info) != 0) ThrowSystemError(own, errno);
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & 077) != 0)
        ThrowSystemError(own, EACCES);
    return own;
}

// One backup name per file, so that a backup left by a kill is found by the next save.
// In the runtime folder the name also carries the file's device and inode.
std::string BackupName(const std::string& target, const struct stat& info, const std::string& side) {
    std::string name = target.substr(target.rfind('/') + 1) + ".corvalux-backup";
    const std::string where = std::to_string(info.st_dev) + "-" + std::to_string(info.st_ino);
    if (side != FolderOf(target)) name = where + "-" + name;
    if (name.size() > NAME_MAX) name = where + ".corvalux-backup";
    return side + "/" + name;
}

// Copies all of `from` over the start of `to` and cuts `to` to that length, asking the fault
// injector for `step` before each piece. Returns 0 or the error.
int CopyContents(int from, int to, WriteStep step) {
    std::vector<char> piece(1 << 20);
    off_t offset = 0;
    for (;;) {
        if (const int fault = InjectedFault(step)) return fault;
        const ssize_t n = ::pread(from, piece.data(), piece.size(), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t m = ::pwrite(to, piece.data() + done, std::size_t(n - done), offset + done);
            if (m < 0 && errno != EINTR) return errno;
            if (m > 0) done += m;
        }
        offset += n;
    }
    return ::ftruncate(to, offset) == 0 ? 0 : errno;
}

int Sync(int fd, WriteStep step) {
    if (const int fault = InjectedFault(step)) return fault;
    return ::fsync(fd) == 0 ? 0 : errno;
}

// Makes a new name in `folder` survive a power cut. Kills do not need it, so errors (some
// file systems cannot sync a folder) are let go.
void SyncFolder(const std::string& folder) {
    const FileDescriptor handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.Fd >= 0) ::fsync(handle.Fd);
}

// The old contents, written and synced under `name`, which appears only once they are whole.
void MakeBackup(const std::string& path, int file, const std::string& name, TemporaryFile& backup) {
    CreateTemporary(path, name, backup);
    int error = CopyContents(file, backup.File.Fd, WriteStep::Backup);
    if (error == 0) error = Sync(backup.File.Fd, WriteStep::Backup);
    if (error == 0) error = LinkTemporaryAs(backup, name);
    if (error == EEXIST)
        throw EFileError("An earlier save of \"" + path +
                         "\" was interrupted, and its earlier contents are kept in \"" + name +
                         "\". Restore or remove that file, then save again.");
    if (error != 0) ThrowSystemError(path, error);
    backup.Remove();  // the temporary name only; the backup has its own now
    SyncFolder(FolderOf(name));
}
}  // namespace

bool FolderWritable(const std::string& folder) {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string SideFolder(const std::string& target) {
    const std::string folder = FolderOf(target);
    return FolderWritable(folder) ? folder : RuntimeFolder();
}

void WriteInPlace(const std::string& path, const std::string& target, int contents) {
    // Not blocking, and checked again: the name may lead somewhere else since it was looked at.
    const FileDescriptor file(::open(target.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (file.Fd < 0) ThrowSystemError(path, errno);
    struct stat info {};
    if (::fstat(file.Fd, &info) != 0) ThrowSystemError(path, errno);
    if (!S_ISREG(info.st_mode)) ThrowNotRegular(path);

    const std::string backupName = BackupName(target, info, SideFolder(target));
    TemporaryFile backup;
    MakeBackup(path, file.Fd, backupName, backup);

    int error = 0;
    if ((info.st_mode & (S_ISUID | S_ISGID)) != 0 && ::fchmod(file.Fd, KeptMode(info.st_mode)) != 0) error = errno;
    if (error == 0) error = CopyContents(contents, file.Fd, WriteStep::Overwrite);
    if (error == 0) error = Sync(file.Fd, WriteStep::Sync);
    if (error == 0) {
        ::unlink(backupName.c_str());
        return;
    }
    // Put the old contents back; should even that fail, the backup stays and the message says where.
    int restoreError = CopyContents(backup.File.Fd, file.Fd, WriteStep::Restore);
    if (restoreError == 0) restoreError = Sync(file.Fd, WriteStep::Restore);
    if (restoreError != 0)
        throw EFileError("Cannot access file \"" + path + "\": " + std::strerror(error) +
                         ". Its earlier contents are kept in \"" + backupName + "\".");
    ::unlink(backupName.c_str());
    ThrowSystemError(path, error);
}
