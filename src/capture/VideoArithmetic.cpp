#include "capture/VideoArithmetic.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Rounds to nearest, ties to even, and keeps the result inside the target type, so that an
// out-of-range value saturates instead of wrapping.
template <typename T>
T RoundTo(long double value) {
    const long double rounded = std::nearbyintl(value);
    if (!(rounded >= 0)) return 0;
    if (rounded >= static_cast<long double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return static_cast<T>(rounded);
}

// A proportional side never exceeds the control's own, so it always fits an int.
int RoundSide(long double value) { return static_cast<int>(std::nearbyintl(value)); }
}  // namespace

std::uint16_t FrameRateOf(std::uint32_t microSecPerFrame) {
    if (microSecPerFrame == 0) return 0;
    return RoundTo<std::uint16_t>(1.0L / static_cast<long double>(microSecPerFrame) * 1000000.0L);
}

std::uint32_t MicroSecPerFrameOf(std::uint16_t frameRate) {
    const long double rate = frameRate == 0 ? 10 : frameRate;
    return RoundTo<std::uint32_t>(1.0L / rate * 1000000.0L);
}

std::uint32_t ClampMicroSecPerFrame(std::uint32_t microSecPerFrame) {
    return std::max<std::uint32_t>(microSecPerFrame, 33333);
}

std::uint32_t ClampCapIndexSize(std::uint32_t size) {
    return size == 0 ? 0 : std::clamp<std::uint32_t>(size, 1800, 324000);
}

std::uint16_t ClampPreviewRate(std::uint16_t rate) { return std::clamp<std::uint16_t>(rate, 1, 30); }

std::uint16_t PreviewMilliseconds(std::uint16_t rate) {
    return RoundTo<std::uint16_t>(1.0L / static_cast<long double>(std::max<std::uint16_t>(rate, 1)) * 1000.0L);
}

TCaptureSize FitCaptureSize(int imageWidth, int imageHeight, int controlWidth, int controlHeight, PreviewScale scale,
                            PreviewAspect aspect) {
    if (scale == PreviewScale::Unscaled) return {imageWidth, imageHeight};
    // Without an image size or a control height the ratios mean nothing: fill the control.
    if (aspect == PreviewAspect::Free || imageWidth <= 0 || imageHeight <= 0 || controlHeight <= 0)
        return {controlWidth, controlHeight};
    // Both ratios are kept as 32-bit floats, so that equal shapes compare equal.
    const float a = static_cast<float>(static_cast<long double>(controlWidth) / controlHeight);
    const float r = static_cast<float>(static_cast<long double>(imageWidth) / imageHeight);
    if (a > r) return {RoundSide(static_cast<long double>(controlHeight) * r), controlHeight};
    return {controlWidth, RoundSide(static_cast<long double>(controlWidth) / r)};
}
