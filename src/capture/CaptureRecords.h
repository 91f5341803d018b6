#pragma once
// The capture library's published types: the message numbers, the two records the control
// reads and the headers its stream callbacks receive. The records keep their 32-bit Windows
// layouts (44 and 76 bytes) because the control hands their sizes to the library.
#include <cstddef>
#include <cstdint>

namespace vfw {

using UINT = std::uint32_t;
using BOOL = std::int32_t;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr UINT WM_USER = 0x400;
constexpr UINT WM_CAP_SET_CALLBACK_STATUSA = WM_USER + 3;
constexpr UINT WM_CAP_SET_CALLBACK_VIDEOSTREAM = WM_USER + 6;
constexpr UINT WM_CAP_SET_CALLBACK_WAVESTREAM = WM_USER + 7;
constexpr UINT WM_CAP_GET_USER_DATA = WM_USER + 8;
constexpr UINT WM_CAP_SET_USER_DATA = WM_USER + 9;
constexpr UINT WM_CAP_DRIVER_CONNECT = WM_USER + 10;
constexpr UINT WM_CAP_DRIVER_DISCONNECT = WM_USER + 11;
constexpr UINT WM_CAP_DRIVER_GET_CAPS = WM_USER + 14;
constexpr UINT WM_CAP_FILE_SAVEDIBA = WM_USER + 25;
constexpr UINT WM_CAP_SET_PREVIEW = WM_USER + 50;
constexpr UINT WM_CAP_SET_OVERLAY = WM_USER + 51;
constexpr UINT WM_CAP_SET_PREVIEWRATE = WM_USER + 52;
constexpr UINT WM_CAP_SET_SCALE = WM_USER + 53;
constexpr UINT WM_CAP_GET_STATUS = WM_USER + 54;
constexpr UINT WM_CAP_GRAB_FRAME = WM_USER + 60;
static_assert(WM_CAP_FILE_SAVEDIBA == 0x419 && WM_CAP_SET_PREVIEW == 0x432 && WM_CAP_GRAB_FRAME == 0x43C);

// The published name of a capture message, for traces; "WM_USER+n" for others.
const char* CaptureMessageName(UINT message);

constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;

// Handles inside the records are 32-bit, as in the published layout; this library leaves them 0.
using HANDLE32 = std::uint32_t;

struct CAPDRIVERCAPS {
    UINT wDeviceIndex;
    BOOL fHasOverlay;
    BOOL fHasDlgVideoSource;
    BOOL fHasDlgVideoFormat;
    BOOL fHasDlgVideoDisplay;
    BOOL fCaptureInitialized;
    BOOL fDriverSuppliesPalettes;
    HANDLE32 hVideoIn;
    HANDLE32 hVideoOut;
    HANDLE32 hVideoExtIn;
    HANDLE32 hVideoExtOut;
};
static_assert(sizeof(CAPDRIVERCAPS) == 44);
static_assert(offsetof(CAPDRIVERCAPS, fHasOverlay) == 4);
static_assert(offsetof(CAPDRIVERCAPS, hVideoExtOut) == 40);

struct POINT32 {
    std::int32_t x, y;
};

struct CAPSTATUS {
    UINT uiImageWidth;
    UINT uiImageHeight;
    BOOL fLiveWindow;
    BOOL fOverlayWindow;
    BOOL fScale;
    POINT32 ptScroll;
    BOOL fUsingDefaultPalette;
    BOOL fAudioHardware;
    BOOL fCapFileExists;
    DWORD dwCurrentVideoFrame;
    DWORD dwCurrentVideoFramesDropped;
    DWORD dwCurrentWaveSamples;
    DWORD dwCurrentTimeElapsedMS;
    HANDLE32 hPalCurrent;
    BOOL fCapturingNow;
    DWORD dwReturn;
    UINT wNumVideoAllocated;
    UINT wNumAudioAllocated;
};
static_assert(sizeof(CAPSTATUS) == 76);
static_assert(offsetof(CAPSTATUS, uiImageWidth) == 0);
static_assert(offsetof(CAPSTATUS, uiImageHeight) == 4);
static_assert(offsetof(CAPSTATUS, fLiveWindow) == 8);
static_assert(offsetof(CAPSTATUS, fOverlayWindow) == 12);
static_assert(offsetof(CAPSTATUS, ptScroll) == 20);
static_assert(offsetof(CAPSTATUS, hPalCurrent) == 56);
static_assert(offsetof(CAPSTATUS, wNumAudioAllocated) == 72);

// One frame handed to the video-stream callback: the frame's rows, top row first, each a run
// of blue-green-red pixels without padding.
struct VIDEOHDR {
    std::uint8_t* lpData;
    DWORD dwBufferLength;
    DWORD dwBytesUsed;
    DWORD dwTimeCaptured;  // milliseconds since the driver was connected
    std::uintptr_t dwUser;
    DWORD dwFlags;
    std::uintptr_t dwReserved[4];
};
constexpr DWORD VHDR_DONE = 0x1;
constexpr DWORD VHDR_KEYFRAME = 0x8;

// A wave buffer. This library captures no audio, so the wave-stream callback is registered
// but never called.
struct WAVEHDR {
    char* lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    std::uintptr_t dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    std::uintptr_t reserved;
};

// Status codes this library reports through the status callback.
constexpr int CaptureStatusDeviceFailed = 400;

}  // namespace vfw
