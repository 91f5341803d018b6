// Every step of corvalux-batch over every sample picture, each run a separate process of
// the real executable. A run either succeeds and writes a picture that loads again, or
// fails with one "corvalux-batch: " line and a non-zero status and leaves no output; never
// a crash or a sanitizer report.
//
// One process per (picture, step): a failing step ends a run, so steps cannot share one.
// A picture the tool refuses to load is run once, without steps: no step would ever see it.
// Every picture that loads meets every step; the largest few (see SampledFromPixels) meet
// a sample of them, so that the soak stays within minutes on two cores.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "filters/FilterCommands.h"
#include "image/PictureFile.h"
#include "ScratchFolder.h"

extern char** environ;

namespace {
namespace fs = std::filesystem;

struct TRunResult {
    bool started = false;
    bool exited = false;  // false when killed by a signal
    int status = 0;
    std::string errors;  // standard error
};

// Runs corvalux-batch with `arguments`, standard output thrown away, standard error kept.
TRunResult RunBatchProcess(const std::vector<std::string>& arguments, const fs::path& errorFile) {
    std::vector<char*> argv;
    std::string program = CORVALUX_BATCH;
    argv.push_back(program.data());
    std::vector<std::string> copies(arguments);
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    TRunResult result;
    if (spawned != 0) {
        // Also what the standard error file's opening met: posix_spawn reports that as its own.
        result.errors =
            "cannot start " + program + ": " + std::strerror(spawned) + " (errno " + std::to_string(spawned) + ")";
        return result;
    }
    result.started = true;
    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    result.exited = WIFEXITED(wstatus);
    result.status = result.exited ? WEXITSTATUS(wstatus) : WTERMSIG(wstatus);
    std::ifstream in(errorFile, std::ios::binary);
    result.errors.assign(std::istreambuf_iterator<char>(in), {});
    return result;
}

// The step sequences each picture meets: every filter command, and every other step in a
// setting where it does real work (a selection hanging over the picture's edges, a crop of
// it, enlarging and reducing, a formula that overflows on bright red).
std::vector<std::vector<std::string>> StepSequences(const std::string& filterFile) {
    std::vector<std::vector<std::string>> sequences = {
        {},  // load and save only
        {"select=-7,-5,40,30", "mean-value"},
        {"select=-7,-5,40,30", "crop"},
        {"select=30,20,3,2", "find-edges"},  // dragged up-left: selects all
        {"select-all", "statistics"},
        {"rotate-left"},
        {"rotate-right"},
        {"resize=301,7"},
        {"resize=5,3000,plain"},
        {"feather=10,200,30"},
        {"custom=R1*2;(G1+B1)/2;255-B1"},
        {"custom=EXP(R1*200);G1;B1"},  // overflows where red reaches 57
        {"custom=R1+;G1;B1"},          // a syntax error
        {"filter-file=" + filterFile},
    };
    for (const FilterCommand& command : FilterCommands())
        if (command.Kind == CommandKind::Steps) sequences.push_back({std::string(command.Name)});
    return sequences;
}

// Pictures of this many pixels or more (the three largest photos) meet every third
// sequence; each of their runs costs as much as ten of a small picture.
constexpr std::int64_t SampledFromPixels = 200000;

std::vector<std::string> SampleFiles() {
    std::vector<std::string> files;
    // A missing folder gives no pictures, which GoogleTest reports as a suite with no tests.
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(CORVALUX_TESTDATA, error)) {
        if (!entry.is_regular_file()) continue;
        if (FormatOfName(entry.path().string()) == PictureFormat::Refused) continue;
        files.push_back(fs::relative(entry.path(), CORVALUX_TESTDATA).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string NameOf(const std::string& relative) {
    std::string name = relative;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

std::string Describe(const std::vector<std::string>& arguments) {
    std::string text = "corvalux-batch";
    for (const std::string& argument : arguments) text += " " + argument;
    return text;
}

class Soak : public ::testing::TestWithParam<std::string> {
protected:
    TScratchFolder scratch{"corvalux-soak"};
    const fs::path& folder = scratch.Path();
    std::string filterFile;

    void SetUp() override {
        filterFile = (folder / "soak.fil").string();
        std::ofstream(filterFile, std::ios::binary) << "G1\r\nB1\r\nR1*3/4\r\n";
    }

    // Runs one sequence and checks the outcome; true when the run succeeded.
    bool RunAndCheck(const std::string& input, const std::vector<std::string>& steps, int index) {
        const fs::path output = folder / (index % 2 ? "out.jpg" : "out.bmp");
        std::vector<std::string> arguments = {"--seed", "7", input};
        arguments.insert(arguments.end(), steps.begin(), steps.end());
        arguments.insert(arguments.end(), {"-o", output.string()});
        const TRunResult run = RunBatchProcess(arguments, folder / "stderr.txt");
        const std::string what = Describe(arguments);
        if (!run.started) {
            ADD_FAILURE() << what << "\n" << run.errors;
            return false;
        }

        EXPECT_TRUE(run.exited) << what << "\nkilled by signal " << run.status << "\n" << run.errors;
        for (const char* report : {"Sanitizer", "runtime error", "LeakSanitizer", "terminate called"})
            EXPECT_EQ(run.errors.find(report), std::string::npos) << what << "\n" << run.errors;
        bool succeeded = false;
        if (run.exited && run.status == 0) {
            EXPECT_EQ(run.errors, "") << what;
            EXPECT_TRUE(fs::exists(output)) << what;
            if (fs::exists(output)) {
                try {
                    const Bitmap written = LoadPicture(output.string(), FormatOfName(output.string()));
                    EXPECT_FALSE(written.Empty()) << what;
                } catch (const std::exception& error) {
                    ADD_FAILURE() << what << ": the output does not load: " << error.what();
                }
            }
            succeeded = true;
        } else if (run.exited) {
            EXPECT_EQ(run.errors.rfind("corvalux-batch: ", 0), 0u) << what << "\n" << run.errors;
            EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << what << "\n" << run.errors;
            EXPECT_FALSE(fs::exists(output)) << what << ": output left after a failure";
        }
        fs::remove(output);
        return succeeded;
    }
};

TEST_P(Soak, EveryStepEitherSucceedsOrFailsCleanly) {
    const fs::path input = fs::path(CORVALUX_TESTDATA) / GetParam();
    const auto sequences = StepSequences(filterFile);
    // The first sequence only loads and saves: a picture refused there is done.
    if (!RunAndCheck(input.string(), sequences[0], 0)) return;
    const PictureFormat format = FormatOfName(input.string());
    const Bitmap picture = LoadPicture(input.string(), format);
    const bool sampled = std::int64_t(picture.Width()) * picture.Height() >= SampledFromPixels;
    // The PNG and TIFF collections are large and their decoders have tests of their own: each
    // of those pictures meets one sequence in ten, a different one for each picture, so that
    // together they still meet every sequence.
    const bool lossless = format == PictureFormat::Png || format == PictureFormat::Tiff;
    const std::size_t offset = std::hash<std::string>{}(GetParam()) % 10;
    for (std::size_t i = 1; i < sequences.size(); ++i) {
        if (lossless ? (i + offset) % 10 != 0 : sampled && i % 3 != 1) continue;
        RunAndCheck(input.string(), sequences[i], int(i));
    }
}

INSTANTIATE_TEST_SUITE_P(SamplePictures, Soak, ::testing::ValuesIn(SampleFiles()),
                         [](const auto& info) { return NameOf(info.param); });
}  // namespace
