#include "BatchTool.h"

#include <charconv>
#include <cstring>
#include <optional>
#include <ostream>

#include "BatchSteps.h"
#include "Parallel.h"
#include "PictureFile.h"
#include "ProgressLine.h"
#include "StandardOutput.h"

namespace {
const char* Usage =
    "usage: corvalux-batch [--seed N] [--keep-orientation] [--progress] INPUT [STEP ...] [-o OUTPUT]\n"
    "Loads INPUT (.bmp, .jpg, .jpeg, .png, .tif, .tiff, .heic, .heif, .avif, .webp or .jxl)\n"
    "turned upright by its orientation, runs each STEP in order on the picture, and saves the\n"
    "result as OUTPUT when -o is given, in the format its name says: 24-bit BMP; JPEG at\n"
    "quality 90, carrying the input's EXIF, XMP, IPTC and ICC profile; 24-bit PNG; 24-bit TIFF\n"
    "with Deflate; or WebP at quality 90. Transparent areas are composited over white.\n"
    "  --seed N            start every noise pass at N (0..4294967295) instead of the clock\n"
    "  --keep-orientation  load the pixels as stored, not turned by the orientation tag\n"
    "  --progress          show the progress, load to save, as a percentage on standard error\n"
    "Steps:\n";

struct TCommandLine {
    std::optional<std::uint32_t> Seed;
    std::string Input, Output;
    std::vector<std::string> Steps;
    bool Help = false;
    bool KeepOrientation = false;
    bool Progress = false;
};

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    TCommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--help" || a == "-h") {
            line.Help = true;
        } else if (a == "--seed" || a == "-o") {
            if (i + 1 >= arguments.size()) throw EBatchUsage(a + " needs a value");
            const std::string& value = arguments[++i];
            if (a == "-o") {
                if (value.empty()) throw EBatchUsage("-o needs a file name");
                line.Output = value;
                continue;
            }
            std::uint32_t seed = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seed);
            if (error != std::errc() || end != value.data() + value.size())
                throw EBatchUsage("--seed needs a whole number from 0 to 4294967295");
            line.Seed = seed;
        } else if (a == "--keep-orientation") {
            line.KeepOrientation = true;
        } else if (a == "--progress") {
            line.Progress = true;
        } else if (line.Input.empty()) {
            line.Input = a;
        } else {
            line.Steps.push_back(a);
        }
    }
    if (!line.Help && line.Input.empty()) throw EBatchUsage("no INPUT picture given");
    return line;
}

// Messages may carry the window's "\r\n" line breaks.
std::string OneLine(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " ");
    return text;
}

// Standard output that cannot be written (a full disk, a closed pipe) fails the run, since
// a report lost silently looks like a report made.
void CheckWritten(std::ostream& out) {
    out.flush();
    if (out) return;
    const auto* file = dynamic_cast<const TFileOutputBuffer*>(out.rdbuf());
    const int error = file ? file->Error() : 0;
    throw std::runtime_error(std::string("cannot write to standard output") +
                             (error ? std::string(": ") + std::strerror(error) : std::string()));
}

// What a load or a save left out of the metadata: the run goes on and still succeeds.
void Warn(std::ostream& err, TProgressLine& progressLine, const std::string& file, const MetadataWarnings& warnings) {
    if (warnings.empty()) return;
    progressLine.End();
    for (const std::string& warning : warnings) err << "corvalux-batch: warning: " << file << ": " << warning << "\n";
}

PictureFormat CheckedFormat(const std::string& path, const char* refusal, bool toSave = false) {
    const PictureFormat format = FormatOfName(path);
    if (format == PictureFormat::Refused || (toSave && !CanSave(format))) throw std::runtime_error(refusal);
    return format;
}
}  // namespace

int RunBatch(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    TCommandLine line;
    std::vector<TBatchStep> steps;
    try {
        line = ParseCommandLine(arguments);
        // Every step is parsed before any work, so a typo costs nothing.
        if (!line.Help)
            for (const std::string& step : line.Steps) steps.push_back(ParseStep(step));
    } catch (const std::exception& error) {
        err << "corvalux-batch: " << error.what() << "\n"
            << "Try 'corvalux-batch --help'.\n";
        return 2;
    }
    TProgressLine progressLine(err);
    try {
        if (line.Help) {
            out << Usage << StepHelp();
            CheckWritten(out);
            return 0;
        }
        TBatchSession session;
        session.Seed = line.Seed;
        session.Out = &out;
        session.FileName = line.Input;
        const PictureFormat outputFormat =
            line.Output.empty() ? PictureFormat::Bitmap : CheckedFormat(line.Output, SaveNameRefusal, true);
        // One percentage over the load, the steps and the save, each an equal share.
        const ProgressCallback whole = line.Progress ? progressLine.Callback() : ProgressCallback{};
        const int parts = int(steps.size()) + (line.Output.empty() ? 1 : 2);
        StepProgress progress(whole, parts);
        LoadedPicture loaded = LoadPictureFile(
            line.Input, CheckedFormat(line.Input, OpenNameRefusal),
            line.KeepOrientation ? OrientationRule::AsStored : OrientationRule::Upright, progress.Step(0));
        progress.Finish(0);
        Warn(err, progressLine, line.Input, loaded.Warnings);
        session.Picture = std::move(loaded.Picture);
        session.SelectAll();
        for (std::size_t k = 0; k < steps.size(); ++k) {
            session.Progress = progress.Step(int(k) + 1);
            steps[k](session);
            progress.Finish(int(k) + 1);
            CheckWritten(out);  // before the next step, and before the picture is saved
        }
        if (!line.Output.empty()) {
            const MetadataWarnings left =
                SavePicture(line.Output, session.Picture, outputFormat, loaded.Metadata, progress.Step(parts - 1));
            progress.Finish(parts - 1);
            Warn(err, progressLine, line.Output, left);
        }
        progressLine.End();
        return 0;
    } catch (const std::bad_alloc&) {
        progressLine.End();
        err << "corvalux-batch: Out of memory\n";
    } catch (const std::exception& error) {
        progressLine.End();
        err << "corvalux-batch: " << OneLine(error.what()) << "\n";
    }
    return 1;
}
