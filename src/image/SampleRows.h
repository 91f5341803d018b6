#pragma once
// Rows of interleaved samples as a decoding library hands them over (red or blue first, grey
// or colour, 8 to 16 bits, with or without alpha) turned into our blue-green-red rows, with
// alpha composited over white.
#include <cstddef>
#include <cstdint>
#include <vector>

enum class AlphaKind { None, Straight, Premultiplied };

struct SampleLayout {
    int Colours = 3;                    // 1 for grey, 3 for colour
    bool BlueFirst = false;             // colour samples in blue-green-red order, else red-green-blue
    AlphaKind Alpha = AlphaKind::None;  // an alpha sample follows the colours unless None
    int Bits = 8;                       // significant bits: 8 in bytes, 9 to 16 in 16-bit samples
    int Extra = 0;                      // samples after these in each pixel, passed over

    int Samples() const { return Colours + (Alpha == AlphaKind::None ? 0 : 1) + Extra; }
};

class SampleRowConverter {
public:
    explicit SampleRowConverter(const SampleLayout& layout);

    // Converts `width` pixels of `in` (bytes, or native-endian 16-bit samples past 8 bits)
    // into `out`, three bytes a pixel. Samples above the largest level of their bits count
    // as that level.
    void Convert(const void* in, std::uint8_t* out, std::size_t width) const;

private:
    SampleLayout layout_;
    std::vector<std::uint8_t> levels_;  // 8-bit level of each wide sample value, rounded
};
