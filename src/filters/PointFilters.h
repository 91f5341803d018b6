#pragma once
// Colour point filters: each pixel of the selection changes from its own three values alone,
// in integer arithmetic.
#include <cstdint>

#include "Bitmap.h"
#include "FilterOptions.h"
#include "Rect.h"

// Adds the amounts to the channels, clamped to 0..255.
void AdjustChannels(Bitmap& picture, const TRect& selection, std::int32_t dR, std::int32_t dG,
                    std::int32_t dB);

// White where the grey is above 127, else black.
void BlackAndWhite(Bitmap& picture, const TRect& selection);

// All three channels become the pixel's grey.
void Grayscale(Bitmap& picture, const TRect& selection);

// v <- 255 - v on the chosen channels.
void Invert(Bitmap& picture, const TRect& selection, ChannelSelector channels);

// Rotates the channels: new red = old blue, new green = old red, new blue = old green.
void SwapChannels(Bitmap& picture, const TRect& selection);
