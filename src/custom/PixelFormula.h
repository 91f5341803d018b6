#pragma once
// One channel's formula evaluated for one pixel, the plain way: the channel names are
// replaced by the pixel's values as text, and the text is parsed.
#include <cstdint>
#include <string>
#include <string_view>

#include "parser/Parser.h"

// The formula with every "R1" replaced by the decimal text of r, then every "G1" in the
// result by that of g, then every "B1" by that of b. Case-sensitive and blind to word
// boundaries: "R10" on r = 3 reads "30", "r1" stays. Each pass is a single scan, so text
// that a replacement forms is not replaced again by the same pass ("GR1" on r = 15 gives
// "G15", which the "G1" pass does replace).
void SubstituteChannels(std::string_view formula, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::string& result);

// A parse result as a channel value: rounded to the nearest integer, halves to even, then
// clamped to 0..255 whatever its magnitude.
std::uint8_t ChannelValue(long double value);

// Which of the old channel values a formula's result can depend on.
enum ChannelMask : unsigned { NoChannel = 0, RedChannel = 1, GreenChannel = 2, BlueChannel = 4 };
unsigned ChannelsOf(std::string_view formula);

class TPixelFormula {
public:
    explicit TPixelFormula(std::string formula);

    // The new channel value for a pixel of old values r, g, b: 0 when the text does not
    // parse or meets a domain error. Throws EOverflow (or EInvalidOp) when the parser does.
    std::uint8_t Evaluate(std::uint8_t r, std::uint8_t g, std::uint8_t b);

    const std::string& Formula() const { return formula_; }
    unsigned Channels() const { return channels_; }

private:
    std::string formula_;
    unsigned channels_;
    TMathParser parser_;
    std::string scratch_[2];
};
