#include "batch/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "batch/BatchSteps.h"
#include "image/PictureFile.h"

const char* const BatchUsage =
    "usage: corvalux-batch [OPTIONS] INPUT [STEP ...] [-o OUTPUT]\n"
    "       corvalux-batch [OPTIONS] -d DIR [--jobs N] [--format EXT] STEP ... -- INPUT ...\n"
    "       corvalux-batch [OPTIONS] -d DIR [--jobs N] [--format EXT] STEP ... --from LIST\n"
    "Loads INPUT (.bmp, .jpg, .jpeg, .png, .tif, .tiff, .heic, .heif, .avif, .webp or .jxl)\n"
    "turned upright by its orientation, runs each STEP in order on the picture, and saves the\n"
    "result as OUTPUT when -o is given, in the format its name says: 24-bit BMP; JPEG at\n"
    "quality 90, carrying the input's EXIF, XMP, IPTC and ICC profile; 24-bit PNG; 24-bit TIFF\n"
    "with Deflate; or WebP at quality 90. Transparent areas are composited over white.\n"
    "With -d, does the same to each INPUT and saves it as DIR/NAME, NAME being the input's own.\n"
    "Errors name their file; exit status 0 when every picture succeeded, 1 when any failed,\n"
    "2 for a usage error.\n"
    "  --seed N            start every noise pass at N (0..4294967295) instead of the clock\n"
    "  --keep-orientation  load the pixels as stored, not turned by the orientation tag\n"
    "  --progress          show the progress on standard error: a percentage, or with -d the\n"
    "                      pictures done of all and how many a second\n"
    "  --list-cameras      print the cameras, one a line: its name, a tab, pipewire or v4l2\n"
    "  --camera-warmup N   frames an INPUT camera:NAME (camera: for the first) lets pass\n"
    "                      before the one it takes (default 5)\n"
    "  -d DIR              save every INPUT into DIR (made if missing)\n"
    "  --jobs N            with -d, N pictures at once (default: one per core)\n"
    "  --format EXT        with -d, save as bmp, jpg, png, tif or webp, named so\n"
    "  --from LIST         with -d, read input names from LIST, one a line ('-': standard input)\n"
    "Steps:\n";

namespace {
std::uint32_t WholeNumber(const std::string& value, std::uint32_t low, std::uint32_t high, const std::string& refusal) {
    std::uint32_t number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size() || number < low || number > high)
        throw EBatchUsage(refusal);
    return number;
}

// --format takes any extension whose format the program saves, by the rule of a file's name.
std::string SavedExtension(std::string value) {
    std::transform(value.begin(), value.end(), value.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (value.empty() || value.find_first_of("./") != std::string::npos || !CanSave(FormatOfName("x." + value)))
        throw EBatchUsage("--format takes an extension the program saves: bmp, jpg, png, tif or webp");
    return value;
}

// The option's value, past its name; throws when the arguments end first.
const std::string& Value(const std::vector<std::string>& arguments, std::size_t& i) {
    if (i + 1 >= arguments.size()) throw EBatchUsage(arguments[i] + " needs a value");
    return arguments[++i];
}
}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    TCommandLine line;
    std::vector<std::string> words;  // the input and the steps
    bool many = false;               // an option only the many form takes
    std::size_t i = 0;
    for (; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--") {
            line.Inputs.assign(arguments.begin() + std::ptrdiff_t(i) + 1, arguments.end());
            many = true;
            break;
        }
        if (a == "--help" || a == "-h") {
            line.Help = true;
        } else if (a == "--keep-orientation") {
            line.KeepOrientation = true;
        } else if (a == "--progress") {
            line.Progress = true;
        } else if (a == "--list-cameras") {
            line.ListCameras = true;
        } else if (a == "--camera-warmup") {
            line.CameraWarmup =
                int(WholeNumber(Value(arguments, i), 0, 1000, "--camera-warmup needs a whole number from 0 to 1000"));
        } else if (a == "--seed") {
            line.Seed = WholeNumber(Value(arguments, i), 0, UINT32_MAX, "--seed needs a whole number from 0 to 4294967295");
        } else if (a == "-o") {
            line.Output = Value(arguments, i);
            if (line.Output.empty()) throw EBatchUsage("-o needs a file name");
        } else if (a == "-d") {
            line.Folder = Value(arguments, i);
            if (line.Folder.empty()) throw EBatchUsage("-d needs a folder name");
        } else if (a == "--jobs") {
            line.Jobs = int(WholeNumber(Value(arguments, i), 1, 1024, "--jobs needs a whole number from 1 to 1024"));
            many = true;
        } else if (a == "--format") {
            line.Format = SavedExtension(Value(arguments, i));
            many = true;
        } else if (a == "--from") {
            line.Lists.push_back(Value(arguments, i));
            many = true;
        } else {
            words.push_back(a);
        }
    }
    if (line.Help || line.ListCameras) return line;
    if (!line.Many()) {
        if (many) throw EBatchUsage("--, --jobs, --format and --from go with -d DIR");
        if (words.empty()) throw EBatchUsage("no INPUT picture given");
        line.Input = words.front();
        line.Steps.assign(words.begin() + 1, words.end());
        return line;
    }
    if (!line.Output.empty()) throw EBatchUsage("-o and -d cannot go together: -d names the outputs");
    if (line.Inputs.empty() && line.Lists.empty()) throw EBatchUsage("no INPUT pictures given after -- or by --from");
    line.Steps = std::move(words);
    return line;
}
