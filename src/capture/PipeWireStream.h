#pragma once
// A camera node of PipeWire as a capture stream. Frames arrive and are converted on PipeWire's
// thread; the newest wait here, and an eventfd turns readable when one does, so that the
// window's thread only ever takes a short lock.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "capture/CaptureBackend.h"
#include "capture/FrameConversion.h"
#include "capture/PipeWireConnection.h"

struct pw_stream;
struct spa_pod;

class PipeWireStream : public CaptureStream {
public:
    // Connects to `node` and waits until it agreed on a format; null, with the reason in
    // `error`, when it does not.
    static std::unique_ptr<PipeWireStream> Open(std::shared_ptr<PipeWireConnection> connection,
                                                const TPipeWireNode& node, std::string& error);
    ~PipeWireStream() override;

    int Width() const override;
    int Height() const override;
    int ReadyDescriptor() const override { return ready_; }
    FrameResult TakeFrame(Bitmap& frame) override;
    FrameResult WaitFrame(Bitmap& frame, int timeoutMs) override;
    std::string LastError() const override;

private:
    PipeWireStream(std::shared_ptr<PipeWireConnection> connection, const TPipeWireNode& node);
    bool Start(std::string& error);
    // On PipeWire's thread:
    void Process();
    void FormatChanged(const spa_pod* param);
    void Fail(const std::string& why);
    void Signal();

    std::shared_ptr<PipeWireConnection> connection_;
    TPipeWireNode node_;
    pw_stream* stream_ = nullptr;
    struct Hook;
    std::unique_ptr<Hook> hook_;
    int watch_ = 0;
    int ready_ = -1;
    FrameConverter converter_;  // PipeWire's thread only

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    TFrameLayout layout_;
    bool negotiated_ = false, failed_ = false;
    std::string error_;
    std::deque<Bitmap> frames_;
    Bitmap spare_;          // a taken frame's old buffer, for the next conversion
    unsigned damaged_ = 0;  // frames thrown away, not yet reported
};
