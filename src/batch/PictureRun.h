#pragma once
// One picture through corvalux-batch: loaded, each step run in order, saved. The one-picture
// form and every picture of the many-picture form go through here, so their results agree.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "batch/BatchSteps.h"
#include "batch/CameraInput.h"
#include "image/PictureFile.h"

struct TPictureJob {
    std::string Input;
    std::string Output;                         // empty: nothing is saved
    std::optional<PictureFormat> OutputFormat;  // else the one the output's name says
};

struct TRunSettings {
    std::optional<std::uint32_t> Seed;
    OrientationRule Orientation = OrientationRule::Upright;
    int CameraWarmup = DefaultCameraWarmup;
};

// Hears what a load or a save left out of the metadata, naming the file.
using TWarnings = std::function<void(const std::string& file, const MetadataWarnings&)>;

// The one place a picture comes in: the input named, as the file of that name.
LoadedPicture LoadInput(const std::string& input, const TRunSettings& settings, const ProgressCallback& progress);

// Runs the job. Statistics go to `out`, flushed and checked after each step. Throws what the
// load, a step, the output or the save threw; the output is written only when all went well.
// `progress` hears of the load, the steps and the save as equal shares of one run.
void RunPicture(const TPictureJob& job, const std::vector<TBatchStep>& steps, const TRunSettings& settings,
                std::ostream& out, const TWarnings& warn, const ProgressCallback& progress = {});

// The line an error prints, past "corvalux-batch: INPUT: ", for the exception in flight.
std::string FailureMessage(std::exception_ptr failure);

// "corvalux-batch: warning: FILE: WARNING" for each.
void PrintWarnings(std::ostream& err, const std::string& file, const MetadataWarnings& warnings);
