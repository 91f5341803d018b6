#include "capture/Video.h"

#include <array>

#include "capture/CaptureErrors.h"
#include "capture/VideoArithmetic.h"

using namespace vfw;

namespace {
constexpr int CaptureWindowId = 5001;
// The library's buffers: driver texts of 80 bytes, file names of 264.
constexpr int DescriptionSize = 80;
constexpr std::size_t FileNameBufferSize = 264;

bool Succeeded(LRESULT result) { return (result & 0xFF) != 0; }

// The description of a driver, or nothing when none is installed at the index.
std::optional<TDriverDescription> QueryDescription(int index) {
    std::array<char, DescriptionSize> name{}, version{};
    if (!capGetDriverDescriptionA(UINT(index), name.data(), DescriptionSize, version.data(), DescriptionSize))
        return std::nullopt;
    return TDriverDescription{name.data(), version.data()};
}

// The control behind a capture window, from the user data it stored there.
TVideo* ControlOf(HWND window) { return reinterpret_cast<TVideo*>(SendMessage(window, WM_CAP_GET_USER_DATA, 0, 0)); }
}  // namespace

TVideo::TVideo(QWidget* owner) : QWidget(owner) {
    resize(100, 100);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
}

TVideo::~TVideo() {
    DisconnectDriver();
    ReleaseBuffers();
}

LRESULT TVideo::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return SendMessage(captureWindow_, message, wParam, lParam);
}

bool TVideo::DriverOpen() const { return captureWindow_ != nullptr; }

void TVideo::SetDriverOpen(bool open) {
    if (open == DriverOpen()) return;
    if (open)
        ConnectDriver();
    else
        DisconnectDriver();
}

bool TVideo::ConnectDriver() {
    if (captureWindow_) return true;
    if (driverIndex_ == -1) {
        ENoDriverException error;
        RefreshStatus(Notify::Yes);
        throw error;
    }
    const QByteArray name = objectName().toLatin1();
    captureWindow_ = capCreateCaptureWindowA(name.constData(), WS_CHILD | WS_VISIBLE, 0, 0, width(), height(), this,
                                             CaptureWindowId);
    if (!captureWindow_) {
        ENoCapWindowException error;
        RefreshStatus(Notify::Yes);
        throw error;
    }
    Send(WM_CAP_SET_USER_DATA, 0, reinterpret_cast<LPARAM>(this));
    if (onStatusCallback_) Register(WM_CAP_SET_CALLBACK_STATUSA, true, reinterpret_cast<LPARAM>(&StatusCallbackProc));
    if (onVideoStream_)
        Register(WM_CAP_SET_CALLBACK_VIDEOSTREAM, true, reinterpret_cast<LPARAM>(&VideoStreamCallbackProc));
    if (onAudioStream_)
        Register(WM_CAP_SET_CALLBACK_WAVESTREAM, true, reinterpret_cast<LPARAM>(&WaveStreamCallbackProc));
    // The index goes over as 16 bits, as the library takes it.
    if (!Succeeded(Send(WM_CAP_DRIVER_CONNECT, WPARAM(std::uint16_t(driverIndex_))))) {
        ENotConnectException error;
        DisconnectDriver();
        RefreshStatus(Notify::Yes);
        throw error;
    }
    Send(WM_CAP_SET_SCALE, previewScaleToWindow_ ? 1 : 0);
    Send(WM_CAP_SET_PREVIEWRATE, PreviewMilliseconds(previewRate_));
    RefreshStatus(Notify::Yes);
    FitCaptureWindow();
    return true;
}

void TVideo::DisconnectDriver() {
    if (!captureWindow_) return;
    Send(WM_CAP_DRIVER_DISCONNECT);
    DestroyWindow(captureWindow_);
    captureWindow_ = nullptr;
}

void TVideo::ReleaseBuffers() {
    driverCaps_.reset();
    captureStatus_.reset();
}

void TVideo::SetDriverIndex(int index) {
    if (index == driverIndex_) return;
    DisconnectDriver();
    ReleaseBuffers();
    if (index >= 0) {
        if (const std::optional<TDriverDescription> driver = QueryDescription(index))
            driverName_ = driver->Name;
        else
            index = -1;
    }
    // An index below -1 keeps the old name and fails when the driver is connected.
    if (index == -1) driverName_.clear();
    driverIndex_ = index;
}

