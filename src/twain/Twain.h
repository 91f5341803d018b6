#pragma once
// The TWAIN session layer: one session at a time against the Source Manager, as plain
// functions over module-level state. Functions answer Booleans or handles (0 for none), and
// report trouble in "TWAIN Error" boxes instead of throwing.
#include <cstdint>
#include <string>

#include "image/Bitmap.h"
#include "twain/TwainTypes.h"
#include "twain/TwainUserInterface.h"

// A window handle: a pointer-sized integer holding a QWidget*; 0 for none.
using TWindowHandle = std::uintptr_t;

// The manager's source-selection dialog over `window` (0: over the layer's proxy window).
// True when the user chose a source; the manager makes it the default that acquisition opens.
// A manager without a selection box (it refuses the triplet with TWCC_BADPROTOCOL) gets the
// program's own list instead, and the source picked there is the one acquisitions open.
bool TWAIN_SelectImageSource(TWindowHandle window);
// True when the last selection found no source at all, so that an acquisition could only
// fail: the manager said so (TWCC_NODS), or the program's own list was empty.
bool TWAIN_NoSourceFound();

// One acquisition from the default source, whose own dialog stays up until a batch of
// transfers ends on a completed image or the user closes it. Answers the handle of the last
// completed image (0 for none); every completed image is in the image list.
TW_HANDLE TWAIN_AcquireImages(TWindowHandle window);

// The images of the last acquisition, in transfer order. A handle taken from the list
// belongs to the taker, who releases it; the list forgets a released handle. An index
// outside the list answers 0.
int TWAIN_ImageCount();
TW_HANDLE TWAIN_ImageAt(int index);
void TWAIN_ReleaseImage(TW_HANDLE dib);
// Releases the images nobody took; the next acquisition and the program's end call it.
void TWAIN_FreeImages();

// A native transfer is a packed DIB, or on Linux a TIFF file in memory (it starts with
// "II*\0" or "MM\0*"). The functions below take both.

// The width and height of a transferred image: for a DIB biWidth and biHeight (negative
// height: rows stored top-down), for a TIFF those of the upright picture; 0 when the handle
// does not lock or a TIFF does not decode.
std::int32_t TWAIN_ImageWidth(TW_HANDLE dib);
std::int32_t TWAIN_ImageHeight(TW_HANDLE dib);

// Why the image of a handle cannot be painted, in words for the user (naming what the source
// sent when it is neither a DIB nor a TIFF); empty when it can. A TIFF is decoded once and
// kept until it is painted whole or released.
std::string TWAIN_ImageProblem(TW_HANDLE dib);

// Copies the width x height block at (sourceX, sourceY) of the image, without scaling, to
// (x, y) of `surface`, clipped to both. Source coordinates count from the picture's top-left
// corner whatever the DIB's row order. False when the handle does not lock or the image is
// not one the program's decoders read.
bool TWAIN_PaintImage(Bitmap& surface, int x, int y, int width, int height, TW_HANDLE dib, int sourceX, int sourceY);

// The fixed report of a failure to open or enable the source.
void TWAIN_ReportLastError();
// A "TWAIN Error" warning box with `text`.
void TWAIN_ShowError(const std::string& text);

// The TWAIN states of a session, in the order a session moves up through them.
enum TwainState : int {
    PreSession = 1,
    ManagerLoaded = 2,
    ManagerOpen = 3,
    SourceOpen = 4,
    SourceEnabled = 5,
    TransferReady = 6,
    Transferring = 7
};

// The TWAIN state of the session.
TwainState TWAIN_SessionState();
