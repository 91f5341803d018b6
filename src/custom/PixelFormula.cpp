#include "custom/PixelFormula.h"

#include <cmath>

namespace {

// Appends the decimal text of v: no leading zeros, "0" for zero.
void AppendDecimal(std::string& text, std::uint8_t v) {
    if (v >= 100) text += char('0' + v / 100);
    if (v >= 10) text += char('0' + v / 10 % 10);
    text += char('0' + v % 10);
}

// One pass: every `letter` "1" in `in`, scanned left to right, becomes the text of v.
void ReplaceName(std::string_view in, char letter, std::uint8_t v, std::string& out) {
    out.clear();
    const char name[2] = {letter, '1'};
    std::size_t from = 0;
    for (std::size_t at; (at = in.find(std::string_view(name, 2), from)) != std::string_view::npos; from = at + 2) {
        out.append(in, from, at - from);
        AppendDecimal(out, v);
    }
    out.append(in, from);
}

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace

void SubstituteChannels(std::string_view formula, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::string& result) {
    std::string afterRed, afterGreen;
    ReplaceName(formula, 'R', r, afterRed);
    ReplaceName(afterRed, 'G', g, afterGreen);
    ReplaceName(afterGreen, 'B', b, result);
}

std::uint8_t ChannelValue(long double value) {
    // Past these bounds rounding cannot bring the value back into 0..255 (0.5 and 255.5
    // go to the even neighbours 0 and 256). The tests fail for NaN, which gives 0.
    if (!(value > 0.5L)) return 0;
    if (value >= 255.5L) return 255;
    // In range: round to nearest, ties to even, the default rounding mode.
    return std::uint8_t(std::lrint(value));
}

// A name's text can only be formed anew by a replacement that starts with "1" right after
// the name's letter: "GR1" gives "G1..." when r is 1, 10..19 or 100..199. So green can
// also enter through "GR1", and blue through "BR1", "BG1" and "BGR1". The answer may
// include a channel that turns out not to matter, never leave one out.
unsigned ChannelsOf(std::string_view formula) {
    unsigned channels = NoChannel;
    if (Contains(formula, "R1")) channels |= RedChannel;
    if (Contains(formula, "G1") || Contains(formula, "GR1")) channels |= GreenChannel;
    if (Contains(formula, "B1") || Contains(formula, "BR1") || Contains(formula, "BG1") || Contains(formula, "BGR1"))
        channels |= BlueChannel;
    return channels;
}

TPixelFormula::TPixelFormula(std::string formula) : formula_(std::move(formula)), channels_(ChannelsOf(formula_)) {}

std::uint8_t TPixelFormula::Evaluate(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    // The scratch strings and the parse string keep their capacity from pixel to pixel.
    ReplaceName(formula_, 'R', r, scratch_[0]);
    ReplaceName(scratch_[0], 'G', g, scratch_[1]);
    ReplaceName(scratch_[1], 'B', b, parser_.ParseString);
    parser_.Parse();
    return ChannelValue(parser_.ParseValue());
}
