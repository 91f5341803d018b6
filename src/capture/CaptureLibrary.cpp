#include "capture/CaptureLibrary.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "capture/CaptureWindow.h"
#include "capture/CameraBackend.h"

namespace vfw {
namespace {
std::shared_ptr<CaptureBackend>& InstalledBackend() {
    static std::shared_ptr<CaptureBackend> backend;
    return backend;
}

// Copies text into a caller's buffer, cut to fit, always zero-terminated.
void CopyText(const std::string& text, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return;
    const std::size_t n = std::min(text.size(), std::size_t(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

std::string MessageText(UINT message, WPARAM wParam, LPARAM lParam) {
    const char* name = CaptureMessageName(message);
    std::string text = name ? name : "WM_USER+" + std::to_string(message - WM_USER);
    text += "(" + std::to_string(wParam) + ", ";
    if (message == WM_CAP_FILE_SAVEDIBA && lParam != 0)
        text += "\"" + std::string(reinterpret_cast<const char*>(lParam)) + "\"";
    else
        text += lParam == 0 ? "0" : "ptr";
    return text + ")";
}
}  // namespace

void SetCaptureBackend(std::shared_ptr<CaptureBackend> backend) { InstalledBackend() = std::move(backend); }

std::shared_ptr<CaptureBackend> CurrentCaptureBackend() {
    std::shared_ptr<CaptureBackend>& backend = InstalledBackend();
    if (!backend) backend = std::make_shared<CameraBackend>();
    return backend;
}

BOOL capGetDriverDescriptionA(UINT driverIndex, char* name, int nameSize, char* version, int versionSize) {
    if (driverIndex > 9) return false;
    const std::optional<TDriverDescription> driver = CurrentCaptureBackend()->Describe(int(driverIndex));
    if (!driver) return false;
    CopyText(driver->Name, name, nameSize);
    CopyText(driver->Version, version, versionSize);
    return true;
}

HWND capCreateCaptureWindowA(const char* windowName, DWORD style, int x, int y, int width, int height, HWND parent,
                             int id) {
    const std::shared_ptr<CaptureBackend> backend = CurrentCaptureBackend();
    backend->Observe({"capCreateCaptureWindowA(" + std::string(windowName ? windowName : "") + ", " +
                      std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(width) + ", " +
                      std::to_string(height) + ", " + std::to_string(id) + ")"});
    if ((style & WS_CHILD) && parent == nullptr) return nullptr;
    if (!backend->WindowsAvailable()) return nullptr;
    auto* window = new TCaptureWindow(backend, parent);
    window->setObjectName(QString::fromLatin1(windowName ? windowName : ""));
    window->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
    if (style & WS_VISIBLE) window->show();
    return window;
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TCaptureWindow* capture = TCaptureWindow::FromHandle(window);
    if (!capture) return false;
    capture->Observe(MessageText(message, wParam, lParam));
    return capture->Dispatch(message, wParam, lParam);
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    TCaptureWindow* capture = TCaptureWindow::FromHandle(window);
    if (!capture) return false;
    capture->Observe("MoveWindow(" + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(width) +
                     ", " + std::to_string(height) + ")");
    capture->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
    if (repaint) capture->update();
    return true;
}

BOOL DestroyWindow(HWND window) {
    TCaptureWindow* capture = TCaptureWindow::FromHandle(window);
    if (!capture) return false;
    capture->Observe("DestroyWindow");
    delete capture;
    return true;
}

}  // namespace vfw
