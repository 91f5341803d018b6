#include "image/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/Errors.h"

FileDescriptor::~FileDescriptor() {
    if (Fd >= 0) ::close(Fd);
}

void ThrowSystemError(const std::string& path, int error) {
    throw EFileError("Cannot access file \"" + path + "\": " + std::strerror(error));
}

void ThrowNotRegular(const std::string& path) { throw EFileError("\"" + path + "\" is not a regular file."); }

OpenedFile OpenRegularFile(const std::string& path) {
    // Opening a FIFO waits for a writer, and opening a device can act on it (a tape rewinds,
    // a modem line drops): look first, open only a regular file.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) ThrowSystemError(path, errno);
    if (!S_ISREG(info.st_mode)) ThrowNotRegular(path);
    // Non-blocking and checked again on the descriptor, in case the name was replaced meanwhile.
    OpenedFile opened;
    opened.File.Fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (opened.File.Fd < 0) ThrowSystemError(path, errno);
    if (::fstat(opened.File.Fd, &info) != 0) ThrowSystemError(path, errno);
    if (!S_ISREG(info.st_mode)) ThrowNotRegular(path);
    opened.Size = std::size_t(info.st_size);
    return opened;
}
