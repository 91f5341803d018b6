#pragma once
// A colour in one 32-bit word: red in bits 0-7, green in 8-15, blue in 16-23, zero above.
#include <cstdint>

using PackedColor = std::uint32_t;

constexpr PackedColor PackColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return PackedColor(r) | PackedColor(g) << 8 | PackedColor(b) << 16;
}
constexpr std::uint8_t RedOf(PackedColor c) { return std::uint8_t(c); }
constexpr std::uint8_t GreenOf(PackedColor c) { return std::uint8_t(c >> 8); }
constexpr std::uint8_t BlueOf(PackedColor c) { return std::uint8_t(c >> 16); }
