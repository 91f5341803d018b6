#include "capture/V4l2Devices.h"

#include <cstring>
#include <string>

namespace {
// The fixed-size text fields of v4l2_capability need not end in a zero byte.
std::string FieldText(const __u8* field, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(field);
    return std::string(text, ::strnlen(text, size));
}
}  // namespace

std::uint32_t NodeCaps(const v4l2_capability& caps) {
    return (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
}

bool IsCaptureNode(std::uint32_t nodeCaps) {
    const std::uint32_t needed = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    return (nodeCaps & needed) == needed;
}

std::vector<int> CaptureNodeNumbers(const std::array<std::optional<std::uint32_t>, V4l2NodeCount>& nodeCaps) {
    std::vector<int> nodes;
    for (int node = 0; node < V4l2NodeCount; ++node)
        if (nodeCaps[node] && IsCaptureNode(*nodeCaps[node])) nodes.push_back(node);
    return nodes;
}

TDriverDescription DescribeDriver(const v4l2_capability& caps) {
    const std::uint32_t v = caps.version;
    return {FieldText(caps.card, sizeof caps.card),
            FieldText(caps.driver, sizeof caps.driver) + " " + std::to_string((v >> 16) & 0xFF) + "." +
                std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF)};
}

bool CopyBgrFrame(const std::uint8_t* data, std::size_t available, int width, int height, std::size_t bytesPerLine,
                  Bitmap& frame) {
    if (width <= 0 || height <= 0 || !PictureSizeAllowed(width, height)) return false;
    const std::size_t rowBytes = std::size_t(width) * 3;
    if (bytesPerLine < rowBytes) return false;
    // The last row needs only its pixels, not the padding after them.
    const std::uint64_t needed = std::uint64_t(height - 1) * bytesPerLine + rowBytes;
    if (data == nullptr || available < needed) return false;
    if (frame.Width() != width || frame.Height() != height) frame.SetSize(width, height);
    for (int y = 0; y < height; ++y) std::memcpy(frame.Row(y), data + std::size_t(y) * bytesPerLine, rowBytes);
    return true;
}
