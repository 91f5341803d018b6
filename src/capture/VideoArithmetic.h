#pragma once
// The video control's number rules: rounding of rates and periods, clamping of settings, and
// the size of the capture window inside the control.
#include <cstdint>

// Frames per second for a frame period: round(1 / period x 1,000,000), 0 for a period of 0.
std::uint16_t FrameRateOf(std::uint32_t microSecPerFrame);
// The frame period a frame rate asks for; a rate of 0 counts as 10.
std::uint32_t MicroSecPerFrameOf(std::uint16_t frameRate);
// Frame periods below 33333 microseconds (30 frames a second) become 33333.
std::uint32_t ClampMicroSecPerFrame(std::uint32_t microSecPerFrame);
// 0 stays 0; other sizes are kept within 1800..324000.
std::uint32_t ClampCapIndexSize(std::uint32_t size);
// Preview rates are kept within 1..30 frames a second.
std::uint16_t ClampPreviewRate(std::uint16_t rate);
// Milliseconds between preview frames: round(1 / rate x 1000).
std::uint16_t PreviewMilliseconds(std::uint16_t rate);

struct TCaptureSize {
    int Width, Height;
    bool operator==(const TCaptureSize&) const = default;
};

enum class PreviewScale { Unscaled, ToWindow };
enum class PreviewAspect { Free, Proportional };

// The capture window's size for an image iw x ih in a control cw x ch.
TCaptureSize FitCaptureSize(int imageWidth, int imageHeight, int controlWidth, int controlHeight, PreviewScale scale,
                            PreviewAspect aspect);
