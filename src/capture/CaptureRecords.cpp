#include "capture/CaptureRecords.h"

namespace vfw {

const char* CaptureMessageName(UINT message) {
    switch (message) {
        case WM_CAP_SET_CALLBACK_STATUSA: return "WM_CAP_SET_CALLBACK_STATUSA";
        case WM_CAP_SET_CALLBACK_VIDEOSTREAM: return "WM_CAP_SET_CALLBACK_VIDEOSTREAM";
        case WM_CAP_SET_CALLBACK_WAVESTREAM: return "WM_CAP_SET_CALLBACK_WAVESTREAM";
        case WM_CAP_GET_USER_DATA: return "WM_CAP_GET_USER_DATA";
        case WM_CAP_SET_USER_DATA: return "WM_CAP_SET_USER_DATA";
        case WM_CAP_DRIVER_CONNECT: return "WM_CAP_DRIVER_CONNECT";
        case WM_CAP_DRIVER_DISCONNECT: return "WM_CAP_DRIVER_DISCONNECT";
        case WM_CAP_DRIVER_GET_CAPS: return "WM_CAP_DRIVER_GET_CAPS";
        case WM_CAP_FILE_SAVEDIBA: return "WM_CAP_FILE_SAVEDIBA";
        case WM_CAP_SET_PREVIEW: return "WM_CAP_SET_PREVIEW";
        case WM_CAP_SET_OVERLAY: return "WM_CAP_SET_OVERLAY";
        case WM_CAP_SET_PREVIEWRATE: return "WM_CAP_SET_PREVIEWRATE";
        case WM_CAP_SET_SCALE: return "WM_CAP_SET_SCALE";
        case WM_CAP_GET_STATUS: return "WM_CAP_GET_STATUS";
        case WM_CAP_GRAB_FRAME: return "WM_CAP_GRAB_FRAME";
        default: return nullptr;
    }
}

}  // namespace vfw
