#include "filters/ToneFilters.h"

#include <cmath>
#include <cstdint>

#include "filters/FilterFrame.h"

// The rule is the long double curve trunc(v * factor + offset), clamped, with factor 2 and
// offset -128 (Increase) or 0.5 and 64 (Decrease). In byte vectors: 2v - 128 is twice the part
// of v above 64, clamped; v / 2 + 64 is exact as a shift because v is not negative. The tests
// hold the vector rule to the curve on every value.
void Contrast(Bitmap& picture, const TRect& selection, ContrastStep step, const ProgressCallback& progress) {
    const Bytes16 quarter = Bytes16{} + 64;
    const bool increase = step == ContrastStep::Increase;
    const double factor = increase ? 2.0 : 0.5, offset = increase ? -128.0 : 64.0;
    auto curve = [factor, offset](int, int v) {
        return ClampByte(std::int32_t(std::trunc(static_cast<long double>(v) * factor + offset)));
    };
    RunCancellable(picture, progress, VisibleRows(picture, selection), [&](Bitmap& target, ProgressMeter* meter) {
        if (increase)
            ApplyVectorRule(
                target, selection,
                [quarter](Bytes16 v, int) {
                    const Bytes16 above = SubtractClamped(v, quarter);
                    return AddClamped(above, above);
                },
                curve, meter);
        else
            ApplyVectorRule(
                target, selection, [quarter](Bytes16 v, int) { return (v >> 1) + quarter; }, curve, meter);
    });
}
