#pragma once
// Cameras through Video4Linux2: the capture drivers among /dev/video0..9, streaming BGR24
// frames from four memory-mapped buffers.
#include <linux/videodev2.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureBackend.h"
#include "capture/V4l2Io.h"

// A capture driver and the node it sits on.
struct TV4l2Driver {
    int Number;
    TDriverDescription Description;
};

class V4l2Backend : public CaptureBackend {
public:
    explicit V4l2Backend(std::shared_ptr<V4l2Io> io = SystemV4l2Io());

    std::optional<TDriverDescription> Describe(int index) override;
    std::unique_ptr<CaptureStream> Connect(int index) override;
    std::string LastError() const override { return lastError_; }
    // Every capture driver, in node order.
    std::vector<TV4l2Driver> ListDrivers();
    // Opens /dev/video<number> and starts streaming; null when that fails, with the reason in
    // LastError.
    std::unique_ptr<CaptureStream> ConnectNode(int number);

private:
    // The node of driver `index` and its capabilities; nothing when there is no such driver.
    struct Node {
        int Number;
        v4l2_capability Caps;
    };
    std::optional<Node> FindDriver(int index);
    // The capture drivers in node order, looking only until `wanted` are found.
    std::vector<Node> ScanDrivers(int wanted);

    std::shared_ptr<V4l2Io> io_;
    std::string lastError_;
    // The node each driver index was last described with. Connecting uses it, so that a node
    // that cannot be opened any more fails the connection instead of shifting the numbering
    // onto another camera.
    std::array<int, 10> describedNodes_;
};

// The node path of a number: /dev/video<n>.
std::string V4l2NodePath(int number);
