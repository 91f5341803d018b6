#include "batch/PictureRun.h"

#include <new>
#include <ostream>
#include <stdexcept>

#include "batch/CameraInput.h"
#include "filters/Parallel.h"
#include "batch/StandardOutput.h"

namespace {
PictureFormat CheckedFormat(const std::string& path, const char* refusal, bool toSave = false) {
    const PictureFormat format = FormatOfName(path);
    if (format == PictureFormat::Refused || (toSave && !CanSave(format))) throw std::runtime_error(refusal);
    return format;
}
}  // namespace

LoadedPicture LoadInput(const std::string& input, const TRunSettings& settings, const ProgressCallback& progress) {
    if (IsCameraInput(input)) return {TakeCameraPicture(input, settings.CameraWarmup), {}, {}};
    return LoadPictureFile(input, CheckedFormat(input, OpenNameRefusal), settings.Orientation, progress);
}

void RunPicture(const TPictureJob& job, const std::vector<TBatchStep>& steps, const TRunSettings& settings,
                std::ostream& out, const TWarnings& warn, const ProgressCallback& progress) {
    const bool saves = !job.Output.empty();
    const int parts = int(steps.size()) + (saves ? 2 : 1);
    StepProgress stepProgress(progress, parts);
    LoadedPicture loaded = LoadInput(job.Input, settings, stepProgress.Step(0));
    stepProgress.Finish(0);
    if (!loaded.Warnings.empty()) warn(job.Input, loaded.Warnings);
    // The output's name is checked once the input's is, and before any step is spent.
    const PictureFormat outputFormat = !saves ? PictureFormat::Bitmap
                                       : job.OutputFormat ? *job.OutputFormat
                                                          : CheckedFormat(job.Output, SaveNameRefusal, true);

    TBatchSession session;
    session.Seed = settings.Seed;
    session.Out = &out;
    session.FileName = job.Input;
    session.Picture = std::move(loaded.Picture);
    session.SelectAll();
    for (std::size_t k = 0; k < steps.size(); ++k) {
        session.Progress = stepProgress.Step(int(k) + 1);
        steps[k](session);
        stepProgress.Finish(int(k) + 1);
        CheckWritten(out);  // before the next step, and before the picture is saved
    }
    if (!saves) return;
    const MetadataWarnings left =
        SavePicture(job.Output, session.Picture, outputFormat, loaded.Metadata, stepProgress.Step(parts - 1));
    stepProgress.Finish(parts - 1);
    if (!left.empty()) warn(job.Output, left);
}

std::string FailureMessage(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return "Out of memory";
    } catch (const std::exception& error) {
        // Messages may carry the window's "\r\n" line breaks.
        std::string text = error.what();
        for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " ");
        return text;
    } catch (...) {
        return "Unexpected error";
    }
}

void PrintWarnings(std::ostream& err, const std::string& file, const MetadataWarnings& warnings) {
    for (const std::string& warning : warnings) err << "corvalux-batch: warning: " << file << ": " << warning << "\n";
}
