#include "PictureFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "Dib.h"
#include "Errors.h"
#include "Jpeg.h"

PictureFormat FormatOfName(const std::string& path) {
    std::string upper(path);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    if (upper.find(".BMP") != std::string::npos) return PictureFormat::Bitmap;
    if (upper.find(".JPG") != std::string::npos) return PictureFormat::Jpeg;
    return PictureFormat::Refused;
}

namespace {
[[noreturn]] void ThrowSystemError(const std::string& path, int error) {
    throw EFileError("Cannot access file \"" + path + "\": " + std::strerror(error));
}

// Closes the descriptor on every path out of a scope.
struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};
}  // namespace

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    FileDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) ThrowSystemError(path, errno);
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) ThrowSystemError(path, errno);
    if (!S_ISREG(info.st_mode)) ThrowSystemError(path, EISDIR);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(std::size_t(info.st_size));
    std::uint8_t buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ThrowSystemError(path, errno);
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

namespace {
std::function<int(WriteStep)>& FaultInjector() {
    static std::function<int(WriteStep)> injector;
    return injector;
}

// The error a test has injected for this step, or 0.
int InjectedFault(WriteStep step) { return FaultInjector() ? FaultInjector()(step) : 0; }
}  // namespace

void SetWriteFaultInjector(std::function<int(WriteStep)> injector) { FaultInjector() = std::move(injector); }

void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    WriteFileAtomically(path, [&](const ByteSink& write) { write(bytes.data(), bytes.size()); });
}

void WriteFileAtomically(const std::string& path, const std::function<void(const ByteSink&)>& produce) {
    // The temporary name sits in the same folder so that the rename stays on one file system.
    std::string temp = path + ".XXXXXX";
    if (const int fault = InjectedFault(WriteStep::Create)) ThrowSystemError(path, fault);
    FileDescriptor file{::mkostemp(temp.data(), O_CLOEXEC)};
    if (file.fd < 0) ThrowSystemError(path, errno);
    auto fail = [&](int error) {
        ::unlink(temp.c_str());
        ThrowSystemError(path, error);
    };
    // mkstemp makes the file 0600; give it the mode the old file had, or a new file's usual one.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~mask);
    if (::fchmod(file.fd, mode) != 0) fail(errno);

    off_t written = 0;
    auto writeAll = [&](const std::uint8_t* data, std::size_t size) {
        if (const int fault = InjectedFault(WriteStep::Write)) fail(fault);
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::write(file.fd, data + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) fail(errno);
            done += std::size_t(n);
        }
        // Start the disk on this piece now, while the next ones are produced, so that the
        // fsync at the end waits for little more than the last piece. Only a hint: any write
        // error still comes back from the fsync.
        ::sync_file_range(file.fd, written, off_t(size), SYNC_FILE_RANGE_WRITE);
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
    try {
        produce([&](const std::uint8_t* data, std::size_t size) {
            if (buffer.size() + size > BufferSize) flush();
            if (size >= BufferSize)
                writeAll(data, size);
            else
                buffer.insert(buffer.end(), data, data + size);
        });
    } catch (const EFileError&) {
        throw;  // the temporary file is already gone
    } catch (...) {
        ::unlink(temp.c_str());  // the encoder failed: leave no file behind
        throw;
    }
    flush();
    // The data must be on disk before the rename makes it the file, or a crash could leave
    // an empty file under the old name.
    if (const int fault = InjectedFault(WriteStep::Sync)) fail(fault);
    if (::fsync(file.fd) != 0) fail(errno);
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0) fail(errno);
    if (const int fault = InjectedFault(WriteStep::Close)) fail(fault);
    if (const int fault = InjectedFault(WriteStep::Rename)) fail(fault);
    if (::rename(temp.c_str(), path.c_str()) != 0) fail(errno);
}

namespace {
// A file mapped read-only for the decoder, so that its bytes are not copied first.
class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        FileDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
        if (file.fd < 0) ThrowSystemError(path, errno);
        struct stat info {};
        if (::fstat(file.fd, &info) != 0) ThrowSystemError(path, errno);
        if (!S_ISREG(info.st_mode)) ThrowSystemError(path, EISDIR);
        size_ = std::size_t(info.st_size);
        if (size_ == 0) return;  // nothing to map; the decoders refuse an empty buffer
        void* data = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, file.fd, 0);
        if (data == MAP_FAILED) ThrowSystemError(path, errno);
        data_ = static_cast<const std::uint8_t*>(data);
        ::madvise(data, size_, MADV_SEQUENTIAL);
    }
    ~MappedFile() {
        if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::uint8_t* Data() const { return data_ ? data_ : &empty_; }
    std::size_t Size() const { return size_; }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    static constexpr std::uint8_t empty_ = 0;
};
}  // namespace

Bitmap LoadPicture(const std::string& path, PictureFormat format) {
    // Mapping saves copying the file into fresh memory, the larger part of loading a big
    // bitmap. (Another program truncating the file during the decode would fault the mapping;
    // we accept that rare race for the speed.)
    const MappedFile file(path);
    return format == PictureFormat::Jpeg ? DecodeJpeg(file.Data(), file.Size())
                                         : DecodeBmpFile(file.Data(), file.Size());
}

void SavePicture(const std::string& path, const Bitmap& picture, PictureFormat format) {
    if (format == PictureFormat::Jpeg)
        WriteFileAtomically(path, EncodeJpeg(picture, 90));
    else
        WriteFileAtomically(path, [&](const ByteSink& write) { WriteBmpFile(picture, write); });
}
