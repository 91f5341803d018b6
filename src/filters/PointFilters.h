#pragma once
// Colour point filters: each pixel of the selection changes from its own three values alone,
// in integer arithmetic. Each runs in parallel bands of rows; with a progress callback it
// reports rows done, and a cancel throws ECancelled with the picture as it was.
#include <cstdint>

#include "image/Bitmap.h"
#include "filters/FilterOptions.h"
#include "image/Progress.h"
#include "image/Rect.h"

// Adds the amounts to the channels, clamped to 0..255.
void AdjustChannels(Bitmap& picture, const TRect& selection, std::int32_t dR, std::int32_t dG, std::int32_t dB,
                    const ProgressCallback& progress = {});

// White where the grey is above 127, else black.
void BlackAndWhite(Bitmap& picture, const TRect& selection, const ProgressCallback& progress = {});

// All three channels become the pixel's grey.
void Grayscale(Bitmap& picture, const TRect& selection, const ProgressCallback& progress = {});

// v <- 255 - v on the chosen channels.
void Invert(Bitmap& picture, const TRect& selection, ChannelSelector channels, const ProgressCallback& progress = {});

// Rotates the channels: new red = old blue, new green = old red, new blue = old green.
void SwapChannels(Bitmap& picture, const TRect& selection, const ProgressCallback& progress = {});
