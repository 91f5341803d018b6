#pragma once
// Find edges: each result reads the pixels around it as they were before the pass.
#include <cstdint>

#include "image/Bitmap.h"
#include "image/Progress.h"
#include "image/Rect.h"

// FindEdges runs in parallel bands of rows. Given a progress callback it reports rows done and
// works on a copy of the picture, so that a cancel (ECancelled) leaves the picture as it was.

// Edge map: each interior pixel becomes the mean absolute grey difference to its eight
// neighbours, the selection's edge repeats its inner neighbour, the picture's outermost rows
// and columns are outlined in black before that copy-back, then Optimize and Logaritmize(All)
// run on the selection. A selection narrower or lower than 3 keeps its pixels (no interior);
// the outline and the two tone steps still run.
void FindEdges(Bitmap& picture, const TRect& selection, const ProgressCallback& progress = {});
