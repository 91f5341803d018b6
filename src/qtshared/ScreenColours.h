#pragma once
// Showing a picture in the colours its ICC profile says. The stored numbers stay as they are
// for the filters and saves; only what is painted goes through the profile into sRGB, which
// is what screens and printers without a profile of their own are taken to show.
#include <QColorTransform>
#include <QImage>
#include <QRect>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/Bitmap.h"
#include "image/PictureMetadata.h"

// Turns the stored numbers of pictures with one profile into sRGB, remembering the last
// profile so that a redraw costs no new transform. Holds nothing for a picture without a
// profile, with one Qt cannot parse or use, or with sRGB's own.
class TScreenColours {
public:
    // The transform for this picture's profile; null when it is shown as stored.
    const QColorTransform* For(const PictureMetadata& metadata);
    const QColorTransform* For(const std::vector<std::uint8_t>& iccProfile);

private:
    std::vector<std::uint8_t> profile_;
    std::optional<QColorTransform> transform_;
};

// `part` of the picture as the screen shows it: a copy through `screen` when there is one.
QImage ScreenImage(const Bitmap& picture, const QRect& part, const QColorTransform* screen);
