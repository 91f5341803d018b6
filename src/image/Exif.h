#pragma once
// EXIF blocks read and rewritten through libexif.
#include "PictureMetadata.h"

// The orientation (1 to 8) the first EXIF block gives; 1 when there is none or the value is
// out of range.
int ExifOrientation(const PictureMetadata& metadata);

// The metadata to write with a picture of width x height: each EXIF block gives the
// orientation of the pixels (1 when they were turned upright, else the value they were
// loaded with, see PictureMetadata::StoredOrientation) and the saved pixel dimensions, and
// loses its thumbnail, which would show the old picture. A block that already says so, and every other segment, is kept
// byte for byte, so that a file saved twice keeps the same metadata.
PictureMetadata MetadataForSavedPicture(const PictureMetadata& metadata, int width, int height);
