#pragma once
// The capture backend of real systems: the cameras PipeWire offers, then the Video4Linux2
// devices it does not. Without a PipeWire daemon it is the Video4Linux2 backend alone.
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture/CameraList.h"

class CameraBackend : public CaptureBackend {
public:
    explicit CameraBackend(std::shared_ptr<V4l2Io> io = SystemV4l2Io());

    // The cameras as they are now.
    std::vector<TCamera> Cameras();
    std::optional<TDriverDescription> Describe(int index) override;
    std::unique_ptr<CaptureStream> Connect(int index) override;
    std::unique_ptr<CaptureStream> Connect(const TCamera& camera);
    std::string LastError() const override { return lastError_; }

private:
    // The connection to PipeWire, made again after the daemon went away; null without one.
    std::shared_ptr<PipeWireConnection> PipeWire();

    V4l2Backend v4l2_;
    std::shared_ptr<PipeWireConnection> pipeWire_;
    std::chrono::steady_clock::time_point nextAttempt_;
    // The camera each driver index was last described as. Connecting uses it, so that a list
    // that changed in between fails the connection instead of opening another camera.
    std::array<std::optional<TCamera>, 10> described_;
    std::string lastError_;
};
