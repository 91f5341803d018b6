// The custom filter steps: custom=RED;GREEN;BLUE and filter-file=PATH.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ScratchFolder.h"
#include "batch/BatchTool.h"
#include "image/PictureFile.h"

namespace {
namespace fs = std::filesystem;

class CustomStepTest : public ::testing::Test {
protected:
    TScratchFolder scratch{"corvalux-batch-custom"};
    const fs::path& folder = scratch.Path();
    std::string input, output;
    std::ostringstream out, err;
    Bitmap picture{7, 5};

    void SetUp() override {
        input = (folder / "in.bmp").string();
        output = (folder / "out.bmp").string();
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x)
                picture.SetColor(x, y, PackColor(x * 30, y * 50 + 1, 200 - x * y));
        SavePicture(input, picture, PictureFormat::Bitmap);
    }

    int Run(std::vector<std::string> args) {
        err.str("");
        return RunBatch(args, out, err);
    }
    std::string WriteFilterFile(const std::string& text) {
        const std::string path = (folder / "f.fil").string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
};
}  // namespace

TEST_F(CustomStepTest, AppliesTheFormulasToTheSelection) {
    ASSERT_EQ(Run({input, "select=1,1,4,3", "custom= G1 ; 255 - R1 ;B1/2", "-o", output}), 0) << err.str();
    const Bitmap result = LoadPicture(output, PictureFormat::Bitmap);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const PackedColor old = picture.GetColor(x, y);
            const bool inside = x >= 1 && x <= 4 && y >= 1 && y <= 3;
            // B1/2 rounds halves to even: 199/2 = 99.5 gives 100, 197/2 = 98.5 gives 98.
            const int half = BlueOf(old) / 2 + (BlueOf(old) % 4 == 3);
            const PackedColor expected = inside ? PackColor(GreenOf(old), 255 - RedOf(old), half) : old;
            EXPECT_EQ(result.GetColor(x, y), expected) << x << "," << y;
        }
}

TEST_F(CustomStepTest, FilterFileGivesTheSameAsTheFormulas) {
    const std::string path = WriteFilterFile("255 - R1\r\n(R1+G1+B1)/3\r\nSQRT(B1)*16\r\n");
    ASSERT_EQ(Run({input, "filter-file=" + path, "-o", output}), 0) << err.str();
    const Bitmap fromFile = LoadPicture(output, PictureFormat::Bitmap);
    ASSERT_EQ(Run({input, "custom=255-R1;(R1+G1+B1)/3;SQRT(B1)*16", "-o", output}), 0) << err.str();
    EXPECT_EQ(LoadPicture(output, PictureFormat::Bitmap), fromFile);
    EXPECT_NE(fromFile, picture);
}

TEST_F(CustomStepTest, FailuresAndTheirExitStatus) {
    const struct {
        std::vector<std::string> step;
        int status;
        const char* message;  // a part of the error output
    } cases[] = {
        {{"custom=R1;G1"}, 2, "custom: expects three formulas separated by semicolons"},
        {{"custom=R1;G1;B1;"}, 2, "custom: expects three formulas"},
        {{"custom"}, 2, "custom needs arguments"},
        {{"custom=R1;(G1+2;B1"}, 1, ": Green formula: an operator or ) is expected at position 6.\n"},
        {{"custom=r1;G1;B1"}, 1, "Red formula: \"r1\" is not a known name at position 1."},
        {{"custom=R1;G1;"}, 1, "Blue formula: a number, R1, G1, B1, a function or ( is expected at position 1."},
        {{"custom=1E4000*R1*1E4000;G1;B1"}, 1, ": Floating point overflow\n"},
        {{"filter-file=" + (folder / "missing.fil").string()}, 1, "corvalux-batch: "},
        {{"filter-file=" + WriteFilterFile("R1\r\nG1\r\n")}, 1, "Blue formula: a number, R1, G1, B1, a function"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{input};
        args.insert(args.end(), c.step.begin(), c.step.end());
        args.insert(args.end(), {"-o", output});
        EXPECT_EQ(Run(args), c.status) << c.step[0];
        EXPECT_NE(err.str().find(c.message), std::string::npos) << c.step[0] << ": " << err.str();
        EXPECT_FALSE(fs::exists(output)) << c.step[0];
    }
}

TEST_F(CustomStepTest, DomainErrorsGiveZero) {
    ASSERT_EQ(Run({input, "custom=R1/0;LN(G1-G1);SQRT(-1)", "-o", output}), 0) << err.str();
    const Bitmap result = LoadPicture(output, PictureFormat::Bitmap);
    EXPECT_EQ(result.GetColor(3, 2), PackColor(0, 0, 0));
}
