#pragma once
// Picture files on disk: the format chosen from the name, loading, and saving without ever
// leaving a half-written file in place of a good one.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/AtomicWrite.h"
#include "image/Bitmap.h"
#include "image/ExifUpright.h"
#include "image/PictureMetadata.h"
#include "image/Progress.h"

// HEIF covers HEIC and AVIF, which libheif reads alike.
enum class PictureFormat { Bitmap, Jpeg, Png, Tiff, Heif, WebP, Jxl, Refused };

// Read from the file's own name, the last part of the path, in any letter case: ".BMP"
// anywhere in it means a bitmap, else ".JPG" anywhere a JPEG; else a name ending in ".JPEG",
// ".JPE" or ".JFIF" is a JPEG, ".PNG" a PNG, ".TIF" or ".TIFF" a TIFF, ".HEIC", ".HEIF" or
// ".AVIF" a HEIF, ".WEBP" a WebP, ".JXL" a JPEG XL; anything else is refused.
PictureFormat FormatOfName(const std::string& path);

// Whether the program writes the format: HEIF and JPEG XL are read only.
bool CanSave(PictureFormat format);

// What the window and the batch tool say when FormatOfName refuses a name to open, or a name
// to save is refused or read only.
inline constexpr const char* OpenNameRefusal = "You must specify a BMP, JPG, PNG, TIFF, HEIC, AVIF, WebP or JXL file.";
inline constexpr const char* SaveNameRefusal =
    "You must specify a .BMP, .JPG, .PNG, .TIF or .WEBP file.\r\nexample: MyPic.bmp";

// A picture with what its file says besides the pixels.
struct LoadedPicture {
    Bitmap Picture;
    PictureMetadata Metadata;
    MetadataWarnings Warnings;  // what the metadata lost on the way in
};

// Loads a file in the given format (not Refused) with its metadata: a JPEG's segments and
// resolution; the EXIF, XMP and ICC profile of the other formats, a PNG's and a TIFF's
// resolution, a TIFF's Photoshop resources. A file cut short by another program while it is
// read throws EFileError. The picture is turned upright by its EXIF or TIFF orientation (a
// HEIF's or JPEG XL's by their own transforms) unless the rule says AsStored; then the metadata's
// StoredOrientation keeps that orientation for a save. Throws EFileError,
// EInvalidGraphic, EJpegError. `progress` hears of the rows decoded and turned, on one rising
// scale; a cancel throws ECancelled.
LoadedPicture LoadPictureFile(const std::string& path, PictureFormat format,
                              OrientationRule rule = OrientationRule::Upright, const ProgressCallback& progress = {});

// The picture alone, upright, as LoadPictureFile gives it.
Bitmap LoadPicture(const std::string& path, PictureFormat format);

// Saves in the given format (not Refused), JPEG at quality 90.
void SavePicture(const std::string& path, const Bitmap& picture, PictureFormat format);
// The same with the metadata of the file the picture came from, made fit for the saved
// picture (see MetadataForSavedPicture): a JPEG carries its segments (see EncodeJpeg); a PNG,
// TIFF or WebP its EXIF, XMP and ICC profile, a TIFF also its Photoshop resources (IPTC), PNG
// and TIFF the resolution; BMP has no place for any of it. `progress` hears of
// the rows encoded (a bitmap's as they go into the temporary file), then of the file written.
// A cancel before the temporary file is renamed into place throws ECancelled, with the old file
// as it was and no temporary file left; one that comes later is too late and is not heard.
// Gives what the file could not carry of the metadata (see EncodeJpeg), for the user to hear.
MetadataWarnings SavePicture(const std::string& path, const Bitmap& picture, PictureFormat format,
                             const PictureMetadata& metadata, const ProgressCallback& progress = {});

// The whole file; throws EFileError with the system's message, or for anything that is not a
// regular file (a FIFO or device is refused without waiting on it).
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);
