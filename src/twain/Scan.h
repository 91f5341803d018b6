#pragma once
// The core of the main window's scanner command: choose a source, acquire, and bring the
// first image in as a picture.
#include <optional>

#include "image/Bitmap.h"
#include "twain/TwainTypes.h"

// The picture a native transfer holds. A DIB pixel for pixel at its width and height: rows
// bottom-up for a positive height, top-down for a negative one; 1-, 4- and 8-bit pixels
// through the colour table. A TIFF as its reader decodes it, turned upright. Throws
// EInvalidGraphic, saying why, for an image the program cannot read.
Bitmap ScannedPicture(TW_HANDLE dib);

// Runs the source selection (a cancelled selection acquires from the default source; one
// that found no source at all ends the command) and one acquisition over the layer's proxy window. Answers the
// first image, released from the list; nothing when no image arrived. The other images stay
// in the layer's list until the next acquisition.
std::optional<Bitmap> ScanFirstImage();
