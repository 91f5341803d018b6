#pragma once
// The cameras the program offers, in one list: PipeWire's camera nodes first, by their
// description, then the Video4Linux2 devices that no PipeWire node offers already.
#include <string>
#include <vector>

#include "capture/CaptureBackend.h"
#include "capture/PipeWireConnection.h"
#include "capture/V4l2Backend.h"

enum class CameraKind { PipeWire, V4l2 };

struct TCamera {
    CameraKind Kind = CameraKind::V4l2;
    TDriverDescription Description;
    TPipeWireNode Node;  // PipeWire's node; empty for a V4L2 device
    int Number = -1;     // the V4L2 node number; -1 for PipeWire
};

// At most ten cameras, the drivers the capture library numbers 0..9. `pipeWireVersion` goes
// into the version text of PipeWire's cameras.
std::vector<TCamera> MergeCameras(const std::vector<TPipeWireNode>& nodes, const std::vector<TV4l2Driver>& drivers,
                                  const std::string& pipeWireVersion);

// The first camera listed as `name` or, failing that, whose PipeWire node name is `name`; the
// first camera of all for an empty name. Null when there is none.
const TCamera* FindCamera(const std::vector<TCamera>& cameras, const std::string& name);

// "pipewire" or "v4l2".
const char* CameraKindName(CameraKind kind);
