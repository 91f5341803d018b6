#pragma once
// The core of the main window's scanner command: choose a source, acquire, and bring the
// first image in as a picture.
#include <optional>

#include "Bitmap.h"
#include "TwainTypes.h"

// The picture a DIB handle holds, pixel for pixel at the DIB's width and height: rows
// bottom-up for a positive height, top-down for a negative one; 1-, 4- and 8-bit pixels
// through the colour table. Throws EInvalidGraphic for a DIB the program cannot read.
Bitmap ScannedPicture(TW_HANDLE dib);

// Runs the source selection (its answer does not matter: a cancelled selection acquires
// from the default source) and one acquisition over the layer's proxy window. Answers the
// first image, released from the list; nothing when no image arrived. The other images stay
// in the layer's list until the next acquisition.
std::optional<Bitmap> ScanFirstImage();
