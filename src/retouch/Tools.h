#pragma once
// The retouch brushes: each dab works on a disc of radius `size` around (x, y). Pixels of the
// disc outside the picture are skipped.
#include <optional>

#include "image/Bitmap.h"

// Moves each pixel of the disc towards `color` by (1 - dist / size) * opacity, where opacity
// is the bar's position over its maximum: the centre by the full opacity, the rim not at all.
void AirbrushAt(Bitmap& picture, int x, int y, int size, int opacityPosition, int opacityMaximum, PackedColor color);

// Adds (1 - dist / size) * amount to every channel of the disc's pixels, clamped to 0..255:
// a positive amount lightens, a negative one darkens.
void ShadeAt(Bitmap& picture, int x, int y, int size, int amount);

// The colour under (x, y); nothing outside the picture.
std::optional<PackedColor> PickColor(const Bitmap& picture, int x, int y);
