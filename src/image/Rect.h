#pragma once
// A rectangle of picture pixels, inclusive on all four sides.
#include <cstdint>
#include <utility>

struct TRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;

    // 64-bit so that a rectangle spanning the whole int range cannot overflow.
    std::int64_t Width() const { return std::int64_t(Right) - Left + 1; }
    std::int64_t Height() const { return std::int64_t(Bottom) - Top + 1; }

    // Puts the corners in order: Left <= Right, Top <= Bottom.
    void Normalize() {
        if (Right < Left) std::swap(Left, Right);
        if (Bottom < Top) std::swap(Top, Bottom);
    }
    bool operator==(const TRect&) const = default;
};
