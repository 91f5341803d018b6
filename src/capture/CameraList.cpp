#include "capture/CameraList.h"

#include <algorithm>

namespace {
constexpr std::size_t DriverCount = 10;
}

std::vector<TCamera> MergeCameras(const std::vector<TPipeWireNode>& nodes, const std::vector<TV4l2Driver>& drivers,
                                  const std::string& pipeWireVersion) {
    std::vector<TCamera> cameras;
    for (const TPipeWireNode& node : nodes)
        cameras.push_back({CameraKind::PipeWire, {node.Description, "pipewire " + pipeWireVersion}, node, -1});
    for (const TV4l2Driver& driver : drivers) {
        // PipeWire's V4L2 monitor names the device a node streams from in its object path.
        const std::string path = "v4l2:" + V4l2NodePath(driver.Number);
        const bool offered =
            std::any_of(nodes.begin(), nodes.end(), [&](const TPipeWireNode& node) { return node.ObjectPath == path; });
        if (!offered) cameras.push_back({CameraKind::V4l2, driver.Description, {}, driver.Number});
    }
    if (cameras.size() > DriverCount) cameras.resize(DriverCount);
    return cameras;
}

const TCamera* FindCamera(const std::vector<TCamera>& cameras, const std::string& name) {
    if (cameras.empty()) return nullptr;
    if (name.empty()) return &cameras.front();
    for (const TCamera& camera : cameras)
        if (camera.Description.Name == name) return &camera;
    for (const TCamera& camera : cameras)
        if (camera.Kind == CameraKind::PipeWire && camera.Node.Name == name) return &camera;
    return nullptr;
}

const char* CameraKindName(CameraKind kind) { return kind == CameraKind::PipeWire ? "pipewire" : "v4l2"; }
