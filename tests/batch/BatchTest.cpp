#include "batch/BatchTool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "ScratchFolder.h"
#include "filters/FilterCommands.h"
#include "image/PictureFile.h"

namespace {
namespace fs = std::filesystem;

// A picture with distinct corners and a gradient, so every filter changes something.
Bitmap Sample() {
    Bitmap b(23, 17);
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) b.SetColor(x, y, PackColor(x * 11, y * 15, (x * y * 7) & 255));
    return b;
}

class BatchTest : public ::testing::Test {
protected:
    TScratchFolder scratch{"corvalux-batch"};
    const fs::path& folder = scratch.Path();
    std::string input, output;
    std::ostringstream out, err;

    void SetUp() override {
        input = (folder / "in.bmp").string();
        output = (folder / "out.bmp").string();
        SavePicture(input, Sample(), PictureFormat::Bitmap);
    }

    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return RunBatch(args, out, err);
    }
    Bitmap Output() { return LoadPicture(output, PictureFormat::Bitmap); }
};
}  // namespace

// Every step runs, and --help names each one at the start of a line.
TEST_F(BatchTest, EveryStepNameRunsAndIsInTheHelp) {
    std::vector<std::string> names = {
        "select=2,3,15,12", "select-all", "feather=10,20,30", "statistics",  "resize=30,20",
        "resize=5,4,plain", "crop",       "rotate-left",      "rotate-right"};
    for (const FilterCommand& command : FilterCommands())
        if (command.Kind == CommandKind::Steps) names.emplace_back(command.Name);
    EXPECT_GE(names.size(), 9u + 36u);
    ASSERT_EQ(Run({"--help"}), 0);
    std::set<std::string> listed;
    std::istringstream help(out.str());
    for (std::string line, first; std::getline(help, line);)
        if (std::istringstream(line) >> first) listed.insert(first.substr(0, first.find('=')));
    for (const std::string& name : names) {
        EXPECT_TRUE(listed.contains(name.substr(0, name.find('=')))) << name << " is missing from --help";
        EXPECT_EQ(Run({"--seed", "1", input, name, "-o", output}), 0) << name << ": " << err.str();
        EXPECT_TRUE(err.str().empty()) << name;
        EXPECT_TRUE(fs::exists(output)) << name;
        fs::remove(output);
    }
}

TEST_F(BatchTest, SelectFollowsTheMouseRule) {
    // Dragged up-left, or too thin: the whole picture, so Invert reaches every pixel.
    for (const char* select : {"select=10,10,2,2", "select=4,4,4,12", "select=0,0,22,16"}) {
        ASSERT_EQ(Run({input, select, "invert-all", "-o", output}), 0);
        const Bitmap result = Output();
        EXPECT_EQ(result.GetColor(0, 0), Sample().GetColor(0, 0) ^ 0xffffff) << select;
        EXPECT_EQ(result.GetColor(22, 16) ^ 0xffffff, Sample().GetColor(22, 16)) << select;
    }
    ASSERT_EQ(Run({input, "select=1,1,2,2", "invert-all", "-o", output}), 0);
    EXPECT_EQ(Output().GetColor(0, 0), Sample().GetColor(0, 0));
    EXPECT_EQ(Output().GetColor(2, 2) ^ 0xffffff, Sample().GetColor(2, 2));
}

TEST_F(BatchTest, SeedMakesNoiseRepeatable) {
    const std::string second = (folder / "second.bmp").string();
    ASSERT_EQ(Run({"--seed", "4294967295", input, "noise-add", "-o", output}), 0);
    ASSERT_EQ(Run({"--seed", "4294967295", input, "noise-add", "-o", second}), 0);
    EXPECT_EQ(Output(), LoadPicture(second, PictureFormat::Bitmap));
    ASSERT_EQ(Run({"--seed", "7", input, "noise-add", "-o", second}), 0);
    EXPECT_NE(Output(), LoadPicture(second, PictureFormat::Bitmap));
}

TEST_F(BatchTest, StatisticsPrintsOneLinePerReportLine) {
    ASSERT_EQ(Run({input, "statistics"}), 0);
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("File: " + input + "\nDimensions: 23 X 17\n\nOptimized: ", 0), 0u) << text;
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_NE(text.find("\nAverage luminance: "), std::string::npos);
}

