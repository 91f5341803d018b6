#pragma once
// Tone filters: one curve per channel, the same for every pixel of the selection.
#include "Bitmap.h"
#include "FilterFrame.h"
#include "FilterOptions.h"
#include "Rect.h"

// Doubles (Increase) or halves (Decrease) the distance of every value from 128, clamped.
void Contrast(Bitmap& picture, const TRect& selection, ContrastStep step);

// Stretches each channel's range over the selection to 0..255. A channel holding a single
// value over the whole selection is left as it is.
void Optimize(Bitmap& picture, const TRect& selection);

// v <- Round(log10(v + 1) * 105.88) on the chosen channels: lifts the dark tones.
void Logaritmize(Bitmap& picture, const TRect& selection, ChannelSelector channels);

// The curves Optimize and Logaritmize apply, for running them together in one pass.
ChannelTables OptimizeTables(const Bitmap& picture, const TRect& selection);
ChannelTables LogaritmizeTables(ChannelSelector channels);
