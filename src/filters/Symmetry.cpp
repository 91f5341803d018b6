#include "Symmetry.h"

#include <algorithm>
#include <cstdint>

#include "FilterFrame.h"

// Both work in place on partner pairs through row pointers; a pixel that is its own partner
// (the middle column or row of an odd size) keeps its value either way.

void Mirror(Bitmap& picture, TRect& selection, MirrorAxis axis) {
    const int width = picture.Width(), height = picture.Height();
    if (axis == MirrorAxis::Horizontal) {
        for (int y = 0; y < height; ++y)
            for (int x = 0, partner = width - 1; x < partner; ++x, --partner)
                std::swap_ranges(picture.Pixel(x, y), picture.Pixel(x, y) + 3, picture.Pixel(partner, y));
    } else {
        for (int y = 0, partner = height - 1; y < partner; ++y, --partner)
            std::swap_ranges(picture.Row(y), picture.Row(y) + picture.RowBytes(), picture.Row(partner));
    }
    selection = WholePicture(picture);
}

void Reflection(Bitmap& picture, TRect& selection, MirrorAxis axis) {
    selection = WholePicture(picture);
    const int width = picture.Width(), height = picture.Height();
    auto average = [](std::uint8_t* a, std::uint8_t* b, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i) a[i] = b[i] = std::uint8_t((a[i] + b[i]) / 2);
    };
    if (axis == MirrorAxis::Horizontal) {
        for (int y = 0; y < height; ++y)
            for (int x = 0, partner = width - 1; x < partner; ++x, --partner)
                average(picture.Pixel(x, y), picture.Pixel(partner, y), 3);
    } else {
        for (int y = 0, partner = height - 1; y < partner; ++y, --partner)
            average(picture.Row(y), picture.Row(partner), picture.RowBytes());
    }
}
