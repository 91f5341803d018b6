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
#include "RegularFile.h"

PictureFormat FormatOfName(const std::string& path) {
    std::string upper(path);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    if (upper.find(".BMP") != std::string::npos) return PictureFormat::Bitmap;
    if (upper.find(".JPG") != std::string::npos) return PictureFormat::Jpeg;
    return PictureFormat::Refused;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    const OpenedFile opened = OpenRegularFile(path);
    const int fd = opened.file.fd;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(opened.size);
    std::uint8_t buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ThrowSystemError(path, errno);
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

namespace {
// A file mapped read-only for the decoder, so that its bytes are not copied first.
class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        const OpenedFile opened = OpenRegularFile(path);
        size_ = opened.size;
        if (size_ == 0) return;  // nothing to map; the decoders refuse an empty buffer
        void* data = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, opened.file.fd, 0);
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
