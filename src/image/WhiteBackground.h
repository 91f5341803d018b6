#pragma once
// Alpha composited over white: the working picture has no transparency, and white is what a
// transparent area shows on paper. Both decoders with alpha (PNG, TIFF) use these.
#include <cstdint>

// A straight (unassociated) 8-bit sample with its alpha, rounded to nearest.
inline std::uint8_t OverWhite(unsigned value, unsigned alpha) {
    return std::uint8_t((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

// A sample already multiplied by its alpha: only the white behind is added.
inline std::uint8_t PremultipliedOverWhite(unsigned value, unsigned alpha) {
    const unsigned sum = value + 255 - alpha;
    return std::uint8_t(sum > 255 ? 255 : sum);
}

// Rounds a 16-bit sample to 8 bits: the nearest of the 256 levels.
inline std::uint8_t Reduce16To8(unsigned value) { return std::uint8_t((value + 128) / 257); }
