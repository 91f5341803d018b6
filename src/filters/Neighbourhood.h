#pragma once
// Neighbourhood filters: each result reads the pixels around it as they were before the pass.
#include <cstdint>

#include "Bitmap.h"
#include "FilterOptions.h"
#include "Progress.h"
#include "Rect.h"

// Mean, Sharpness and FindEdges run in parallel bands of rows. Given a progress callback they
// report rows done and work on a copy of the picture, so that a cancel (ECancelled) leaves the
// picture as it was.

// Radius limit of Mean: keeps every window sum, up to (2n + 1)^2 x 255, inside 32 bits. A
// 2901 x 2901 window is far past any use of a box mean.
constexpr std::int32_t MeanMaxRadius = 1450;
static_assert((2 * std::int64_t(MeanMaxRadius) + 1) * (2 * MeanMaxRadius + 1) * 255 <= INT32_MAX &&
              (2 * std::int64_t(MeanMaxRadius) + 3) * (2 * MeanMaxRadius + 3) * 255 > INT32_MAX);

// Box mean over a (2n + 1) x (2n + 1) window; samples beyond the selection's edge take the
// nearest edge pixel. The sums are divided by (2n + 1)^2, truncating. A negative radius sums
// nothing and gives black; a radius above MeanMaxRadius throws std::invalid_argument.
void Mean(Bitmap& picture, const TRect& selection, std::int32_t n, const ProgressCallback& progress = {});

// Moves every channel by 2r - a, r drawn uniformly from 0..a - 1 (red, green, blue per pixel,
// pixels in selection order), clamped. The generator starts at `seed`. One thread: the draws
// are one sequence. With a callback it reports rows done, and a cancel leaves the picture.
void AddNoise(Bitmap& picture, const TRect& selection, std::int32_t a, std::uint32_t seed,
              const ProgressCallback& progress = {});

// Pushes each interior pixel away from (Increase) or towards (Decrease) the mean grey of its
// eight neighbours; the selection's outermost rows and columns stay as they are.
void Sharpness(Bitmap& picture, const TRect& selection, SharpnessStep step, const ProgressCallback& progress = {});

// Edge map: each interior pixel becomes the mean absolute grey difference to its eight
// neighbours, the selection's edge repeats its inner neighbour, the picture's outermost rows
// and columns are outlined in black before that copy-back, then Optimize and Logaritmize(All)
// run on the selection. A selection narrower or lower than 3 keeps its pixels (no interior);
// the outline and the two tone steps still run.
void FindEdges(Bitmap& picture, const TRect& selection, const ProgressCallback& progress = {});
