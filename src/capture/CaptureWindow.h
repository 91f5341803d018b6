#pragma once
// The widget behind a capture window handle: connects one driver of a backend, keeps its latest
// frame, paints it at the preview rate, and answers the capture messages.
#include <QWidget>
#include <memory>

#include "capture/CaptureBackend.h"
#include "capture/CaptureLibrary.h"

class QSocketNotifier;
class QTimer;

class TCaptureWindow : public QWidget {
public:
    TCaptureWindow(std::shared_ptr<CaptureBackend> backend, QWidget* parent);
    ~TCaptureWindow() override;

    // The live capture window behind a handle; null for anything else, destroyed ones included.
    static TCaptureWindow* FromHandle(vfw::HWND window);

    vfw::LRESULT Dispatch(vfw::UINT message, vfw::WPARAM wParam, vfw::LPARAM lParam);
    // Passes a call the library received on to the backend's trace.
    void Observe(const std::string& text) { backend_->Observe({text}); }

    // What the preview timer does: show the latest frame when a new one has come.
    void PreviewTick();

    bool Connected() const { return stream_ != nullptr; }
    bool Previewing() const { return preview_; }
    int PreviewInterval() const;
    // The frame the window holds now (saved by WM_CAP_FILE_SAVEDIBA), and the one it shows.
    const Bitmap& HeldFrame() const { return latest_; }
    const Bitmap& ShownFrame() const { return shown_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool Connect(int index);
    bool Disconnect();
    bool SetPreview(bool on);
    bool Grab();
    bool SaveDib(const char* path) const;
    void FillStatus(vfw::CAPSTATUS& status) const;
    void FillCaps(vfw::CAPDRIVERCAPS& caps) const;
    // Takes every waiting frame; the last becomes the held frame unless a grab froze it.
    void TakeFrames();
    void Accept(Bitmap& frame);
    void StreamFailed();
    void ReportStatus(int id, const std::string& text);

    // The backend outlives the stream it made: members are destroyed in reverse order.
    std::shared_ptr<CaptureBackend> backend_;
    std::unique_ptr<CaptureStream> stream_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer* previewTimer_;
    int driverIndex_ = -1;
    vfw::LPARAM userData_ = 0;
    vfw::CAPSTATUSCALLBACK statusCallback_ = nullptr;
    vfw::CAPVIDEOCALLBACK videoCallback_ = nullptr;
    vfw::CAPWAVECALLBACK waveCallback_ = nullptr;
    bool preview_ = false, scale_ = false, frozen_ = false, fresh_ = false;
    Bitmap latest_, shown_, incoming_;
    vfw::DWORD framesTaken_ = 0, framesDropped_ = 0;
    qint64 connectedAt_ = 0;
};
