#pragma once
// Picture files on disk: the format chosen from the name, loading, and saving without ever
// leaving a half-written file in place of a good one.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Bitmap.h"

enum class PictureFormat { Bitmap, Jpeg, Refused };

// ".BMP" anywhere in the upper-cased path means a bitmap, else ".JPG" a JPEG, else refused.
// The whole path counts, folders included.
PictureFormat FormatOfName(const std::string& path);

// Loads a file in the given format (not Refused). Throws EFileError, EInvalidGraphic, EJpegError.
Bitmap LoadPicture(const std::string& path, PictureFormat format);

// Saves in the given format (not Refused), JPEG at quality 90.
void SavePicture(const std::string& path, const Bitmap& picture, PictureFormat format);

// The whole file; throws EFileError with the system's message.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

// Writes a temporary file beside `path` and renames it over `path`. On any failure the
// temporary file is removed, the old file is untouched, and EFileError carries the system's
// message.
void WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);
// A seam for tests: called before each step of an atomic write; a non-zero answer makes that
// step fail with that error number, as a full disk or a lost permission would.
enum class WriteStep { Create, Write, Sync, Close, Rename };
void SetWriteFaultInjector(std::function<int(WriteStep)> injector);

// The same, for a file produced piece by piece through the sink `produce` is handed.
void WriteFileAtomically(const std::string& path,
                         const std::function<void(const std::function<void(const std::uint8_t*, std::size_t)>&)>& produce);
