#pragma once
// libtiff over files in memory, with each file's first error kept for the message. Shared by
// the TIFF reader, writer and metadata code.
#include <cstdint>
#include <memory>
#include <vector>

#include <tiffio.h>

// The first error libtiff reported for one file. While `quiet`, errors are not kept: libtiff
// reports a field it refuses as an error, and a field of metadata may be left out.
struct TiffErrorLog {
    char message[256];
    bool quiet;
};

// A file in memory: read in place, or grown as it is written.
struct TiffMemory {
    const std::uint8_t* data = nullptr;          // reading
    std::vector<std::uint8_t>* grown = nullptr;  // writing
    std::uint64_t size = 0, position = 0;
};

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

// Opens `stream` in libtiff's `mode` with errors going to `log`; null when libtiff refuses.
TiffFile OpenTiff(TiffMemory& stream, TiffErrorLog& log, const char* mode);

// Throws EPictureFileInvalid with the logged message, or `otherwise` when there is none.
[[noreturn]] void FailTiffRead(const TiffErrorLog& log, const char* otherwise);
[[noreturn]] void FailTiffWrite(const TiffErrorLog& log, const char* otherwise);
