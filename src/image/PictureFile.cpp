#include "PictureFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string_view>

#include "Dib.h"
#include "Errors.h"
#include "Exif.h"
#include "Jpeg.h"
#include "Png.h"
#include "Tiff.h"
#include "RegularFile.h"

PictureFormat FormatOfName(const std::string& path) {
    // Folders may be called anything: "pics.bmp/photo.jpg" is a JPEG.
    const std::size_t slash = path.rfind('/');
    std::string upper = slash == std::string::npos ? path : path.substr(slash + 1);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    if (upper.find(".BMP") != std::string::npos) return PictureFormat::Bitmap;
    if (upper.find(".JPG") != std::string::npos) return PictureFormat::Jpeg;
    auto endsWith = [&](std::string_view end) { return upper.ends_with(end); };
    if (endsWith(".JPEG") || endsWith(".JPE") || endsWith(".JFIF")) return PictureFormat::Jpeg;
    if (endsWith(".PNG")) return PictureFormat::Png;
    if (endsWith(".TIF") || endsWith(".TIFF")) return PictureFormat::Tiff;
    return PictureFormat::Refused;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    const OpenedFile opened = OpenRegularFile(path);
    const int fd = opened.File.Fd;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(opened.Size);
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
        size_ = opened.Size;
        if (size_ == 0) return;  // nothing to map; the decoders refuse an empty buffer
        void* data = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, opened.File.Fd, 0);
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

namespace {
// The scale a load or a save reports on, and the share of it that encoding or decoding takes:
// turning a picture upright or writing the file is quick beside it.
constexpr std::int64_t ProgressUnits = 1 << 16;
constexpr std::int64_t CodecUnits = ProgressUnits / 10 * 9;

void ReportOrStop(const ProgressCallback& progress, std::int64_t done) {
    if (progress && !progress.Report(done, ProgressUnits)) throw ECancelled();
}
}  // namespace

LoadedPicture LoadPictureFile(const std::string& path, PictureFormat format, OrientationRule rule,
                              const ProgressCallback& progress) {
    // Mapping saves copying the file into fresh memory, the larger part of loading a big
    // bitmap. (Another program truncating the file during the decode would fault the mapping;
    // we accept that rare race for the speed.)
    const MappedFile file(path);
    const ProgressCallback decoding = ProgressPart(progress, 0, CodecUnits, ProgressUnits);
    LoadedPicture loaded;
    int orientation = 1;
    switch (format) {
        case PictureFormat::Jpeg:
            loaded.Picture = DecodeJpeg(file.Data(), file.Size(), loaded.Metadata, decoding);
            orientation = ExifOrientation(loaded.Metadata);
            break;
        case PictureFormat::Png:
            loaded.Picture = DecodePng(file.Data(), file.Size(), &loaded.Metadata, decoding);
            break;
        case PictureFormat::Tiff: {
            StoredTiff stored = ReadTiff(file.Data(), file.Size(), decoding);
            loaded.Picture = std::move(stored.Picture);
            loaded.Metadata = std::move(stored.Metadata);
            orientation = stored.Orientation;
            break;
        }
        default: loaded.Picture = DecodeBmpFile(file.Data(), file.Size(), decoding);
    }
    if (rule == OrientationRule::Upright)
        loaded.Picture = UprightPicture(std::move(loaded.Picture), orientation,
                                        ProgressPart(progress, CodecUnits, ProgressUnits, ProgressUnits));
    else
        loaded.Metadata.StoredOrientation = orientation;
    ReportOrStop(progress, ProgressUnits);
    return loaded;
}

Bitmap LoadPicture(const std::string& path, PictureFormat format) { return LoadPictureFile(path, format).Picture; }

void SavePicture(const std::string& path, const Bitmap& picture, PictureFormat format) {
    SavePicture(path, picture, format, PictureMetadata{});
}

void SavePicture(const std::string& path, const Bitmap& picture, PictureFormat format, const PictureMetadata& metadata,
                 const ProgressCallback& progress) {
    // Two steps: the contents, then the file. A bitmap is encoded straight into the temporary
    // file, which a cancel during it removes.
    const ProgressCallback encoding = ProgressPart(progress, 0, CodecUnits, ProgressUnits);
    std::vector<std::uint8_t> bytes;
    bool streamed = false;
    switch (format) {
        case PictureFormat::Jpeg: bytes = EncodeJpeg(picture, 90, metadata, encoding); break;
        case PictureFormat::Png: bytes = EncodePng(picture, metadata, encoding); break;
        case PictureFormat::Tiff: bytes = EncodeTiff(picture, metadata, encoding); break;
        default: streamed = true;
    }
    ReportOrStop(progress, streamed ? 0 : CodecUnits);
    if (streamed)
        WriteFileAtomically(path, [&](const ByteSink& write) { WriteBmpFile(picture, write, encoding); });
    else
        WriteFileAtomically(path, bytes);
    if (progress) progress.Report(ProgressUnits, ProgressUnits);
}
