#pragma once
// Opening a file for reading without ever blocking, and the system errors of file access.
#include <cstddef>
#include <string>

// Closes the descriptor on every path out of a scope.
struct FileDescriptor {
    int Fd = -1;
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor) : Fd(descriptor) {}
    FileDescriptor(FileDescriptor&& other) noexcept : Fd(other.Release()) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();
    // Gives the descriptor up without closing it.
    int Release() {
        const int released = Fd;
        Fd = -1;
        return released;
    }
};

// Throws EFileError "Cannot access file "PATH": <the system's message for `error`>".
[[noreturn]] void ThrowSystemError(const std::string& path, int error);

// Throws EFileError ""PATH" is not a regular file.", for a FIFO, device, socket or folder.
[[noreturn]] void ThrowNotRegular(const std::string& path);

// An open regular file and its size when opened.
struct OpenedFile {
    FileDescriptor File;
    std::size_t Size = 0;
};

// Opens `path` for reading. A FIFO, device, socket or folder is refused with EFileError
// ""PATH" is not a regular file." before it is opened, so that nothing waits for a writer
// or a device; the open itself does not block either, should the name change in between.
OpenedFile OpenRegularFile(const std::string& path);
