#include "Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "Errors.h"
#include "FilterFrame.h"

namespace {
// The lowest and highest value of each channel (0 blue, 1 green, 2 red). Whole 48-byte blocks go
// through byte vectors, in which byte j of part k always holds channel (16k + j) mod 3; their
// lanes are folded into the channels at the end. Compared one byte at a time, the six running
// extremes were most of the report's time.
struct ChannelRanges {
    std::uint8_t Low[3] = {255, 255, 255}, High[3] = {0, 0, 0};
    Bytes16 LowLanes[3], HighLanes[3];

    ChannelRanges() {
        for (int k = 0; k < 3; ++k) LowLanes[k] = Bytes16{} + 255, HighLanes[k] = Bytes16{};
    }
    void Add(const std::uint8_t* row, std::size_t bytes) {
        // The lanes in locals for the row, so that they stay in registers.
        Bytes16 low[3] = {LowLanes[0], LowLanes[1], LowLanes[2]};
        Bytes16 high[3] = {HighLanes[0], HighLanes[1], HighLanes[2]};
        SplitBlocks(
            row, bytes,
            [&](const std::uint8_t* block) {
                for (int k = 0; k < 3; ++k) {
                    Bytes16 v;
                    std::memcpy(&v, block + 16 * k, 16);
                    low[k] = Min(low[k], v);
                    high[k] = Max(high[k], v);
                }
            },
            [this](std::uint8_t v, int channel) {
                Low[channel] = std::min(Low[channel], v);
                High[channel] = std::max(High[channel], v);
            });
        for (int k = 0; k < 3; ++k) LowLanes[k] = low[k], HighLanes[k] = high[k];
    }
    void FoldLanes() {
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 16; ++j) {
                const int channel = (16 * k + j) % 3;
                Low[channel] = std::min<std::uint8_t>(Low[channel], LowLanes[k][j]);
                High[channel] = std::max<std::uint8_t>(High[channel], HighLanes[k][j]);
            }
    }
};
}  // namespace

std::string StatisticsReport(const Bitmap& picture, const std::string& fileName) {
    ChannelRanges ranges;
    std::int64_t luminance = 0;  // 64 bits: a 32-bit sum overflows past 8,421,504 pixels
    for (int y = 0; y < picture.Height(); ++y) {
        const std::uint8_t* p = picture.Row(y);
        ranges.Add(p, picture.RowBytes());
        std::uint32_t rowSum = 0;  // at most 65535 * 255
        for (int x = 0; x < picture.Width(); ++x, p += 3) rowSum += PixelGray(p);
        luminance += rowSum;
    }
    ranges.FoldLanes();
    const std::uint8_t minB = ranges.Low[0], minG = ranges.Low[1], minR = ranges.Low[2];
    const std::uint8_t maxB = ranges.High[0], maxG = ranges.High[1], maxR = ranges.High[2];
    const std::int64_t pixels = std::int64_t(picture.Width()) * picture.Height();
    if (pixels == 0) throw EInvalidOp();
    // sum * (100 / 255) / N in extended precision, rounded half to even.
    const long double percent = static_cast<long double>(luminance) * (100.0L / 255.0L) / pixels;
    const long long average = std::llrint(percent);
    const bool optimized = minR == 0 && minG == 0 && minB == 0 && maxR == 255 && maxG == 255 && maxB == 255;

    auto range = [](const char* name, int low, int high) {
        return std::string(name) + ": " + std::to_string(low) + " to " + std::to_string(high);
    };
    const char* const nl = "\r\n";
    return "File: " + fileName + nl + "Dimensions: " + std::to_string(picture.Width()) + " X " +
           std::to_string(picture.Height()) + nl + nl + "Optimized: " + (optimized ? "yes" : "no") + nl + nl +
           range("R", minR, maxR) + nl + range("G", minG, maxG) + nl + range("B", minB, maxB) + nl + nl +
           "Average luminance: " + std::to_string(average) + " %";
}
