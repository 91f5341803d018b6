#include "capture/FrameConversion.h"

extern "C" {
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <array>
#include <mutex>
#include <vector>

#include "image/Jpeg.h"

namespace {
struct PlaneShape {
    std::size_t RowBytes = 0;
    int Rows = 0;
};

AVPixelFormat SwscaleFormat(CameraPixelFormat format) {
    switch (format) {
        case CameraPixelFormat::YUY2: return AV_PIX_FMT_YUYV422;
        case CameraPixelFormat::UYVY: return AV_PIX_FMT_UYVY422;
        case CameraPixelFormat::NV12: return AV_PIX_FMT_NV12;
        case CameraPixelFormat::RGB: return AV_PIX_FMT_RGB24;
        case CameraPixelFormat::BGR: return AV_PIX_FMT_BGR24;
        case CameraPixelFormat::RGBx: return AV_PIX_FMT_RGB0;
        case CameraPixelFormat::BGRx: return AV_PIX_FMT_BGR0;
        case CameraPixelFormat::RGBA: return AV_PIX_FMT_RGBA;
        case CameraPixelFormat::BGRA: return AV_PIX_FMT_BGRA;
        case CameraPixelFormat::MJPG: break;
    }
    return AV_PIX_FMT_NONE;
}

// The planes of a raw format: the bytes each row of pixels takes, and the number of rows.
std::vector<PlaneShape> PlaneShapes(CameraPixelFormat format, int width, int height) {
    const auto w = std::size_t(width);
    const std::size_t pairs = (w + 1) / 2;
    switch (format) {
        case CameraPixelFormat::YUY2:
        case CameraPixelFormat::UYVY: return {{pairs * 4, height}};
        case CameraPixelFormat::NV12: return {{w, height}, {pairs * 2, (height + 1) / 2}};
        case CameraPixelFormat::RGB:
        case CameraPixelFormat::BGR: return {{w * 3, height}};
        default: return {{w * 4, height}};
    }
}

// Whether a plane holds its rows, the last one without its padding.
bool Holds(const TFramePlane& plane, const PlaneShape& shape) {
    if (plane.Data == nullptr || plane.Stride < 0 || std::size_t(plane.Stride) < shape.RowBytes) return false;
    const std::uint64_t needed = std::uint64_t(shape.Rows - 1) * std::uint64_t(plane.Stride) + shape.RowBytes;
    return plane.Size >= needed;
}
}  // namespace

FrameConverter::~FrameConverter() { sws_freeContext(context_); }

bool FrameConverter::Convert(const TFrameLayout& layout, std::span<const TFramePlane> planes, Bitmap& picture) {
    if (planes.empty() || planes[0].Data == nullptr) return false;
    if (layout.Format != CameraPixelFormat::MJPG) return ConvertRaw(layout, planes, picture);
    try {
        Bitmap decoded = DecodeJpeg(planes[0].Data, planes[0].Size);
        if (decoded.Empty()) return false;
        picture = std::move(decoded);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool FrameConverter::ConvertRaw(const TFrameLayout& layout, std::span<const TFramePlane> planes, Bitmap& picture) {
    if (layout.Width <= 0 || layout.Height <= 0 || !PictureSizeAllowed(layout.Width, layout.Height)) return false;
    const std::vector<PlaneShape> shapes = PlaneShapes(layout.Format, layout.Width, layout.Height);
    std::array<TFramePlane, 2> given{};
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        given[i] = i < planes.size() ? planes[i] : TFramePlane{};
        if (given[i].Stride == 0) given[i].Stride = int(shapes[i].RowBytes);
    }
    // A single block holding both NV12 planes: the chroma rows follow the luma rows, which
    // take an even number of rows, at the same stride.
    if (shapes.size() == 2 && planes.size() == 1) {
        const std::uint64_t offset = std::uint64_t(given[0].Stride) * std::uint64_t(layout.Height + layout.Height % 2);
        if (offset >= given[0].Size) return false;
        given[1] = {given[0].Data + offset, given[0].Size - std::size_t(offset), given[0].Stride};
    }
    for (std::size_t i = 0; i < shapes.size(); ++i)
        if (!Holds(given[i], shapes[i])) return false;

    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); });
    const AVPixelFormat source = SwscaleFormat(layout.Format);
    context_ = sws_getCachedContext(context_, layout.Width, layout.Height, source, layout.Width, layout.Height,
                                    AV_PIX_FMT_BGR24, SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                    nullptr, nullptr);
    if (!context_) return false;
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(context_, coefficients, layout.FullRange ? 1 : 0, coefficients, 1, 0, 1 << 16, 1 << 16);

    // Past the checks the conversion cannot fail: a picture of the right size is written in place.
    if (picture.Width() != layout.Width || picture.Height() != layout.Height)
        picture = Bitmap(layout.Width, layout.Height, Bitmap::Overwritten{});
    const std::uint8_t* sources[4] = {given[0].Data, given[1].Data, nullptr, nullptr};
    const int sourceStrides[4] = {given[0].Stride, given[1].Stride, 0, 0};
    std::uint8_t* targets[4] = {picture.Row(0), nullptr, nullptr, nullptr};
    const int targetStrides[4] = {int(picture.RowBytes()), 0, 0, 0};
    sws_scale(context_, sources, sourceStrides, 0, layout.Height, targets, targetStrides);
    return true;
}
