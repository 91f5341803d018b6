// Step lists that once broke an invariant under the fuzzer (fuzz/batch_step_fuzzer.cpp),
// each run as the tool runs it. Add a row for every new finding.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "ScratchFolder.h"
#include "batch/BatchTool.h"
#include "image/PictureFile.h"

namespace {
namespace fs = std::filesystem;

struct TStepFinding {
    const char* what;
    std::vector<std::string> steps;
    std::string error;  // the tool's message; empty when the run must succeed
};

const TStepFinding StepFindings[] = {
    // The selection spans the whole int range: 2^32 columns, which as an int made an empty
    // region, so the crop "succeeded" with a picture 0 pixels wide that no reader accepts.
    {"crop of a selection 2^32 pixels wide",
     {"select=-2147483648,0,2147483647,3", "crop"},
     "The picture is too large: 4294967296 \u00D7 4 pixels."},
    {"filter on a selection 2^32 pixels wide",
     {"select=-2147483648,0,2147483647,3", "mean-value"},
     "The picture is too large: 4294967296 \u00D7 4 pixels."},
    {"crop of a selection 2^32 pixels high",
     {"select=0,-2147483648,3,2147483647", "crop"},
     "The picture is too large: 4 \u00D7 4294967296 pixels."},
};

void PrintTo(const TStepFinding& finding, std::ostream* os) { *os << finding.what; }

class StepRegression : public ::testing::TestWithParam<TStepFinding> {
protected:
    TScratchFolder scratch{"corvalux-step-regression"};
    const fs::path& folder = scratch.Path();
};

TEST_P(StepRegression, RunsAsExpected) {
    const TStepFinding& finding = GetParam();
    const std::string input = (folder / "in.bmp").string(), output = (folder / "out.bmp").string();
    Bitmap picture(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) picture.SetColor(x, y, PackColor(x * 36, y * 50, 99));
    SavePicture(input, picture, PictureFormat::Bitmap);

    std::vector<std::string> arguments = {input};
    arguments.insert(arguments.end(), finding.steps.begin(), finding.steps.end());
    arguments.insert(arguments.end(), {"-o", output});
    std::ostringstream out, err;
    const int status = RunBatch(arguments, out, err);
    if (finding.error.empty()) {
        EXPECT_EQ(status, 0) << err.str();
        EXPECT_FALSE(LoadPicture(output, PictureFormat::Bitmap).Empty());
    } else {
        EXPECT_EQ(status, 1);
        EXPECT_EQ(err.str(), "corvalux-batch: " + input + ": " + finding.error + "\n");
        EXPECT_FALSE(fs::exists(output));
    }
}

INSTANTIATE_TEST_SUITE_P(FuzzFindings, StepRegression, ::testing::ValuesIn(StepFindings),
                         [](const auto& info) { return "Finding" + std::to_string(info.index); });
}  // namespace