void TVideo::SetDriverName(const std::string& name) {
    if (name == driverName_) return;
    for (int index = 0; index <= 9; ++index) {
        const std::optional<TDriverDescription> driver = QueryDescription(index);
        // The name alone counts, never the name followed by the version.
        if (driver && driver->Name == name) {
            driverName_ = name;
            SetDriverIndex(index);
            return;
        }
    }
    driverName_.clear();
    SetDriverIndex(-1);
}

bool TVideo::RefreshStatus(Notify notify) {
    bool result = false;
    if (captureWindow_) {
        if (!captureStatus_) captureStatus_ = std::make_unique<CAPSTATUS>();
        result = Succeeded(Send(WM_CAP_GET_STATUS, sizeof(CAPSTATUS), reinterpret_cast<LPARAM>(captureStatus_.get())));
    }
    if (notify == Notify::Yes && OnStatus) OnStatus(this);
    return result;
}

bool TVideo::VideoPreview() const { return captureWindow_ && captureStatus_ && captureStatus_->fLiveWindow != 0; }

void TVideo::SetVideoPreview(bool on) {
    if (on == VideoPreview()) return;
    if (on && !captureWindow_) ConnectDriver();
    Send(WM_CAP_SET_PREVIEW, on ? 1 : 0);
    RefreshStatus(Notify::Yes);
    update();
}

bool TVideo::VideoOverlay() const { return captureWindow_ && captureStatus_ && captureStatus_->fOverlayWindow != 0; }

void TVideo::SetVideoOverlay(bool on) {
    if (on == VideoOverlay()) return;
    if (!DriverHasOverlay()) throw ENoOverlayException();
    if (on) {
        if (!captureWindow_) ConnectDriver();
        GrabSingleFrame();
    }
    Send(WM_CAP_SET_OVERLAY, on ? 1 : 0);
    RefreshStatus(Notify::Yes);
    update();
}

void TVideo::SetPreviewScaleToWindow(bool on) {
    if (on == previewScaleToWindow_) return;
    previewScaleToWindow_ = on;
    if (DriverOpen()) {
        Send(WM_CAP_SET_SCALE, on ? 1 : 0);
        FitCaptureWindow();
    }
    repaint();
}

void TVideo::SetPreviewScaleProportional(bool on) {
    if (on == previewScaleProportional_) return;
    previewScaleProportional_ = on;
    if (DriverOpen()) FitCaptureWindow();
    repaint();
}

void TVideo::SetPreviewRate(std::uint16_t rate) {
    // Compared before clamping, so 45 after 30 is stored (as 30) and sent again.
    if (rate == previewRate_) return;
    previewRate_ = ClampPreviewRate(rate);
    if (DriverOpen()) Send(WM_CAP_SET_PREVIEWRATE, PreviewMilliseconds(previewRate_));
}

void TVideo::SetMicroSecPerFrame(std::uint32_t microSeconds) {
    if (microSeconds == microSecPerFrame_) return;
    microSecPerFrame_ = ClampMicroSecPerFrame(microSeconds);
}

std::uint16_t TVideo::FrameRate() const { return FrameRateOf(microSecPerFrame_); }

void TVideo::SetFrameRate(std::uint16_t rate) { microSecPerFrame_ = MicroSecPerFrameOf(rate); }

void TVideo::SetCapIndexSize(std::uint32_t size) { capIndexSize_ = ClampCapIndexSize(size); }

void TVideo::Register(UINT message, bool assigned, LPARAM callback) const { Send(message, 0, assigned ? callback : 0); }

void TVideo::SetOnStatusCallback(TCapStatusCallback handler) {
    onStatusCallback_ = std::move(handler);
    if (DriverOpen())
        Register(WM_CAP_SET_CALLBACK_STATUSA, bool(onStatusCallback_), reinterpret_cast<LPARAM>(&StatusCallbackProc));
}

