#include "PictureFile.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>
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

namespace {
// Reads until `size` bytes are in or the file ends; gives the count read.
std::size_t ReadUpTo(int fd, const std::string& path, std::uint8_t* into, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, into + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ThrowSystemError(path, errno);
        if (n == 0) break;
        done += std::size_t(n);
    }
    return done;
}

// A file's bytes as the decoders see them: read into memory, not mapped, so that a file that
// another program cuts short meanwhile only ends sooner (a mapping would fault past the new
// end). The buffer is not cleared first, which would cost as much again as the read.
struct FileBytes {
    std::unique_ptr<std::uint8_t[]> Data;
    std::size_t Size = 0;

    explicit FileBytes(const std::string& path) {
        const OpenedFile opened = OpenRegularFile(path);
        // One byte to spare, so that the decoders never get a null pointer.
        Data = std::make_unique_for_overwrite<std::uint8_t[]>(opened.Size + 1);
        Size = ReadUpTo(opened.File.Fd, path, Data.get(), opened.Size);
    }
};
}  // namespace

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    const OpenedFile opened = OpenRegularFile(path);
    // Read to the end, also past the size the file had when it was opened.
    std::vector<std::uint8_t> bytes;
    std::size_t size = 0;
    for (std::size_t room = opened.Size + 1;; room = bytes.size()) {
        bytes.resize(size + room);
        const std::size_t n = ReadUpTo(opened.File.Fd, path, bytes.data() + size, room);
        size += n;
        if (n < room) break;
    }
    bytes.resize(size);
    return bytes;
}

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
    const FileBytes file(path);
    const ProgressCallback decoding = ProgressPart(progress, 0, CodecUnits, ProgressUnits);
    LoadedPicture loaded;
    int orientation = 1;
    switch (format) {
        case PictureFormat::Jpeg:
            loaded.Picture = DecodeJpeg(file.Data.get(), file.Size, loaded.Metadata, decoding, &loaded.Warnings);
            orientation = ExifOrientation(loaded.Metadata);
            break;
        case PictureFormat::Png:
            loaded.Picture = DecodePng(file.Data.get(), file.Size, &loaded.Metadata, decoding);
            break;
        case PictureFormat::Tiff: {
            StoredTiff stored = ReadTiff(file.Data.get(), file.Size, decoding);
            loaded.Picture = std::move(stored.Picture);
            loaded.Metadata = std::move(stored.Metadata);
            orientation = stored.Orientation;
            break;
        }
        default: loaded.Picture = DecodeBmpFile(file.Data.get(), file.Size, decoding);
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

MetadataWarnings SavePicture(const std::string& path, const Bitmap& picture, PictureFormat format,
                             const PictureMetadata& metadata, const ProgressCallback& progress) {
    // Two steps: the contents, then the file. A bitmap is encoded straight into the temporary
    // file, which a cancel during it removes.
    const ProgressCallback encoding = ProgressPart(progress, 0, CodecUnits, ProgressUnits);
    std::vector<std::uint8_t> bytes;
    MetadataWarnings warnings;
    bool streamed = false;
    switch (format) {
        case PictureFormat::Jpeg: bytes = EncodeJpeg(picture, 90, metadata, encoding, &warnings); break;
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
    return warnings;
}
