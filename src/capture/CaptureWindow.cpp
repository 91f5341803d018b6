#include "capture/CaptureWindow.h"

#include <QDateTime>
#include <QPainter>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <set>

#include "image/Dib.h"
#include "image/PictureFile.h"

using namespace vfw;

namespace {
// The live capture windows, so that a message to a destroyed or foreign handle finds nothing.
std::set<const QWidget*>& LiveWindows() {
    static std::set<const QWidget*> windows;
    return windows;
}

// How long a grab waits for the next frame.
constexpr int GrabTimeoutMs = 2000;
}  // namespace

TCaptureWindow::TCaptureWindow(std::shared_ptr<CaptureBackend> backend, QWidget* parent)
    : QWidget(parent), backend_(std::move(backend)), previewTimer_(new QTimer(this)) {
    LiveWindows().insert(this);
    setAttribute(Qt::WA_OpaquePaintEvent);
    previewTimer_->setInterval(33);
    connect(previewTimer_, &QTimer::timeout, this, [this] { PreviewTick(); });
}

TCaptureWindow::~TCaptureWindow() {
    LiveWindows().erase(this);
    notifier_.reset();
    stream_.reset();
}

TCaptureWindow* TCaptureWindow::FromHandle(HWND window) {
    return LiveWindows().count(window) ? static_cast<TCaptureWindow*>(window) : nullptr;
}

LRESULT TCaptureWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CAP_SET_CALLBACK_STATUSA: statusCallback_ = reinterpret_cast<CAPSTATUSCALLBACK>(lParam); return true;
        case WM_CAP_SET_CALLBACK_VIDEOSTREAM: videoCallback_ = reinterpret_cast<CAPVIDEOCALLBACK>(lParam); return true;
        case WM_CAP_SET_CALLBACK_WAVESTREAM: waveCallback_ = reinterpret_cast<CAPWAVECALLBACK>(lParam); return true;
        case WM_CAP_GET_USER_DATA: return userData_;
        case WM_CAP_SET_USER_DATA: userData_ = lParam; return true;
        case WM_CAP_DRIVER_CONNECT: return Connect(int(wParam & 0xFFFF));
        case WM_CAP_DRIVER_DISCONNECT: return Disconnect();
        case WM_CAP_DRIVER_GET_CAPS: {
            if (!Connected() || lParam == 0) return false;
            CAPDRIVERCAPS caps;
            FillCaps(caps);
            std::memcpy(reinterpret_cast<void*>(lParam), &caps, std::min<std::size_t>(wParam & 0xFFFF, sizeof caps));
            return true;
        }
        case WM_CAP_GET_STATUS: {
            if (lParam == 0) return false;
            CAPSTATUS status;
            FillStatus(status);
            std::memcpy(reinterpret_cast<void*>(lParam), &status,
                        std::min<std::size_t>(wParam & 0xFFFF, sizeof status));
            return true;
        }
        case WM_CAP_FILE_SAVEDIBA: return SaveDib(reinterpret_cast<const char*>(lParam));
        case WM_CAP_SET_PREVIEW: return SetPreview(wParam != 0);
        case WM_CAP_SET_OVERLAY:
            // There is no overlay hardware: switching it off is all that succeeds.
            return wParam == 0;
        case WM_CAP_SET_PREVIEWRATE: previewTimer_->setInterval(std::max<int>(1, int(wParam & 0xFFFF))); return true;
        case WM_CAP_SET_SCALE:
            scale_ = wParam != 0;
            update();
            return true;
        case WM_CAP_GRAB_FRAME: return Grab();
        default: return false;
    }
}

int TCaptureWindow::PreviewInterval() const { return previewTimer_->interval(); }

bool TCaptureWindow::Connect(int index) {
    if (stream_) Disconnect();
    stream_ = backend_->Connect(index);
    if (!stream_) {
        ReportStatus(CaptureStatusDeviceFailed, backend_->LastError());
        return false;
    }
    driverIndex_ = index;
    framesTaken_ = framesDropped_ = 0;
    connectedAt_ = QDateTime::currentMSecsSinceEpoch();
    frozen_ = fresh_ = false;
    stream_->FrameWaiting = [this] { TakeFrames(); };
    if (stream_->ReadyDescriptor() >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(stream_->ReadyDescriptor(), QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { TakeFrames(); });
    }
    return true;
}

bool TCaptureWindow::Disconnect() {
    if (!stream_) return false;
    notifier_.reset();
    stream_.reset();
    driverIndex_ = -1;
    preview_ = frozen_ = fresh_ = false;
    previewTimer_->stop();
    latest_.Clear();
    shown_.Clear();
    update();
    return true;
}

