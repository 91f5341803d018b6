#pragma once
// The pure parts of the Video4Linux2 backend: which nodes are capture drivers, how a driver
// describes itself, and how a BGR24 buffer becomes a picture.
#include <linux/videodev2.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/Bitmap.h"
#include "capture/CaptureBackend.h"

// The nodes /dev/video0..9 that are looked at.
constexpr int V4l2NodeCount = 10;

// The capabilities of the opened node itself (device_caps when the driver reports them).
std::uint32_t NodeCaps(const v4l2_capability& caps);
// A node is a capture driver when it captures video and streams; metadata nodes do neither.
bool IsCaptureNode(std::uint32_t nodeCaps);
// The node numbers of the capture drivers, in order: driver index i is the i-th entry.
// `nodeCaps` holds each node's capabilities, or nothing for a node that could not be queried.
std::vector<int> CaptureNodeNumbers(const std::array<std::optional<std::uint32_t>, V4l2NodeCount>& nodeCaps);
// Name: the card name. Version: the driver name and its version a.b.c.
TDriverDescription DescribeDriver(const v4l2_capability& caps);

// Copies a BGR24 buffer whose rows are bytesPerLine apart into `frame`. False, with `frame`
// untouched, when the buffer holds less than the picture needs.
bool CopyBgrFrame(const std::uint8_t* data, std::size_t available, int width, int height, std::size_t bytesPerLine,
                  Bitmap& frame);
