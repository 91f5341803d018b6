#include "filters/Statistics.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "filters/ChannelRanges.h"
#include "common/Errors.h"
#include "filters/FilterFrame.h"

std::string StatisticsReport(const Bitmap& picture, const std::string& fileName) {
    const std::int64_t pixels = std::int64_t(picture.Width()) * picture.Height();
    if (pixels == 0) throw EInvalidOp();
    const std::array<ChannelRange, 3> ranges = VisibleChannelRanges(picture, WholePicture(picture));
    const int minB = ranges[0].Min, minG = ranges[1].Min, minR = ranges[2].Min;
    const int maxB = ranges[0].Max, maxG = ranges[1].Max, maxR = ranges[2].Max;
    std::int64_t luminance = 0;  // 64 bits: a 32-bit sum overflows past 8,421,504 pixels
    for (int y = 0; y < picture.Height(); ++y) {
        const std::uint8_t* p = picture.Row(y);
        std::uint32_t rowSum = 0;  // at most 65535 * 255
        for (int x = 0; x < picture.Width(); ++x, p += 3) rowSum += PixelGray(p);
        luminance += rowSum;
    }
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
