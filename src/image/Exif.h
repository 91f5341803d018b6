#pragma once
// EXIF blocks read, rewritten and made through libexif.
#include <cstdint>
#include <vector>

#include "image/PictureMetadata.h"

// One field for a new EXIF block, as another file's tags give it (a TIFF keeps the same
// fields in its own directories).
struct ExifField {
    enum Directory { Picture, Exif, Gps };
    Directory Place = Picture;
    std::uint16_t Tag = 0;
    // The TIFF field type: 1 byte, 2 text, 3 short, 4 long, 5 rational, 6 signed byte,
    // 7 undefined, 8 signed short, 9 signed long, 10 signed rational.
    std::uint16_t Type = 0;
    // One number per value; a rational as numerator then denominator; text and undefined
    // data one byte each, text with its terminating zero.
    std::vector<std::int64_t> Values;
};

// An EXIF block ("Exif\0\0" and its TIFF structure, ready for an APP1 segment) holding the
// fields, without a thumbnail; empty when there are none or it would not fit a segment.
// Fields of any other type, or whose values do not make whole components, are left out.
std::vector<std::uint8_t> MakeExifBlock(const std::vector<ExifField>& fields);

// The fields of an EXIF block's TIFF structure (without "Exif\0\0") in its picture, EXIF
// and GPS directories, as MakeExifBlock takes them, in the block's order; the thumbnail's
// directory and fields of types ExifField does not have (floating point) are left out. Empty
// when libexif cannot read the block.
std::vector<ExifField> ExifFieldsOf(const std::vector<std::uint8_t>& tiff);

// The orientation (1 to 8) the first EXIF block gives; 1 when there is none or the value is
// out of range.
int ExifOrientation(const PictureMetadata& metadata);

// The metadata to write with a picture of width x height: each EXIF block gives the
// orientation of the pixels (1 when they were turned upright, else the value they were
// loaded with, see PictureMetadata::StoredOrientation) and the saved pixel dimensions, and
// loses its thumbnail, which would show the old picture; an XMP packet's tiff:Orientation
// gives the same orientation. A block that already says so, and every other segment, is kept
// byte for byte, so that a file saved twice keeps the same metadata.
PictureMetadata MetadataForSavedPicture(const PictureMetadata& metadata, int width, int height);
