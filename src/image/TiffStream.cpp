#include "image/TiffStream.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "common/Errors.h"

// libtiff reports errors through handlers and return values, never by jumping, so plain C++
// holds the calls. The handlers are the small C-style functions below: each file gets its
// own, which keeps the first message for the exception.

namespace {
int KeepFirstError(TIFF*, void* userData, const char*, const char* format, va_list arguments) {
    auto* log = static_cast<TiffErrorLog*>(userData);
    if (log && !log->quiet && log->message[0] == '\0') std::vsnprintf(log->message, sizeof log->message, format, arguments);
    return 1;  // handled: nothing printed
}

// Warnings (unknown tags, odd but readable fields) lose nothing the picture needs.
int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }
void IgnoreGlobal(const char*, const char*, va_list) {}

// The few messages libtiff gives before a file has its own handlers go nowhere either: a
// desktop program has no terminal to print them on.
void SilenceGlobalHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(IgnoreGlobal);
        TIFFSetWarningHandler(IgnoreGlobal);
    });
}

TiffMemory& StreamOf(thandle_t handle) { return *static_cast<TiffMemory*>(handle); }

tmsize_t ReadStream(thandle_t handle, void* into, tmsize_t count) {
    TiffMemory& s = StreamOf(handle);
    const std::uint8_t* bytes = s.grown ? s.grown->data() : s.data;
    if (count < 0 || s.position >= s.size) return 0;
    const std::uint64_t n = std::min<std::uint64_t>(std::uint64_t(count), s.size - s.position);
    std::memcpy(into, bytes + s.position, n);
    s.position += n;
    return tmsize_t(n);
}

tmsize_t WriteStream(thandle_t handle, void* from, tmsize_t count) {
    TiffMemory& s = StreamOf(handle);
    if (!s.grown || count < 0) return 0;
    try {
        const std::uint64_t end = s.position + std::uint64_t(count);
        if (end > s.grown->size()) s.grown->resize(std::max<std::size_t>(end, s.grown->size() * 2));
        std::memcpy(s.grown->data() + s.position, from, std::size_t(count));
        s.position = end;
        s.size = std::max(s.size, end);
        return count;
    } catch (const std::bad_alloc&) {
        return 0;  // libtiff reports the short write
    }
}

toff_t SeekStream(thandle_t handle, toff_t offset, int whence) {
    TiffMemory& s = StreamOf(handle);
    const std::uint64_t base = whence == SEEK_CUR ? s.position : whence == SEEK_END ? s.size : 0;
    s.position = base + offset;
    return s.position;
}

int CloseStream(thandle_t) { return 0; }
toff_t SizeOfStream(thandle_t handle) { return StreamOf(handle).size; }

// Reading maps the memory itself, so that libtiff decodes strips in place instead of copying.
int MapStream(thandle_t handle, void** base, toff_t* size) {
    TiffMemory& s = StreamOf(handle);
    if (s.grown) return 0;
    *base = const_cast<std::uint8_t*>(s.data);
    *size = s.size;
    return 1;
}
void UnmapStream(thandle_t, void*, toff_t) {}
}  // namespace

TiffFile OpenTiff(TiffMemory& stream, TiffErrorLog& log, const char* mode) {
    SilenceGlobalHandlers();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) throw std::bad_alloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, KeepFirstError, &log);
    TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, nullptr);
    TIFF* tif = TIFFClientOpenExt("picture", mode, &stream, ReadStream, WriteStream, SeekStream, CloseStream,
                                  SizeOfStream, MapStream, UnmapStream, options);
    TIFFOpenOptionsFree(options);
    return TiffFile(tif);
}

void FailTiffRead(const TiffErrorLog& log, const char* otherwise) {
    throw EPictureFileInvalid(std::string("The TIFF file is not valid: ") + (log.message[0] ? log.message : otherwise));
}

void FailTiffWrite(const TiffErrorLog& log, const char* otherwise) {
    throw EPictureFileInvalid(std::string("The TIFF file cannot be written: ") +
                              (log.message[0] ? log.message : otherwise));
}
