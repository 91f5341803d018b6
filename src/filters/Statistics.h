#pragma once
// Filters > Statistics: a report on the whole picture, ignoring the selection.
#include <string>

#include "image/Bitmap.h"

// The report's lines joined by "\r\n", no break after the last:
//   File: NAME / Dimensions: W X H / (empty) / Optimized: yes|no / (empty) /
//   R: MIN to MAX / G: ... / B: ... / (empty) / Average luminance: L %
// L is the mean grey in percent, rounded half to even. An empty picture throws EInvalidOp
// (its mean is 0 / 0).
std::string StatisticsReport(const Bitmap& picture, const std::string& fileName);
