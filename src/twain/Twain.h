#pragma once
// The TWAIN session layer: one session at a time against the Source Manager, as plain
// functions over module-level state. Functions answer Booleans or handles (0 for none), and
// report trouble in "TWAIN Error" boxes instead of throwing.
#include <cstdint>
#include <string>

#include "Bitmap.h"
#include "TwainTypes.h"
#include "TwainUserInterface.h"

// A window handle: a pointer-sized integer holding a QWidget*; 0 for none.
using TWindowHandle = std::uintptr_t;

// The manager's source-selection dialog over `window` (0: over the layer's proxy window).
// True when the user chose a source; the manager makes it the default that acquisition opens.
bool TWAIN_SelectImageSource(TWindowHandle window);

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

// biWidth and biHeight of a DIB handle (negative height: rows stored top-down); 0 when the
// handle does not lock.
std::int32_t TWAIN_ImageWidth(TW_HANDLE dib);
std::int32_t TWAIN_ImageHeight(TW_HANDLE dib);

// Copies the width x height block at (sourceX, sourceY) of the DIB, without scaling, to
// (x, y) of `surface`, clipped to both. Source coordinates count from the picture's top-left
// corner whatever the DIB's row order. False when the handle does not lock or the DIB is not
// one the program's decoder reads.
bool TWAIN_PaintImage(Bitmap& surface, int x, int y, int width, int height, TW_HANDLE dib,
                      int sourceX, int sourceY);

// The fixed report of a failure to open or enable the source.
void TWAIN_ReportLastError();
// A "TWAIN Error" warning box with `text`.
void TWAIN_ShowError(const std::string& text);

// The TWAIN state of the session, 1 (nothing loaded) to 7 (transferring).
int TWAIN_SessionState();
