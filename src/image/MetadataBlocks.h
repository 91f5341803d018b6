#pragma once
// Metadata as containers other than JPEG hold it (HEIF items, WebP chunks): a bare EXIF TIFF
// structure, an XMP packet, an ICC profile. PictureMetadata keeps them as JPEG segments, so
// that a picture carries them to a save in any format alike.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "PictureMetadata.h"

// Adds an EXIF block: a TIFF structure, with or without the "Exif\0\0" a JPEG puts before it.
void AddExifBlock(PictureMetadata& metadata, const std::uint8_t* block, std::size_t size);
// Adds an XMP packet.
void AddXmpPacket(PictureMetadata& metadata, const std::uint8_t* packet, std::size_t size);
// Adds an ICC profile.
void AddIccProfile(PictureMetadata& metadata, const std::uint8_t* profile, std::size_t size);

// The TIFF structure of the first EXIF block, without "Exif\0\0"; empty when there is none.
std::vector<std::uint8_t> ExifTiffOf(const PictureMetadata& metadata);
// The first XMP packet; empty when there is none.
std::vector<std::uint8_t> XmpPacketOf(const PictureMetadata& metadata);