void TVideo::SetOnVideoStream(TVideoStream handler) {
    onVideoStream_ = std::move(handler);
    if (DriverOpen())
        Register(WM_CAP_SET_CALLBACK_VIDEOSTREAM, bool(onVideoStream_),
                 reinterpret_cast<LPARAM>(&VideoStreamCallbackProc));
}

void TVideo::SetOnAudioStream(TAudioStream handler) {
    onAudioStream_ = std::move(handler);
    if (DriverOpen())
        Register(WM_CAP_SET_CALLBACK_WAVESTREAM, bool(onAudioStream_),
                 reinterpret_cast<LPARAM>(&WaveStreamCallbackProc));
}

LRESULT TVideo::StatusCallbackProc(HWND window, int nID, const char* text) {
    TVideo* control = ControlOf(window);
    if (control && control->onStatusCallback_) control->onStatusCallback_(control, nID, text ? text : "");
    return true;
}

LRESULT TVideo::VideoStreamCallbackProc(HWND window, VIDEOHDR* header) {
    TVideo* control = ControlOf(window);
    if (control && control->onVideoStream_) control->onVideoStream_(control, header);
    return true;
}

LRESULT TVideo::WaveStreamCallbackProc(HWND window, WAVEHDR* header) {
    TVideo* control = ControlOf(window);
    if (control && control->onAudioStream_) control->onAudioStream_(control, header);
    return true;
}

bool TVideo::QueryDriverCaps() {
    if (driverCaps_) return true;
    if (driverIndex_ == -1) return false;
    const bool wasOpen = captureWindow_ != nullptr;
    if (!wasOpen) {
        ConnectDriver();
        if (!captureWindow_) return false;
    }
    driverCaps_ = std::make_unique<CAPDRIVERCAPS>();
    if (!Succeeded(Send(WM_CAP_DRIVER_GET_CAPS, sizeof(CAPDRIVERCAPS), reinterpret_cast<LPARAM>(driverCaps_.get()))))
        driverCaps_.reset();
    const bool result = driverCaps_ != nullptr;
    if (!wasOpen) DisconnectDriver();
    return result;
}

bool TVideo::DriverHasOverlay() { return QueryDriverCaps() && driverCaps_->fHasOverlay != 0; }

bool TVideo::GrabSingleFrame() {
    if (!captureWindow_) return false;
    const bool grabbed = Succeeded(Send(WM_CAP_GRAB_FRAME));
    if (grabbed) RefreshStatus(Notify::Yes);
    return grabbed;
}

bool TVideo::SaveSingleImage() {
    if (!captureWindow_) return false;
    // The library takes the name in a 264-byte buffer. A name that does not fit, or that a zero
    // byte would cut short, is refused: cutting it would write some other file.
    if (SingleImageFile.size() >= FileNameBufferSize || SingleImageFile.find('\0') != std::string::npos) return false;
    std::array<char, FileNameBufferSize> buffer{};
    SingleImageFile.copy(buffer.data(), SingleImageFile.size());
    return Succeeded(Send(WM_CAP_FILE_SAVEDIBA, 0, reinterpret_cast<LPARAM>(buffer.data())));
}

void TVideo::FitCaptureWindow() {
    // Only the low 16 bits of the reported image size count.
    const int imageWidth = captureStatus_ ? int(captureStatus_->uiImageWidth & 0xFFFF) : 0;
    const int imageHeight = captureStatus_ ? int(captureStatus_->uiImageHeight & 0xFFFF) : 0;
    const TCaptureSize size =
        FitCaptureSize(imageWidth, imageHeight, width(), height(),
                       previewScaleToWindow_ ? PreviewScale::ToWindow : PreviewScale::Unscaled,
                       previewScaleProportional_ ? PreviewAspect::Proportional : PreviewAspect::Free);
    MoveWindow(captureWindow_, 0, 0, size.Width, size.Height, true);
}

void TVideo::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (captureWindow_ && previewScaleToWindow_) FitCaptureWindow();
}

std::vector<std::string> ListCaptureDrivers() {
    std::vector<std::string> drivers;
    drivers.reserve(10);
    for (int index = 0; index <= 9; ++index) {
        const std::optional<TDriverDescription> driver = QueryDescription(index);
        drivers.push_back(driver ? driver->Name + " " + driver->Version : std::string());
    }
    return drivers;
}
