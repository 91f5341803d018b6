#pragma once
// A TIFF's EXIF and GPS directories, with the descriptive text of its picture directory, as the
// EXIF block a picture's metadata carries: read into one, and written from one.
#include <cstdint>
#include <vector>

#include <tiffio.h>

#include "image/Exif.h"
#include "image/PictureMetadata.h"
#include "image/TiffStream.h"

// Adds an EXIF block made from the current directory's EXIF and GPS directories and text tags,
// with `orientation` and the pixel dimensions of the stored picture (width x height) and no
// thumbnail; nothing when the file has neither directory. A damaged directory loses its
// fields, not the picture. Leaves another directory current: call it last.
void ReadTiffExif(TIFF* tif, int orientation, std::uint32_t width, std::uint32_t height, PictureMetadata& metadata);

// Where the written EXIF and GPS directories start; 0 for one not written.
struct TiffExifPlaces {
    toff_t Exif = 0, Gps = 0;
};

// Writes the EXIF and GPS fields as directories of their own, before the picture's directory
// is begun, and leaves a new picture directory current. A field libtiff cannot take as it
// stands is left out. Throws EPictureFileInvalid when a directory cannot be written.
TiffExifPlaces WriteTiffExifDirectories(TIFF* tif, const std::vector<ExifField>& fields, TiffErrorLog& log);

// Sets the picture directory's descriptive text tags from the fields, and points it at the
// directories WriteTiffExifDirectories wrote.
void SetTiffExifTags(TIFF* tif, const std::vector<ExifField>& fields, const TiffExifPlaces& places);