TEST_F(BatchTest, GeometryStepsReshape) {
    struct Case {
        std::vector<std::string> steps;
        int width, height;
    } cases[] = {
        {{"resize=30000,1,plain"}, 30000, 1},
        {{"resize=1,1"}, 1, 1},
        {{"rotate-left"}, 17, 23},
        {{"select=2,3,9,5", "crop"}, 8, 3},
        {{"select=20,10,40,30", "crop"}, 21, 21},  // reaches outside: black there
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {input};
        args.insert(args.end(), c.steps.begin(), c.steps.end());
        args.insert(args.end(), {"-o", output});
        ASSERT_EQ(Run(args), 0) << err.str();
        EXPECT_EQ(Output().Width(), c.width);
        EXPECT_EQ(Output().Height(), c.height);
    }
    EXPECT_EQ(Output().GetColor(20, 20), 0u);
}

TEST_F(BatchTest, ErrorsExitWithAStatusAndLeaveTheOutputAlone) {
    std::ofstream(output) << "precious";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{}, 2, "no INPUT"},
        {{input, "blur"}, 2, "unknown step: blur"},
        {{input, "feather=1,2"}, 2, "feather: expects 3 values"},
        {{input, "feather=1,2,256"}, 2, "from 0 to 255"},
        {{input, "resize=0,10"}, 2, "from 1 to 30000"},
        {{input, "resize=30001,10"}, 2, "from 1 to 30000"},
        {{input, "select"}, 2, "needs arguments"},
        {{input, "invert-all=3"}, 2, "unknown step"},
        {{"--seed", "-1", input}, 2, "--seed"},
        {{"--seed", "4294967296", input}, 2, "--seed"},
        {{input, "-o"}, 2, "-o needs a value"},
        {{(folder / "missing.bmp").string(), "invert-all"}, 1, "No such file or directory"},
        {{(folder / "in.gif").string()}, 1, "You must specify a BMP, JPG, PNG, TIFF, HEIC, AVIF, WebP or JXL file."},
        {{input, "-o", (folder / "x.gif").string()},
         1,
         "You must specify a .BMP, .JPG, .PNG, .TIF or .WEBP file. example: MyPic.bmp"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        if (std::find(args.begin(), args.end(), "-o") == args.end()) args.insert(args.end(), {"-o", output});
        EXPECT_EQ(Run(args), c.status) << c.message;
        EXPECT_EQ(err.str().rfind("corvalux-batch: ", 0), 0u) << err.str();
        EXPECT_NE(err.str().find(c.message), std::string::npos) << c.message << " in " << err.str();
        std::ifstream in(output);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
    }
    EXPECT_FALSE(fs::exists(folder / "x.png"));
}

// --progress: one line of rising percentages on standard error, from the first step's report
// to 100 and a newline, and the same picture as without it; by default nothing at all.
TEST_F(BatchTest, ProgressShowsOneLineOfRisingPercentagesOnlyWhenAsked) {
    const std::vector<std::string> steps = {"sepia", "statistics", "rotate-left", "resize=40,30", "mean-value"};
    std::vector<std::string> plain = {"--seed", "3", input};
    plain.insert(plain.end(), steps.begin(), steps.end());
    plain.insert(plain.end(), {"-o", output});
    ASSERT_EQ(Run(plain), 0) << err.str();
    EXPECT_EQ(err.str(), "");
    const Bitmap expected = Output();

    std::vector<std::string> shown = plain;
    shown.insert(shown.begin(), "--progress");
    ASSERT_EQ(Run(shown), 0) << err.str();
    EXPECT_EQ(Output(), expected);
    const std::string line = err.str();
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.front(), '\r');
    EXPECT_EQ(line.substr(line.size() - 6), "\r100%\n");
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
    int last = -1, count = 0;
    std::istringstream parts(line.substr(1, line.size() - 2));
    for (std::string part; std::getline(parts, part, '\r'); ++count) {
        ASSERT_EQ(part.size(), 4u) << part;  // "  7%", " 42%", "100%"
        EXPECT_EQ(part.back(), '%');
        const int percent = std::stoi(part.substr(0, 3));
        EXPECT_GT(percent, last) << line;
        last = percent;
    }
    EXPECT_GE(count, int(steps.size()));
}

// A failing step ends the percentage line first, so the message starts a line of its own.
TEST_F(BatchTest, ProgressLineEndsBeforeAnErrorMessage) {
    EXPECT_EQ(Run({"--progress", input, "sepia", "custom=R1;G1;LOG(", "-o", output}), 1);
    const std::string text = err.str();
    const auto message = text.find("corvalux-batch: ");
    ASSERT_NE(message, std::string::npos) << text;
    ASSERT_GT(message, 0u) << text;
    EXPECT_EQ(text[message - 1], '\n') << text;
    EXPECT_FALSE(fs::exists(output));
}
