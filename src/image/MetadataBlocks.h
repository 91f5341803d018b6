#pragma once
// Metadata as containers other than JPEG hold it (HEIF items, WebP chunks, PNG chunks, TIFF
// tags): a bare EXIF TIFF structure, an XMP packet, an ICC profile, Photoshop resources (which
// hold IPTC). PictureMetadata keeps them as JPEG segments, so that a picture carries them to a
// save in any format alike.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/PictureMetadata.h"

// Adds an EXIF block: a TIFF structure, with or without the "Exif\0\0" a JPEG puts before it.
void AddExifBlock(PictureMetadata& metadata, const std::uint8_t* block, std::size_t size);
// Adds an EXIF block as HEIF items and JPEG XL boxes hold it: the offset of the TIFF header
// past four bytes that give it (big-endian), then the block. Nothing when the offset points
// past the end.
void AddExifItem(PictureMetadata& metadata, const std::uint8_t* item, std::size_t size);
// Adds an XMP packet.
void AddXmpPacket(PictureMetadata& metadata, const std::uint8_t* packet, std::size_t size);
// Adds an ICC profile.
void AddIccProfile(PictureMetadata& metadata, const std::uint8_t* profile, std::size_t size);
// Adds Photoshop image resources ("8BIM" blocks, IPTC among them), in as many APP13 segments
// as they need.
void AddPhotoshopResources(PictureMetadata& metadata, const std::uint8_t* resources, std::size_t size);

// Makes an XMP segment's tiff:Orientation (as an attribute or an element) say `orientation`
// (1 to 8), so that it agrees with the EXIF block of a saved picture; a value that is not a
// single digit, and every other segment, is left alone. The packet keeps its length.
void FitXmpOrientation(MetadataSegment& segment, unsigned orientation);

// The TIFF structure of the first EXIF block, without "Exif\0\0"; empty when there is none.
std::vector<std::uint8_t> ExifTiffOf(const PictureMetadata& metadata);
// The first XMP packet; empty when there is none.
std::vector<std::uint8_t> XmpPacketOf(const PictureMetadata& metadata);
// The Photoshop resources of every APP13 segment, joined in file order as a reader of a JPEG
// joins them; empty when there are none.
std::vector<std::uint8_t> PhotoshopResourcesOf(const PictureMetadata& metadata);

// What a save in a format other than JPEG writes of the metadata, made fit for the saved
// picture of width x height (see MetadataForSavedPicture); each empty when there is none.
struct SavedMetadata {
    std::vector<std::uint8_t> Exif;  // the TIFF structure, without "Exif\0\0"
    std::vector<std::uint8_t> Xmp, Icc, Photoshop;
};
SavedMetadata MetadataBlocksForSave(const PictureMetadata& metadata, int width, int height);
