#pragma once
// corvalux-batch's command line, in its two forms:
//   corvalux-batch [OPTIONS] INPUT [STEP ...] [-o OUTPUT]                       one picture
//   corvalux-batch [OPTIONS] -d DIR STEP ... [-- INPUT ...] [--from LIST]        many pictures
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/CameraInput.h"

struct TCommandLine {
    std::optional<std::uint32_t> Seed;
    std::vector<std::string> Steps;
    bool Help = false;
    bool KeepOrientation = false;
    bool Progress = false;
    bool ListCameras = false;  // --list-cameras
    int CameraWarmup = DefaultCameraWarmup;  // --camera-warmup: frames a camera: input lets pass first
    // The one-picture form.
    std::string Input, Output;
    // The many-picture form, chosen by -d.
    std::string Folder;
    std::vector<std::string> Inputs;  // after "--"
    std::vector<std::string> Lists;   // --from files of names, "-" for standard input
    std::string Format;               // --format's extension in lower case, or empty for the input's own
    int Jobs = 0;                     // pictures at once; 0 for one per core

    bool Many() const { return !Folder.empty(); }
};

// Throws EBatchUsage for anything that does not fit either form.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// What --help prints before the list of steps.
extern const char* const BatchUsage;
