#pragma once
// The box mean: each result reads the pixels around it as they were before the pass.
#include <cstdint>

#include "image/Bitmap.h"
#include "image/Progress.h"
#include "image/Rect.h"

// Mean runs in parallel bands of rows. Given a progress callback it reports rows done and
// works on a copy of the picture, so that a cancel (ECancelled) leaves the picture as it was.

// Radius limit of Mean: keeps every window sum, up to (2n + 1)^2 x 255, inside 32 bits. A
// 2901 x 2901 window is far past any use of a box mean.
constexpr std::int32_t MeanMaxRadius = 1450;
static_assert((2 * std::int64_t(MeanMaxRadius) + 1) * (2 * MeanMaxRadius + 1) * 255 <= INT32_MAX &&
              (2 * std::int64_t(MeanMaxRadius) + 3) * (2 * MeanMaxRadius + 3) * 255 > INT32_MAX);

// Box mean over a (2n + 1) x (2n + 1) window; samples beyond the selection's edge take the
// nearest edge pixel. The sums are divided by (2n + 1)^2, truncating. A negative radius sums
// nothing and gives black; a radius above MeanMaxRadius throws std::invalid_argument.
void Mean(Bitmap& picture, const TRect& selection, std::int32_t n, const ProgressCallback& progress = {});
