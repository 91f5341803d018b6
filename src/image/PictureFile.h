#pragma once
// Picture files on disk: the format chosen from the name, loading, and saving without ever
// leaving a half-written file in place of a good one.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "AtomicWrite.h"
#include "Bitmap.h"

enum class PictureFormat { Bitmap, Jpeg, Refused };

// ".BMP" anywhere in the upper-cased path means a bitmap, else ".JPG" a JPEG, else refused.
// The whole path counts, folders included.
PictureFormat FormatOfName(const std::string& path);

// Loads a file in the given format (not Refused). Throws EFileError, EInvalidGraphic, EJpegError.
Bitmap LoadPicture(const std::string& path, PictureFormat format);

// Saves in the given format (not Refused), JPEG at quality 90.
void SavePicture(const std::string& path, const Bitmap& picture, PictureFormat format);

// The whole file; throws EFileError with the system's message, or for anything that is not a
// regular file (a FIFO or device is refused without waiting on it).
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

