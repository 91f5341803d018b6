#include "image/TiffMetadata.h"

#include <cmath>
#include <cstdint>

#include "image/MetadataBlocks.h"

namespace {
// Dots per inch from the resolution tags, or 0.
void ReadResolution(TIFF* tif, PictureMetadata& metadata) {
    float x = 0, y = 0;
    std::uint16_t unit = RESUNIT_INCH;
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) return;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!(x > 0 && y > 0 && std::isfinite(x) && std::isfinite(y)) || unit == RESUNIT_NONE) return;
    const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    metadata.ResolutionX = x * perInch;
    metadata.ResolutionY = y * perInch;
}

// A tag of bytes with their count, as libtiff keeps the ICC, XMP and Photoshop tags.
template <typename Add>
void ReadBytes(TIFF* tif, std::uint32_t tag, PictureMetadata& metadata, Add add) {
    std::uint32_t size = 0;
    const void* bytes = nullptr;
    if (TIFFGetField(tif, tag, &size, &bytes) && bytes && size > 0)
        add(metadata, static_cast<const std::uint8_t*>(bytes), std::size_t(size));
}

void SetBytes(TIFF* tif, std::uint32_t tag, const std::vector<std::uint8_t>& bytes) {
    if (!bytes.empty()) TIFFSetField(tif, tag, std::uint32_t(bytes.size()), bytes.data());
}
}  // namespace

void ReadTiffMetadata(TIFF* tif, PictureMetadata& metadata) {
    ReadResolution(tif, metadata);
    ReadBytes(tif, TIFFTAG_ICCPROFILE, metadata, AddIccProfile);
    ReadBytes(tif, TIFFTAG_XMLPACKET, metadata, AddXmpPacket);
    ReadBytes(tif, TIFFTAG_PHOTOSHOP, metadata, AddPhotoshopResources);
}

void SetTiffMetadata(TIFF* tif, const PictureMetadata& metadata, const SavedMetadata& blocks) {
    if (metadata.ResolutionX > 0 && metadata.ResolutionY > 0) {
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(metadata.ResolutionX));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(metadata.ResolutionY));
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    SetBytes(tif, TIFFTAG_ICCPROFILE, blocks.Icc);
    SetBytes(tif, TIFFTAG_XMLPACKET, blocks.Xmp);
    SetBytes(tif, TIFFTAG_PHOTOSHOP, blocks.Photoshop);
}
