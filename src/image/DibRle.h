#pragma once
// Run-length encoded DIB pixels (BI_RLE8 and BI_RLE4).
#include <cstddef>
#include <cstdint>

#include "image/Bitmap.h"
#include "image/DibHeader.h"
#include "image/RowProgress.h"

// Expands the run-length stream into `picture`, which has the layout's size and is all black.
// Pixels that runs, deltas and line ends skip stay black. Throws EInvalidGraphic when the
// stream ends before the picture is complete and without an end-of-bitmap code. `progress`
// hears of each line the stream moves past.
void DecodeRle(const DibLayout& layout, const std::uint8_t* stream, std::size_t size, Bitmap& picture,
               RowProgress& progress);
