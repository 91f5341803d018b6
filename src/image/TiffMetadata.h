#pragma once
// The tags of a TIFF's picture directory that hold metadata other than EXIF: resolution, ICC
// profile, XMP packet, Photoshop resources (which hold IPTC).
#include <tiffio.h>

#include "image/MetadataBlocks.h"
#include "image/PictureMetadata.h"

// Adds what the current directory holds to `metadata`.
void ReadTiffMetadata(TIFF* tif, PictureMetadata& metadata);

// Sets the resolution of `metadata`, if it has one, and the blocks, each if it is there.
void SetTiffMetadata(TIFF* tif, const PictureMetadata& metadata, const SavedMetadata& blocks);
