#pragma once
// The pictures the benchmarks work on.
#include "image/Bitmap.h"

constexpr int BenchWidth = 6000, BenchHeight = 4000;  // 24 megapixels

// Smooth colour gradients with broad waves, plus a little deterministic noise: it compresses
// like a photo and has about as many distinct colours as one. Made once per process.
const Bitmap& PhotoLike24M();

// Every byte drawn at random: no two neighbours alike, the filters' worst case. Made once per
// process.
const Bitmap& Random24M();
