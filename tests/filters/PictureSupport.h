#pragma once
// Small pictures and comparisons for the filter tests.
#include <cstdint>
#include <ostream>
#include <string>

#include "image/Bitmap.h"
#include "image/Rect.h"

struct Rgb {
    int R, G, B;
    bool operator==(const Rgb&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rgb& c);

Rgb At(const Bitmap& picture, int x, int y);
void Put(Bitmap& picture, int x, int y, Rgb c);
Bitmap Filled(int width, int height, Rgb c);

// No two corners alike, no symmetry: catches flips, transposes and channel swaps.
Bitmap Asymmetric(int width, int height);
Bitmap RandomPicture(int width, int height, std::uint32_t seed);

// "" when equal, else the size difference or the first differing pixel.
std::string FirstDifference(const Bitmap& expected, const Bitmap& actual);

// Every pixel of `after` outside `area` equals the one in `before`; "" or the first change.
std::string ChangeOutside(const Bitmap& before, const Bitmap& after, const TRect& area);
