#pragma once
// What the capture library stands on: a source of drivers (numbered 0..9) and, for a connected
// driver, a stream of frames. PipeWire and Video4Linux2 serve real cameras; the fake backend
// serves tests.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "image/Bitmap.h"

struct TDriverDescription {
    std::string Name;
    std::string Version;
    bool operator==(const TDriverDescription&) const = default;
};

enum class FrameResult {
    Taken,        // a frame was copied out
    Dropped,      // a frame arrived damaged and was thrown away; more may be waiting
    NoneWaiting,  // nothing waiting now
    Failed,       // the device failed; see LastError
};

// A connected driver, streaming from its creation until its destruction.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;

    // The size of the frames, as the device agreed to deliver them.
    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // A descriptor that turns readable when a frame is waiting, or -1 when the stream calls
    // FrameWaiting itself.
    virtual int ReadyDescriptor() const { return -1; }
    std::function<void()> FrameWaiting;

    // Takes the oldest waiting frame without blocking.
    virtual FrameResult TakeFrame(Bitmap& frame) = 0;
    // Takes the next frame, waiting for it at most timeoutMs.
    virtual FrameResult WaitFrame(Bitmap& frame, int timeoutMs) = 0;
    // Why the last call failed.
    virtual std::string LastError() const { return {}; }
};

// One call the capture library received, as readable text (for tests and tracing).
struct TCaptureCall {
    std::string Text;
};

class CaptureBackend {
public:
    virtual ~CaptureBackend() = default;

    // The driver at index 0..9, or nothing when none is there.
    virtual std::optional<TDriverDescription> Describe(int index) = 0;
    // Opens the driver and starts streaming; null when that fails, with the reason in LastError.
    virtual std::unique_ptr<CaptureStream> Connect(int index) = 0;
    virtual std::string LastError() const { return {}; }
    // Whether a new capture window can be made. Real systems only run out in extremes; the fake
    // backend can refuse on request.
    virtual bool WindowsAvailable() { return true; }
    // Sees every call the library receives, in order.
    virtual void Observe(const TCaptureCall&) {}
};
