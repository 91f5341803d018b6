#include "batch/BatchTool.h"

#include <iostream>

#include "batch/CameraInput.h"
#include "batch/CommandLine.h"
#include "batch/ManyPictures.h"
#include "batch/PictureRun.h"
#include "batch/ProgressLine.h"
#include "batch/StandardOutput.h"

namespace {
int RunOnePicture(const TCommandLine& line, const std::vector<TBatchStep>& steps, std::ostream& out,
                  std::ostream& err) {
    TProgressLine progressLine(err);
    const auto warn = [&](const std::string& file, const MetadataWarnings& warnings) {
        progressLine.End();
        PrintWarnings(err, file, warnings);
    };
    const TRunSettings settings{line.Seed, line.KeepOrientation ? OrientationRule::AsStored : OrientationRule::Upright,
                                line.CameraWarmup};
    try {
        RunPicture({line.Input, line.Output, std::nullopt}, steps, settings, out, warn,
                   line.Progress ? progressLine.Callback() : ProgressCallback{});
        progressLine.End();
        return 0;
    } catch (...) {
        progressLine.End();
        err << "corvalux-batch: " << line.Input << ": " << FailureMessage(std::current_exception()) << "\n";
        return 1;
    }
}
}  // namespace

int RunBatch(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err, std::istream* in) {
    TCommandLine line;
    std::vector<TBatchStep> steps;
    try {
        line = ParseCommandLine(arguments);
        // Every step is parsed before any work, so a typo costs nothing.
        for (const std::string& step : line.Steps) steps.push_back(ParseStep(step));
    } catch (const std::exception& error) {
        err << "corvalux-batch: " << error.what() << "\n"
            << "Try 'corvalux-batch --help'.\n";
        return 2;
    }
    if (line.Help) {
        try {
            out << BatchUsage << StepHelp();
            CheckWritten(out);
            return 0;
        } catch (const std::exception& error) {
            err << "corvalux-batch: " << error.what() << "\n";
            return 1;
        }
    }
    if (line.ListCameras) {
        try {
            ListCameras(out);
            CheckWritten(out);
            return 0;
        } catch (const std::exception& error) {
            err << "corvalux-batch: " << error.what() << "\n";
            return 1;
        }
    }
    if (line.Many()) return RunManyPictures(line, steps, in ? *in : std::cin, out, err);
    return RunOnePicture(line, steps, out, err);
}
