#include "image/PictureFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <string_view>
#include <thread>

#include "image/ColourCodes.h"
#include "image/Dib.h"
#include "common/Errors.h"
#include "image/Exif.h"
#include "image/Jpeg.h"
#include "image/Heif.h"
#include "image/Jxl.h"
#include "image/Png.h"
#include "image/Tiff.h"
#include "image/WebP.h"
#include "image/RegularFile.h"

bool CanSave(PictureFormat format) {
    return format != PictureFormat::Heif && format != PictureFormat::Jxl && format != PictureFormat::Refused;
}

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
    if (endsWith(".HEIC") || endsWith(".HEIF") || endsWith(".AVIF")) return PictureFormat::Heif;
    if (endsWith(".WEBP")) return PictureFormat::WebP;
    if (endsWith(".JXL")) return PictureFormat::Jxl;
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

// Mapping a file read-only saves copying it first, which here costs several times the whole
// decoding of a large bitmap. But another program may cut the file short while it loads, and
// reading a mapped page past the new end raises SIGBUS. Our handler puts zeros in place of the
// lost pages and marks the mapping cut: the decoder runs on over the zeros, and the load then
// fails in words instead of the process dying. A fault anywhere else goes to whatever handled
// SIGBUS before. The mappings being read sit in a fixed table the handler can walk without
// locks; start is 0 in a free entry, and is set last and cleared first.
struct GuardedRange {
    std::atomic<std::uintptr_t> Start{0}, End{0};
    std::atomic<bool> Cut{false};
};
GuardedRange Guarded[64];
struct sigaction PreviousBusAction;
std::uintptr_t PageMask;

void OnBusError(int, siginfo_t* info, void*) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardedRange& range : Guarded) {
        const std::uintptr_t start = range.Start.load(), end = range.End.load();
        if (start == 0 || at < start || at >= end) continue;
        const std::uintptr_t page = at & PageMask;
        if (::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
                   0) == MAP_FAILED)
            break;
        range.Cut.store(true);
        return;
    }
    // Not ours: the faulting read runs again under the handling we found.
    ::sigaction(SIGBUS, &PreviousBusAction, nullptr);
}

void InstallBusHandler() {
    PageMask = ~(std::uintptr_t(::sysconf(_SC_PAGESIZE)) - 1);
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO;
    ::sigaction(SIGBUS, &action, &PreviousBusAction);
}

// A file mapped read-only for the decoders, guarded as above while it lives.
class MappedFile {
public:
    explicit MappedFile(const std::string& path) : path_(path) {
        const OpenedFile opened = OpenRegularFile(path);
        size_ = opened.Size;
        if (size_ == 0) return;  // nothing to map; the decoders refuse an empty buffer
        static std::once_flag installed;
        std::call_once(installed, InstallBusHandler);
        void* data = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, opened.File.Fd, 0);
        if (data == MAP_FAILED) ThrowSystemError(path, errno);
        data_ = static_cast<const std::uint8_t*>(data);
        ::madvise(data, size_, MADV_SEQUENTIAL);
        // More loads at once than the table holds wait for one to end.
        for (std::size_t i = 0;; i = (i + 1) % std::size(Guarded)) {
            std::uintptr_t free = 0;
            if (Guarded[i].End.compare_exchange_strong(free, std::uintptr_t(data_) + size_)) {
                range_ = &Guarded[i];
                break;
            }
            if (i + 1 == std::size(Guarded)) std::this_thread::yield();
        }
        range_->Cut.store(false);
        range_->Start.store(std::uintptr_t(data_));
    }
    ~MappedFile() {
        if (!data_) return;
        range_->Start.store(0);
        ::munmap(const_cast<std::uint8_t*>(data_), size_);
        range_->End.store(0);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::uint8_t* Data() const { return data_ ? data_ : &empty_; }
    std::size_t Size() const { return size_; }
    // Throws EFileError when the file was cut short while it was read.
    void CheckWhole() const {
        if (range_ && range_->Cut.load()) throw EFileError("\"" + path_ + "\" was cut short while it was read.");
    }

private:
    std::string path_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    GuardedRange* range_ = nullptr;
    static constexpr std::uint8_t empty_ = 0;
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
    const MappedFile file(path);
    const ProgressCallback decoding = ProgressPart(progress, 0, CodecUnits, ProgressUnits);
    LoadedPicture loaded;
    int orientation = 1;
    try {
        switch (format) {
            case PictureFormat::Jpeg:
                loaded.Picture = DecodeJpeg(file.Data(), file.Size(), loaded.Metadata, decoding, &loaded.Warnings);
                orientation = ExifOrientation(loaded.Metadata);
                break;
            case PictureFormat::Png:
                loaded.Picture = DecodePng(file.Data(), file.Size(), &loaded.Metadata, decoding);
                orientation = ExifOrientation(loaded.Metadata);
                break;
            // libheif and libjxl turn the picture by the file's own transforms: an EXIF
            // orientation beside them (a phone stores both) must not turn it again.
            case PictureFormat::Heif: {
                HeifColourCodes codes;
                loaded.Picture = DecodeHeif(file.Data(), file.Size(), &loaded.Metadata, decoding, &codes);
                // Colours described by code points travel as a profile, as an ICC box would.
                if (IccProfileOf(loaded.Metadata).empty())
                    if (const std::vector<std::uint8_t> profile = IccProfileForCodes(codes); !profile.empty())
                        for (MetadataSegment& segment : IccSegments(profile.data(), profile.size()))
                            loaded.Metadata.Segments.push_back(std::move(segment));
                break;
            }
            case PictureFormat::Jxl:
                loaded.Picture = DecodeJxl(file.Data(), file.Size(), &loaded.Metadata, decoding);
                break;
            case PictureFormat::WebP:
                loaded.Picture = DecodeWebP(file.Data(), file.Size(), &loaded.Metadata, decoding);
                orientation = ExifOrientation(loaded.Metadata);
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
    } catch (...) {
        file.CheckWhole();  // what a decoder made of the zeros is beside the point
        throw;
    }
    file.CheckWhole();
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
    if (!CanSave(format)) throw EFileError(SaveNameRefusal);
    const ProgressCallback encoding = ProgressPart(progress, 0, CodecUnits, ProgressUnits);
    std::vector<std::uint8_t> bytes;
    MetadataWarnings warnings;
    bool streamed = false;
    switch (format) {
        case PictureFormat::WebP:
            bytes = EncodeWebP(picture, metadata, WebPCompression::Lossy, WebPQuality, encoding);
            break;
        case PictureFormat::Jpeg: bytes = EncodeJpeg(picture, JpegQuality, metadata, encoding, &warnings); break;
        case PictureFormat::Png: bytes = EncodePng(picture, metadata, encoding, &warnings); break;
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
