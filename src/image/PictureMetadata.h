#pragma once
// What a photo file says besides its pixels: the EXIF, XMP, IPTC and ICC blocks and the
// comments of a JPEG, kept as raw bytes in file order so that a save writes back exactly what
// was read, and the resolution. It travels beside the Bitmap, which stays pixels only.
#include <cstddef>
#include <cstdint>
#include <vector>

// JPEG markers whose segments are carried.
enum : std::uint8_t {
    MarkerApp1 = 0xE1,   // EXIF ("Exif\0\0") and XMP ("http://ns.adobe.com/xap/1.0/\0")
    MarkerApp2 = 0xE2,   // ICC profile ("ICC_PROFILE\0", in numbered chunks)
    MarkerApp13 = 0xED,  // IPTC ("Photoshop 3.0\0")
    MarkerComment = 0xFE,
};

struct MetadataSegment {
    std::uint8_t Marker = 0;
    std::vector<std::uint8_t> Bytes;  // the segment after its length field
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

// Whether a JPEG segment with this marker is one we carry.
bool IsCarriedMarker(int marker);
bool IsExifSegment(const MetadataSegment& segment);
bool IsIccSegment(const MetadataSegment& segment);

// The ICC profile joined from its APP2 chunks in chunk order; empty when there is none or
// the chunks do not make a whole profile.
std::vector<std::uint8_t> IccProfileOf(const PictureMetadata& metadata);
// A profile cut into APP2 chunks, as a JPEG carries it.
std::vector<MetadataSegment> IccSegments(const std::uint8_t* profile, std::size_t size);
