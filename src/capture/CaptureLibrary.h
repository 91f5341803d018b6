#pragma once
// The capture library: two functions, capture windows that take messages, and the window calls
// the video control makes on them. A capture window is a child widget that shows the connected
// driver's frames; everything the control does to it goes through SendMessage.
#include <memory>

#include "capture/CaptureBackend.h"
#include "capture/CaptureRecords.h"

class QWidget;

namespace vfw {

using HWND = QWidget*;

// Callbacks a capture window calls once registered; each answers true.
using CAPSTATUSCALLBACK = LRESULT (*)(HWND window, int nID, const char* text);
using CAPVIDEOCALLBACK = LRESULT (*)(HWND window, VIDEOHDR* header);
using CAPWAVECALLBACK = LRESULT (*)(HWND window, WAVEHDR* header);

// Fills the driver's name and version text, each cut to its buffer and zero-terminated.
// false when there is no driver at the index (0..9).
BOOL capGetDriverDescriptionA(UINT driverIndex, char* name, int nameSize, char* version, int versionSize);

// Creates a capture window. WS_CHILD windows need a parent. 0 on failure.
HWND capCreateCaptureWindowA(const char* windowName, DWORD style, int x, int y, int width, int height, HWND parent,
                             int id);

// Sends a message to a capture window; 0 for a handle that is not a live capture window.
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL DestroyWindow(HWND window);

// The backend new capture windows and driver descriptions use: PipeWire's cameras and then
// Video4Linux2's unless another is installed (tests install the fake). Windows made earlier keep
// the backend they were made with.
void SetCaptureBackend(std::shared_ptr<CaptureBackend> backend);
std::shared_ptr<CaptureBackend> CurrentCaptureBackend();

}  // namespace vfw
