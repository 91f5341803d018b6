// corvalux-batch -d DIR over many pictures: the same files as single runs, failures named one
// a line and counted, clashes refused before anything runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ScratchFolder.h"
#include "batch/BatchTool.h"
#include "image/PictureFile.h"

namespace {
namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ManyPictures : public ::testing::Test {
protected:
    TScratchFolder scratch{"corvalux-many"};
    const fs::path& folder = scratch.Path();
    std::vector<std::string> inputs;  // four good pictures, then a broken and an empty one
    std::ostringstream out, err;

    void SetUp() override {
        fs::create_directories(folder / "in");
        for (const char* name : {"a.bmp", "with space.jpg", "bad\xff.png", "d.jpeg"}) {
            Bitmap picture(9 + int(inputs.size()), 7);
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < picture.Width(); ++x) picture.SetColor(x, y, PackColor(x * 25, y * 30, 200 - x * y));
            inputs.push_back((folder / "in" / name).string());
            SavePicture(inputs.back(), picture, FormatOfName(name));
        }
        inputs.push_back((folder / "in" / "broken.jpg").string());
        std::ofstream(inputs.back()) << "\xff\xd8\xff\xc0 not a JPEG";
        inputs.push_back((folder / "in" / "empty.bmp").string());
        std::ofstream{inputs.back()};
    }

    int Run(std::vector<std::string> args, const std::string& standardInput = "") {
        out.str("");
        err.str("");
        std::istringstream in(standardInput);
        return RunBatch(args, out, err, &in);
    }
};
}  // namespace

// Each output is byte for byte what the single form writes, whatever the options, and a rerun
// replaces it; each failure is one line naming its file, then the count.
TEST_F(ManyPictures, OutputsEqualSingleRunsAndFailuresAreNamed) {
    const struct {
        std::vector<std::string> options;
        const char* extension;  // of the outputs, when --format changes it
    } cases[] = {{{}, nullptr},
                 {{"--jobs", "1"}, nullptr},
                 {{"--jobs", "3", "--format", "PNG"}, "png"},
                 {{"--from", "-", "--format", "jpg"}, "jpg"}};
    const std::vector<std::string> steps = {"optimize", "noise-add", "statistics", "rotate-left"};
    for (const auto& c : cases) {
        const bool fromList = !c.options.empty() && c.options[0] == "--from";
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"--seed", "5", "-d", (folder / "out").string()});
        args.insert(args.end(), steps.begin(), steps.end());
        fs::create_directories(folder / "out");
        std::string list = (folder / "out").string() + "\n";  // passed over, as a wildcard would give it
        if (!fromList) args.push_back("--");
        for (const std::string& input : inputs) fromList ? void(list += input + "\n") : args.push_back(input);
        if (!fromList) args.push_back((folder / "out").string());
        for (int rerun = 0; rerun < 2; ++rerun) {
            ASSERT_EQ(Run(args, list), 1) << err.str();
            // The failures in the order they happen, then the count.
            const std::string errors = err.str(), reports = out.str();
            EXPECT_NE(errors.find("corvalux-batch: " + inputs[4] + ": JPEG error #11\n"), std::string::npos) << errors;
            EXPECT_NE(errors.find("corvalux-batch: " + inputs[5] + ": Bitmap image is not valid\n"), std::string::npos);
            EXPECT_TRUE(errors.ends_with("\ncorvalux-batch: 2 of 6 pictures failed\n")) << errors;
            EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 3) << errors;
            EXPECT_EQ(std::count(reports.begin(), reports.end(), '\n'), 4 * 10) << reports;
        }
        for (std::size_t k = 0; k < 4; ++k) {
            fs::path name = fs::path(inputs[k]).filename();
            if (c.extension) name.replace_extension(c.extension);
            const fs::path single = folder / "single" / name;
            fs::create_directories(single.parent_path());
            std::vector<std::string> alone = {"--seed", "5", inputs[k]};
            alone.insert(alone.end(), steps.begin(), steps.end());
            alone.insert(alone.end(), {"-o", single.string()});
            ASSERT_EQ(Run(alone), 0) << err.str();
            EXPECT_EQ(Contents(folder / "out" / name), Contents(single)) << name;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(folder / "out"), fs::directory_iterator()), 4);
        fs::remove_all(folder / "out");
    }
}

// Usage errors and outputs that would clash or replace an input stop the run before anything
// is written.
TEST_F(ManyPictures, ClashesAndUsageErrorsStopBeforeAnything) {
    const std::string out = (folder / "out").string();
    fs::create_directories(folder / "other");
    fs::copy(inputs[0], folder / "other" / "a.bmp");
    fs::create_symlink(inputs[1], folder / "link.jpg");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"-d", out, "invert-all", "--", inputs[0], (folder / "other/a.bmp").string()},
         2,
         inputs[0] + " and " + (folder / "other/a.bmp").string() + " would both be saved as " + out + "/a.bmp"},
        {{"-d", folder.string(), "invert-all", "--", (folder / "link.jpg").string(), inputs[1]},
         2,
         (folder / "link.jpg").string() + " would replace the input " + (folder / "link.jpg").string()},
        {{"-d", (folder / "in").string(), "--format", "BMP", "invert-all", "--", inputs[0]},
         2,
         "would replace the input " + inputs[0]},
        {{"-d", out, "--format", "png", "--", "camera:a/b", "camera:a-b"},
         2,
         "camera:a/b and camera:a-b would both be saved as " + out + "/camera-a-b.png"},
        {{"-d", out, "invert-all", "--"}, 2, "no INPUT pictures given"},
        {{"-d", out, "--jobs", "0", "--", inputs[0]}, 2, "--jobs needs a whole number from 1 to 1024"},
        {{"-d", out, "--format", "heic", "--", inputs[0]}, 2, "--format takes an extension the program saves"},
        {{"-d", out, "-o", "x.bmp", "--", inputs[0]}, 2, "-o and -d cannot go together"},
        {{inputs[0], "--jobs", "2"}, 2, "go with -d DIR"},
        {{"-d", out, "--from", (folder / "missing").string()}, 1, "No such file or directory"},
        {{"-d", inputs[0] + "/x", "--", inputs[0]}, 1, "Not a directory"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.args), c.status) << c.message;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << c.message << " in " << err.str();
    }
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3) << "in, other, link";
}

// --progress keeps one line of done/total and rate, ended before each failure's line.
TEST_F(ManyPictures, ProgressCountsPictures) {
    std::vector<std::string> args = {"--progress", "--jobs", "1", "-d", (folder / "out").string(), "--"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    ASSERT_EQ(Run(args), 1);
    const std::string text = err.str();
    EXPECT_EQ(text.rfind("\r0/6  0.0 pictures/s", 0), 0u) << text;
    EXPECT_NE(text.find("\n\r5/6  "), std::string::npos) << "a new line after the failure's: " << text;
    EXPECT_NE(text.find("\r6/6  "), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with("   \ncorvalux-batch: 2 of 6 pictures failed\n")) << text;
}
