#pragma once
// TVideo: a control that owns one capture window. It chooses a capture driver by index or by
// name, connects it, shows its preview scaled to fit, and saves the frame it holds as a bitmap
// file. It also keeps the settings of a capture sequence, which it clamps and reports but never
// sends to the library.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureLibrary.h"

class TVideo : public QWidget {
public:
    using TCapStatusProc = std::function<void(TVideo* sender)>;
    using TCapStatusCallback = std::function<void(TVideo* sender, int nID, const std::string& status)>;
    using TVideoStream = std::function<void(TVideo* sender, vfw::VIDEOHDR* lpVhdr)>;
    using TAudioStream = std::function<void(TVideo* sender, vfw::WAVEHDR* lpWHdr)>;

    explicit TVideo(QWidget* owner = nullptr);
    ~TVideo() override;

    bool DriverOpen() const;
    void SetDriverOpen(bool open);
    int DriverIndex() const { return driverIndex_; }
    void SetDriverIndex(int index);
    const std::string& DriverName() const { return driverName_; }
    void SetDriverName(const std::string& name);
    bool VideoOverlay() const;
    void SetVideoOverlay(bool on);
    bool VideoPreview() const;
    void SetVideoPreview(bool on);
    bool PreviewScaleToWindow() const { return previewScaleToWindow_; }
    void SetPreviewScaleToWindow(bool on);
    bool PreviewScaleProportional() const { return previewScaleProportional_; }
    void SetPreviewScaleProportional(bool on);
    std::uint16_t PreviewRate() const { return previewRate_; }
    void SetPreviewRate(std::uint16_t rate);
    std::uint32_t MicroSecPerFrame() const { return microSecPerFrame_; }
    void SetMicroSecPerFrame(std::uint32_t microSeconds);
    std::uint16_t FrameRate() const;
    void SetFrameRate(std::uint16_t rate);
    std::uint32_t CapIndexSize() const { return capIndexSize_; }
    void SetCapIndexSize(std::uint32_t size);

    // Settings that are only stored.
    bool CapAudio = false;
    std::string VideoFileName = "Video.avi";
    // The file SaveSingleImage writes; names longer than 263 bytes do not fit the library's buffer.
    std::string SingleImageFile = "Capture.bmp";
    std::uint16_t CapTimeLimit = 0;
    bool CapToFile = true;

    // Called after every status refresh.
    TCapStatusProc OnStatus;
    // Handlers the library calls through the control, registered while the driver is open.
    const TCapStatusCallback& OnStatusCallback() const { return onStatusCallback_; }
    void SetOnStatusCallback(TCapStatusCallback handler);
    const TVideoStream& OnVideoStream() const { return onVideoStream_; }
    void SetOnVideoStream(TVideoStream handler);
    const TAudioStream& OnAudioStream() const { return onAudioStream_; }
    void SetOnAudioStream(TAudioStream handler);

    // Creates the capture window and connects the driver; throws one of the capture errors.
    bool ConnectDriver();
    void DisconnectDriver();
    void ReleaseBuffers();
    enum class Notify { No, Yes };
    bool RefreshStatus(Notify notify);
    bool QueryDriverCaps();
    bool DriverHasOverlay();
    bool GrabSingleFrame();
    bool SaveSingleImage();
    void FitCaptureWindow();

    // The capture window's handle; null while the driver is closed.
    vfw::HWND CaptureWindow() const { return captureWindow_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    vfw::LRESULT Send(vfw::UINT message, vfw::WPARAM wParam = 0, vfw::LPARAM lParam = 0) const;
    // Registers one of the three callbacks with the open capture window, or clears it.
    void Register(vfw::UINT message, bool assigned, vfw::LPARAM callback) const;

    static vfw::LRESULT StatusCallbackProc(vfw::HWND window, int nID, const char* text);
    static vfw::LRESULT VideoStreamCallbackProc(vfw::HWND window, vfw::VIDEOHDR* header);
    static vfw::LRESULT WaveStreamCallbackProc(vfw::HWND window, vfw::WAVEHDR* header);

    int driverIndex_ = -1;
    std::string driverName_;
    vfw::HWND captureWindow_ = nullptr;
    std::unique_ptr<vfw::CAPDRIVERCAPS> driverCaps_;
    std::unique_ptr<vfw::CAPSTATUS> captureStatus_;
    bool previewScaleToWindow_ = false;
    bool previewScaleProportional_ = false;
    std::uint16_t previewRate_ = 30;
    std::uint32_t microSecPerFrame_ = 66667;
    std::uint32_t capIndexSize_ = 0;
    TCapStatusCallback onStatusCallback_;
    TVideoStream onVideoStream_;
    TAudioStream onAudioStream_;
};

// One line per driver index 0..9: "name version", or empty where no driver is installed.
std::vector<std::string> ListCaptureDrivers();
