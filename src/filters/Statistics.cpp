#include "Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Errors.h"
#include "FilterFrame.h"

std::string StatisticsReport(const Bitmap& picture, const std::string& fileName) {
    std::uint8_t minB = 255, minG = 255, minR = 255, maxB = 0, maxG = 0, maxR = 0;
    std::int64_t luminance = 0;  // 64 bits: a 32-bit sum overflows past 8,421,504 pixels
    for (int y = 0; y < picture.Height(); ++y) {
        const std::uint8_t* p = picture.Row(y);
        std::uint32_t rowSum = 0;  // at most 65535 * 255
        for (int x = 0; x < picture.Width(); ++x, p += 3) {
            minB = std::min(minB, p[0]), maxB = std::max(maxB, p[0]);
            minG = std::min(minG, p[1]), maxG = std::max(maxG, p[1]);
            minR = std::min(minR, p[2]), maxR = std::max(maxR, p[2]);
            rowSum += PixelGray(p);
        }
        luminance += rowSum;
    }
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
