#include "capture/CameraBackend.h"

#include <pipewire/pipewire.h>

#include <algorithm>
#include <chrono>

#include "capture/PipeWireStream.h"

CameraBackend::CameraBackend(std::shared_ptr<V4l2Io> io) : v4l2_(std::move(io)) {}

std::shared_ptr<PipeWireConnection> CameraBackend::PipeWire() {
    if (pipeWire_ && pipeWire_->Alive()) return pipeWire_;
    // Without a daemon, the ten descriptions of one listing try to connect once, not ten times.
    const auto now = std::chrono::steady_clock::now();
    if (now < nextAttempt_) return nullptr;
    nextAttempt_ = now + std::chrono::seconds(1);
    std::string error;
    pipeWire_ = PipeWireConnection::Open(error);
    return pipeWire_;
}

std::vector<TCamera> CameraBackend::Cameras() {
    const std::shared_ptr<PipeWireConnection> pipeWire = PipeWire();
    return MergeCameras(pipeWire ? pipeWire->Cameras() : std::vector<TPipeWireNode>{}, v4l2_.ListDrivers(),
                        pw_get_library_version());
}

std::optional<TDriverDescription> CameraBackend::Describe(int index) {
    if (index < 0 || index >= int(described_.size())) return std::nullopt;
    const std::vector<TCamera> cameras = Cameras();
    described_[index] = index < int(cameras.size()) ? std::optional(cameras[index]) : std::nullopt;
    if (!described_[index]) return std::nullopt;
    return described_[index]->Description;
}

std::unique_ptr<CaptureStream> CameraBackend::Connect(int index) {
    std::optional<TCamera> camera = index >= 0 && index < int(described_.size()) ? described_[index] : std::nullopt;
    if (!camera && index >= 0) {
        const std::vector<TCamera> cameras = Cameras();
        if (index < int(cameras.size())) camera = cameras[index];
    }
    if (!camera) {
        lastError_ = "no capture driver " + std::to_string(index);
        return nullptr;
    }
    return Connect(*camera);
}

std::unique_ptr<CaptureStream> CameraBackend::Connect(const TCamera& camera) {
    std::unique_ptr<CaptureStream> stream;
    if (camera.Kind == CameraKind::V4l2) {
        stream = v4l2_.ConnectNode(camera.Number);
        lastError_ = v4l2_.LastError();
        return stream;
    }
    const std::shared_ptr<PipeWireConnection> pipeWire = PipeWire();
    const std::vector<TPipeWireNode> nodes = pipeWire ? pipeWire->Cameras() : std::vector<TPipeWireNode>{};
    if (std::none_of(nodes.begin(), nodes.end(),
                     [&](const TPipeWireNode& node) { return node.Id == camera.Node.Id; })) {
        lastError_ = "the camera \"" + camera.Description.Name + "\" is gone";
        return nullptr;
    }
    std::string error;
    stream = PipeWireStream::Open(pipeWire, camera.Node, error);
    lastError_ = stream ? std::string() : error;
    return stream;
}
