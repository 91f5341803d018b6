#include "batch/CameraInput.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "capture/CameraBackend.h"

namespace {
// How long the whole warm-up and the frame may take.
constexpr int FrameTimeLimitSeconds = 10;

std::runtime_error CameraError(const std::string& text) { return std::runtime_error(text); }
}  // namespace

bool IsCameraInput(const std::string& input) { return input.starts_with(CameraPrefix); }

Bitmap TakeCameraPicture(const std::string& input, int warmupFrames) {
    const std::string name = input.substr(CameraPrefix.size());
    CameraBackend backend;
    const std::vector<TCamera> cameras = backend.Cameras();
    if (cameras.empty()) throw CameraError("no camera found");
    const TCamera* camera = FindCamera(cameras, name);
    if (!camera) throw CameraError("no camera named \"" + name + "\" (corvalux-batch --list-cameras lists them)");
    const std::string shown = "camera \"" + camera->Description.Name + "\"";
    const std::unique_ptr<CaptureStream> stream = backend.Connect(*camera);
    if (!stream)
        throw CameraError(shown + " could not be opened (is another program using it?): " + backend.LastError());

    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(FrameTimeLimitSeconds);
    Bitmap frame;
    for (int taken = 0; taken <= std::max(warmupFrames, 0);) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const FrameResult result = left > 0 ? stream->WaitFrame(frame, int(left)) : FrameResult::NoneWaiting;
        if (result == FrameResult::Failed) throw CameraError(shown + " failed: " + stream->LastError());
        if (result == FrameResult::NoneWaiting)
            throw CameraError(shown + " gave no frame within " + std::to_string(FrameTimeLimitSeconds) + " s");
        if (result == FrameResult::Taken) ++taken;
    }
    return frame;
}

void ListCameras(std::ostream& out) {
    CameraBackend backend;
    for (const TCamera& camera : backend.Cameras()) {
        // A name is one field of one line, whatever a driver put in it.
        std::string name = camera.Description.Name;
        for (char& c : name)
            if (c == '\t' || c == '\n' || c == '\r') c = ' ';
        out << name << '\t' << CameraKindName(camera.Kind) << '\n';
    }
}
