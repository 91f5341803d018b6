#include "filters/Feather.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "filters/FilterFrame.h"
#include "filters/Parallel.h"

namespace {
// (i - centre)^2 / centre^2 in extended precision for every i in 0..count - 1; all 0 when
// centre is 0, where the quotient would be 0 / 0.
std::vector<long double> AxisTerms(int count, int centre) {
    std::vector<long double> terms(std::size_t(count), 0.0L);
    if (centre == 0) return terms;
    const std::int32_t centreSquare = centre * centre;
    for (int i = 0; i < count; ++i) {
        const std::int32_t offsetSquare = (i - centre) * (i - centre);
        terms[std::size_t(i)] = static_cast<long double>(offsetSquare) / centreSquare;
    }
    return terms;
}
}  // namespace

void Feather(Bitmap& picture, const TRect& selection, PackedColor color, const ProgressCallback& progress) {
    // The region copy is drawn back only after the last band: a cancel leaves the picture as it was.
    ProgressMeter meter(progress, selection.Height());
    FilterFrame(picture, selection, [&](Bitmap& region) {
        const int width = region.Width(), height = region.Height();
        const std::vector<long double> xTerms = AxisTerms(width, width / 2);
        const std::vector<long double> yTerms = AxisTerms(height, height / 2);
        ParallelBands(
            height, BandRows,
            [&](std::int64_t firstRow, std::int64_t endRow) {
                // Locals, not the captured ones: the byte stores below could alias anything the
                // closure reaches, which would reload it for every channel.
                const int target[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
                const long double* const xs = xTerms.data();
                const int columns = width;
                for (int y = int(firstRow); y < endRow; ++y) {
                    const long double yTerm = yTerms[std::size_t(y)];
                    std::uint8_t* p = region.Row(y);
                    for (int x = 0; x < columns; ++x, p += 3) {
                        // Past the ellipse (q > 1) the pixel takes the colour. That needs no root:
                        // the rounded root is then at least 1, and at exactly 1 the fade gives the
                        // colour too.
                        const long double q = xs[x] + yTerm;
                        if (q > 1) {
                            p[0] = std::uint8_t(target[0]), p[1] = std::uint8_t(target[1]),
                            p[2] = std::uint8_t(target[2]);
                            continue;
                        }
                        const double d = std::sqrt(q);
                        const long double t = static_cast<long double>(static_cast<double>(1.0L - d));
                        // Truncates: the value lies in 0..255.
                        for (int c = 0; c < 3; ++c)
                            p[c] = std::uint8_t(static_cast<int>(target[c] * (1 - t) + p[c] * t));
                    }
                }
            },
            progress ? &meter : nullptr);
    });
}
