#include "batch/PictureJobs.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <istream>
#include <map>
#include <unordered_map>
#include <utility>

#include "batch/CameraInput.h"
#include "image/RegularFile.h"

std::vector<std::string> ReadInputList(const std::string& list, std::istream& standardInput) {
    std::ifstream file;
    if (list != "-") {
        file.open(list, std::ios::binary);
        if (!file) ThrowSystemError(list, errno);
    }
    std::istream& in = list == "-" ? standardInput : file;
    std::vector<std::string> names;
    for (std::string name; std::getline(in, name);)
        if (!name.empty()) names.push_back(std::move(name));
    if (in.bad()) ThrowSystemError(list == "-" ? "standard input" : list, errno ? errno : EIO);
    return names;
}

namespace {
std::string OutputName(const std::string& input, const std::string& folder, const std::string& format) {
    std::string name = input.substr(input.rfind('/') + 1);
    if (IsCameraInput(input)) {
        // A frame has no file name of its own: "camera:Front" is saved as camera-Front.bmp (or
        // with the --format's extension), any slash in the camera's name made a dash.
        const std::string camera = input.substr(CameraPrefix.size());
        name = camera.empty() ? "camera" : "camera-" + camera;
        std::replace(name.begin(), name.end(), '/', '-');
        name += "." + (format.empty() ? std::string("bmp") : format);
    } else if (!format.empty()) {
        // A leading dot starts a hidden name, not an extension.
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0) name.resize(dot);
        name += "." + format;
    }
    return folder + (folder.ends_with('/') ? "" : "/") + name;
}

// The file a name leads to, by device and inode; nothing for a name that leads nowhere.
std::optional<std::pair<dev_t, ino_t>> FileAt(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return std::pair(info.st_dev, info.st_ino);
}
}  // namespace

TJobPlan PlanJobs(const std::vector<std::string>& inputs, const std::string& folder, const std::string& format) {
    TJobPlan plan;
    const std::optional<PictureFormat> chosen =
        format.empty() ? std::nullopt : std::optional(FormatOfName("x." + format));
    std::unordered_map<std::string, const std::string*> firstInput;  // by output name
    std::map<std::pair<dev_t, ino_t>, const std::string*> inputFiles;
    const auto outputFolder = FileAt(folder);
    for (const std::string& input : inputs) {
        const auto file = FileAt(input);
        // A wildcard beside the output folder names it too, on every run after the first.
        if (file && file == outputFolder) continue;
        TPictureJob job{input, OutputName(input, folder, format), chosen};
        const auto [at, isNew] = firstInput.emplace(job.Output, &input);
        if (!isNew)
            plan.Problems.push_back(*at->second + " and " + input + " would both be saved as " + job.Output);
        if (file) inputFiles.emplace(*file, &input);
        plan.Jobs.push_back(std::move(job));
    }
    // Compared as files, so that a link or another spelling of an input's name is caught too.
    for (const TPictureJob& job : plan.Jobs)
        if (const auto file = FileAt(job.Output); file && inputFiles.count(*file))
            plan.Problems.push_back(job.Output + " would replace the input " + *inputFiles[*file]);
    if (!plan.Problems.empty()) plan.Jobs.clear();
    return plan;
}
