#pragma once
// Camera frames in the formats PipeWire nodes offer, turned into the program's 24-bit picture:
// raw formats through libswscale, Motion-JPEG through the JPEG decoder.
#include <cstddef>
#include <cstdint>
#include <span>

#include "image/Bitmap.h"

struct SwsContext;

enum class CameraPixelFormat { YUY2, UYVY, NV12, RGB, BGR, RGBx, BGRx, RGBA, BGRA, MJPG };

struct TFrameLayout {
    CameraPixelFormat Format = CameraPixelFormat::YUY2;
    int Width = 0, Height = 0;
    // YUV samples over 0..255 instead of video's 16..235.
    bool FullRange = false;
};

// One plane of a frame as it sits in memory; a stride of 0 means rows without padding.
struct TFramePlane {
    const std::uint8_t* Data = nullptr;
    std::size_t Size = 0;
    int Stride = 0;
};

class FrameConverter {
public:
    FrameConverter() = default;
    ~FrameConverter();
    FrameConverter(const FrameConverter&) = delete;
    FrameConverter& operator=(const FrameConverter&) = delete;

    // Converts one frame. NV12 may come as two planes or as one holding both. False, with
    // `picture` untouched, when the planes hold less than the layout needs or the data does not
    // decode.
    bool Convert(const TFrameLayout& layout, std::span<const TFramePlane> planes, Bitmap& picture);

private:
    bool ConvertRaw(const TFrameLayout& layout, std::span<const TFramePlane> planes, Bitmap& picture);
    SwsContext* context_ = nullptr;
};