bool TCaptureWindow::SetPreview(bool on) {
    if (!stream_) return false;
    preview_ = on;
    if (on) {
        frozen_ = false;
        previewTimer_->start();
    } else {
        previewTimer_->stop();
    }
    return true;
}

void TCaptureWindow::PreviewTick() {
    if (!preview_ || !fresh_) return;
    shown_ = latest_;
    fresh_ = false;
    update();
}

// Holds the next frame: it is shown and kept, and preview stops so that it stays.
bool TCaptureWindow::Grab() {
    if (!stream_) return false;
    Bitmap frame;
    const FrameResult result = stream_->WaitFrame(frame, GrabTimeoutMs);
    if (result == FrameResult::Failed) StreamFailed();
    if (result != FrameResult::Taken) return false;
    ++framesTaken_;
    latest_ = std::move(frame);
    shown_ = latest_;
    frozen_ = true;
    fresh_ = false;
    preview_ = false;
    previewTimer_->stop();
    update();
    return true;
}

// Writes the held frame as a 24-bit bitmap file; a failed write leaves any older file as it was.
bool TCaptureWindow::SaveDib(const char* path) const {
    if (path == nullptr || *path == '\0' || latest_.Empty()) return false;
    try {
        WriteFileAtomically(path, [this](const ByteSink& write) { WriteBmpFile(latest_, write); });
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TCaptureWindow::FillStatus(CAPSTATUS& status) const {
    status = {};
    status.uiImageWidth = stream_ ? UINT(stream_->Width()) : 0;
    status.uiImageHeight = stream_ ? UINT(stream_->Height()) : 0;
    status.fLiveWindow = preview_;
    status.fOverlayWindow = false;
    status.fScale = scale_;
    status.dwCurrentVideoFrame = framesTaken_;
    status.dwCurrentVideoFramesDropped = framesDropped_;
    status.dwCurrentTimeElapsedMS = stream_ ? DWORD(QDateTime::currentMSecsSinceEpoch() - connectedAt_) : 0;
}

void TCaptureWindow::FillCaps(CAPDRIVERCAPS& caps) const {
    caps = {};
    caps.wDeviceIndex = UINT(driverIndex_);
    caps.fHasOverlay = false;
    caps.fCaptureInitialized = true;
}

void TCaptureWindow::TakeFrames() {
    // A callback may destroy this window; stop as soon as it has.
    const QPointer<TCaptureWindow> alive(this);
    while (alive && stream_) {
        const FrameResult result = stream_->TakeFrame(incoming_);
        if (result == FrameResult::Taken) {
            Accept(incoming_);
        } else if (result == FrameResult::Dropped) {
            ++framesDropped_;
        } else {
            if (result == FrameResult::Failed) StreamFailed();
            return;
        }
    }
}

void TCaptureWindow::Accept(Bitmap& frame) {
    ++framesTaken_;
    // Swapping keeps the old buffer for the next frame instead of allocating a new one.
    if (!frozen_) {
        std::swap(latest_, frame);
        fresh_ = true;
    }
    Bitmap& delivered = frozen_ ? frame : latest_;
    if (videoCallback_ && !delivered.Empty()) {
        const auto size = DWORD(delivered.RowBytes() * std::size_t(delivered.Height()));
        VIDEOHDR header{};
        header.lpData = delivered.Row(0);
        header.dwBufferLength = header.dwBytesUsed = size;
        header.dwTimeCaptured = DWORD(QDateTime::currentMSecsSinceEpoch() - connectedAt_);
        header.dwFlags = VHDR_DONE | VHDR_KEYFRAME;
        videoCallback_(this, &header);
    }
}

// A device that fails keeps failing: stop listening to it and say why.
void TCaptureWindow::StreamFailed() {
    if (notifier_) notifier_->setEnabled(false);
    ReportStatus(CaptureStatusDeviceFailed, stream_ ? stream_->LastError() : std::string());
}

void TCaptureWindow::ReportStatus(int id, const std::string& text) {
    if (statusCallback_) statusCallback_(this, id, text.c_str());
}

void TCaptureWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (shown_.Empty()) return;
    const QImage image(shown_.Row(0), shown_.Width(), shown_.Height(), qsizetype(shown_.RowBytes()),
                       QImage::Format_BGR888);
    if (scale_)
        painter.drawImage(rect(), image);
    else
        painter.drawImage(0, 0, image);
}
