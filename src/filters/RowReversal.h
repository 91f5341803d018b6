#pragma once
// Reversing a row of pixels, which Mirror and Reflection share.
#include <cstdint>
#include <cstring>
#include <vector>

// `out` gets the pixels of `in` in reverse order. Each pixel moves as one 4-byte copy whose
// fourth byte the next pixel's copy overwrites, so `in` must be readable one byte past its
// last pixel; the last pixel written (in's first) moves alone, so nothing is written past the
// end of `out`.
inline void ReversePixels(const std::uint8_t* in, int width, std::uint8_t* out) {
    const std::uint8_t* from = in + 3 * std::size_t(width - 1);
    for (int x = 0; x < width - 1; ++x, from -= 3, out += 3) std::memcpy(out, from, 4);
    std::memcpy(out, in, 3);
}

// A copy of one row with a spare byte after it, for ReversePixels.
class RowCopy {
public:
    explicit RowCopy(std::size_t rowBytes) : bytes_(rowBytes + 1) {}
    const std::uint8_t* Of(const std::uint8_t* row) {
        std::memcpy(bytes_.data(), row, bytes_.size() - 1);
        return bytes_.data();
    }

private:
    std::vector<std::uint8_t> bytes_;
};
