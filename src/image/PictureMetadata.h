#pragma once
// What a photo file says besides its pixels: the EXIF, XMP, IPTC and ICC blocks and the
// comments of a JPEG, kept as raw bytes in file order so that a save writes back exactly what
// was read, and the resolution. It travels beside the Bitmap, which stays pixels only.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

// JPEG markers whose segments are carried.
enum : std::uint8_t {
    MarkerApp1 = 0xE1,   // EXIF ("Exif\0\0") and XMP ("http://ns.adobe.com/xap/1.0/\0")
    MarkerApp2 = 0xE2,   // ICC profile ("ICC_PROFILE\0", in numbered chunks)
    MarkerApp13 = 0xED,  // IPTC ("Photoshop 3.0\0")
    MarkerComment = 0xFE,
};

// Bytes that copies share and nobody changes. Metadata is read once and held once: the picture,
// the window's undo copy and the copy a save fits to the picture all point at the same bytes,
// which may be megabytes. A changed block is a new one.
class SharedBytes {
public:
    SharedBytes() = default;
    SharedBytes(std::vector<std::uint8_t> bytes)
        : bytes_(std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes))) {}
    SharedBytes(std::initializer_list<std::uint8_t> bytes) : SharedBytes(std::vector<std::uint8_t>(bytes)) {}

    const std::uint8_t* data() const { return bytes_ ? bytes_->data() : nullptr; }
    std::size_t size() const { return bytes_ ? bytes_->size() : 0; }
    bool empty() const { return size() == 0; }
    const std::uint8_t* begin() const { return data(); }
    const std::uint8_t* end() const { return data() + size(); }
    std::uint8_t operator[](std::size_t i) const { return (*bytes_)[i]; }
    bool operator==(const SharedBytes& other) const {
        return bytes_ == other.bytes_ || std::equal(begin(), end(), other.begin(), other.end());
    }

private:
    std::shared_ptr<const std::vector<std::uint8_t>> bytes_;
};

struct MetadataSegment {
    std::uint8_t Marker = 0;
    SharedBytes Bytes;  // the segment after its length field
    bool operator==(const MetadataSegment&) const = default;
};

struct PictureMetadata {
    std::vector<MetadataSegment> Segments;  // in file order
    // Dots per inch as the file gave them; 0 when it gave none.
    double ResolutionX = 0, ResolutionY = 0;
    // The orientation value (1 to 8) of the pixels this travels with: 1 once they are turned
    // upright, as loading does by default; the file's own value when they were kept as stored,
    // so that a saved file still tells viewers how to turn them.
    int StoredOrientation = 1;

    bool Empty() const { return Segments.empty() && ResolutionX == 0 && ResolutionY == 0; }
    bool operator==(const PictureMetadata&) const = default;
};

// What a load or a save left out of a file's metadata, a sentence each for the user; the load
// or the save itself went ahead.
using MetadataWarnings = std::vector<std::string>;

// A JPEG segment holds at most this many bytes after its length field.
inline constexpr std::size_t MaxSegmentBytes = 65533;

// Whether a JPEG segment with this marker is one we carry.
bool IsCarriedMarker(int marker);
bool IsExifSegment(const MetadataSegment& segment);
bool IsIccSegment(const MetadataSegment& segment);

// The ICC profile joined from its APP2 chunks in chunk order; empty when there is none or
// the chunks do not make a whole profile.
std::vector<std::uint8_t> IccProfileOf(const PictureMetadata& metadata);
// A profile cut into APP2 chunks, as a JPEG carries it. One of more than 255 chunks, which a
// JPEG cannot number, is kept whole in one chunk longer than a segment holds, so that the
// profile still travels with the picture and a JPEG save can say that it left it out.
std::vector<MetadataSegment> IccSegments(const std::uint8_t* profile, std::size_t size);
