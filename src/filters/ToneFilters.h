#pragma once
// Tone filters: one curve per channel, the same for every pixel of the selection. Each runs in
// parallel bands of rows; with a progress callback it reports rows done, and a cancel throws
// ECancelled with the picture as it was.
#include "image/Bitmap.h"
#include "filters/FilterFrame.h"
#include "filters/FilterOptions.h"
#include "image/Progress.h"
#include "image/Rect.h"

// Doubles (Increase) or halves (Decrease) the distance of every value from 128, clamped.
void Contrast(Bitmap& picture, const TRect& selection, ContrastStep step, const ProgressCallback& progress = {});

// Stretches each channel's range over the selection to 0..255. A channel holding a single
// value over the whole selection is left as it is.
void Optimize(Bitmap& picture, const TRect& selection, const ProgressCallback& progress = {});

// v <- Round(log10(v + 1) * 105.88) on the chosen channels: lifts the dark tones.
void Logaritmize(Bitmap& picture, const TRect& selection, ChannelSelector channels,
                 const ProgressCallback& progress = {});

// The curves Optimize and Logaritmize apply, for running them together in one pass.
ChannelTables OptimizeTables(const Bitmap& picture, const TRect& selection);
ChannelTables LogaritmizeTables(ChannelSelector channels);
