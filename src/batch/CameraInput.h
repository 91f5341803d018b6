#pragma once
// A camera as a picture source: an input "camera:NAME" (or "camera:" for the first camera)
// is one frame taken from it after a warm-up.
#include <ostream>
#include <string>
#include <string_view>

#include "image/Bitmap.h"

// The frames a camera is given to settle its exposure when nothing else is said: the first
// frames of a real camera come out dark.
constexpr int DefaultCameraWarmup = 5;

// What an input naming a camera starts with.
constexpr std::string_view CameraPrefix = "camera:";

// Whether an input names a camera: it starts with "camera:".
bool IsCameraInput(const std::string& input);

// Takes one frame from the camera an input names, after `warmupFrames` frames. Throws
// std::runtime_error saying why: no camera, no camera of that name, the camera could not be
// opened (busy), no frame within the time limit.
Bitmap TakeCameraPicture(const std::string& input, int warmupFrames);

// One camera a line: its name, a tab, and its kind (pipewire or v4l2).
void ListCameras(std::ostream& out);
