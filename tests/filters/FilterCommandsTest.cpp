#include <gtest/gtest.h>

#include <string>

#include "CommandSupport.h"
#include "filters/Neighbourhood.h"
#include "filters/Noise.h"
#include "PictureSupport.h"
#include "filters/PointFilters.h"
#include "filters/Symmetry.h"
#include "filters/ToneFilters.h"

TEST(FilterCommands, TableHoldsTheBatchNamesInMenuOrder) {
    const std::vector<std::string> expected = {"black-and-white",
                                               "brightness-increase",
                                               "brightness-decrease",
                                               "red-increase",
                                               "red-decrease",
                                               "green-increase",
                                               "green-decrease",
                                               "blue-increase",
                                               "blue-decrease",
                                               "grayscale",
                                               "invert-all",
                                               "invert-red",
                                               "invert-green",
                                               "invert-blue",
                                               "logaritmize-all",
                                               "logaritmize-red",
                                               "logaritmize-green",
                                               "logaritmize-blue",
                                               "mirror-horizontal",
                                               "mirror-vertical",
                                               "optimize",
                                               "sepia",
                                               "contrast-increase",
                                               "contrast-decrease",
                                               "find-edges",
                                               "mean-value",
                                               "noise-add",
                                               "noise-remove",
                                               "sharpness-increase",
                                               "sharpness-decrease",
                                               "drawn",
                                               "early-20th-century",
                                               "cheap-color-camera",
                                               "reflection-horizontal",
                                               "reflection-vertical",
                                               "swap-channels"};
    std::vector<std::string> names;
    for (const FilterCommand& command : FilterCommands()) {
        if (command.Kind == CommandKind::Feather) {
            EXPECT_EQ(command.Name, "feather");
            EXPECT_TRUE(command.Steps.empty());
            continue;
        }
        EXPECT_FALSE(command.Steps.empty()) << command.Name;
        names.emplace_back(command.Name);
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(FindFilterCommand("no-such-filter"), nullptr);
}

TEST(FilterCommands, CompositesRunTheirRoutinesInOrder) {
    const Bitmap before = RandomPicture(11, 9, 3);
    const TRect selection{1, 2, 9, 7};

    Bitmap byTable = before;
    TRect tableSelection = selection;
    RunNamed(byTable, tableSelection, "cheap-color-camera", 77);
    Bitmap byHand = before;
    AdjustChannels(byHand, selection, 25, 0, 0);
    AddNoise(byHand, selection, 25, 77);
    Mean(byHand, selection, 1);
    Contrast(byHand, selection, ContrastStep::Increase);
    EXPECT_EQ(FirstDifference(byHand, byTable), "");

    byTable = before;
    RunNamed(byTable, tableSelection, "drawn");
    byHand = before;
    Mean(byHand, selection, 1);
    FindEdges(byHand, selection);
    Invert(byHand, selection, ChannelSelector::All);
    Contrast(byHand, selection, ContrastStep::Increase);
    EXPECT_EQ(FirstDifference(byHand, byTable), "");
}

TEST(FilterCommands, ReflectionSelectsAllBeforeItsOptimize) {
    Bitmap picture = Asymmetric(7, 5);
    TRect selection{2, 1, 3, 2};
    RunNamed(picture, selection, "reflection-horizontal");
    EXPECT_EQ(selection, (TRect{0, 0, 6, 4}));
    int minRed = 255, maxRed = 0;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            minRed = std::min(minRed, At(picture, x, y).R), maxRed = std::max(maxRed, At(picture, x, y).R);
            EXPECT_EQ(At(picture, x, y), At(picture, 6 - x, y));
        }
    EXPECT_EQ(minRed, 0);
    EXPECT_EQ(maxRed, 255);
}

TEST(FilterCommands, SelectionCommandsKeepEverythingOutsideTheSelection) {
    const Bitmap before = Asymmetric(9, 7);
    const TRect selection{2, 1, 6, 4};
    for (const FilterCommand& command : FilterCommands()) {
        const std::string_view name = command.Name;
        if (command.Kind != CommandKind::Steps || name.starts_with("mirror") || name.starts_with("reflection") ||
            name == "find-edges" || name == "drawn")
            continue;
        Bitmap picture = before;
        TRect used = selection;
        RunNamed(picture, used, name);
        EXPECT_EQ(ChangeOutside(before, picture, selection), "") << name;
        EXPECT_NE(FirstDifference(before, picture), "") << name;
        EXPECT_EQ(used, selection) << name;
    }
}

TEST(FilterCommands, SelectionReachingOutsideThePictureIsClipped) {
    const Bitmap before = Asymmetric(6, 5);
    for (const char* name : {"mean-value", "sharpness-increase", "noise-add", "optimize", "drawn"}) {
        Bitmap picture = before;
        TRect selection{3, -2, 9, 3};
        ASSERT_NO_THROW(RunNamed(picture, selection, name)) << name;
        EXPECT_EQ(picture.Width(), 6);
        EXPECT_EQ(picture.Height(), 5);
        if (std::string_view(name) != "drawn") {
            EXPECT_EQ(ChangeOutside(before, picture, {3, 0, 5, 3}), "") << name;
        }
    }
}

TEST(FilterCommands, Early20thCenturyIsTintedGrey) {
    Bitmap picture = RandomPicture(13, 11, 8);
    RunNamed(picture, "early-20th-century");
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 13; ++x) {
            const Rgb c = At(picture, x, y);
            EXPECT_TRUE(c.R >= c.G && c.G >= c.B) << c;
        }
}

TEST(FilterCommands, NoiseSeedIsAskedOncePerNoisePass) {
    Bitmap picture = Asymmetric(5, 5);
    TRect selection{0, 0, 4, 4};
    int asked = 0;
    FilterContext context{picture, selection, [&] { return std::uint32_t(++asked); }};
    RunFilterCommand(*FindFilterCommand("early-20th-century"), context);
    EXPECT_EQ(asked, 1);
    RunFilterCommand(*FindFilterCommand("sepia"), context);
    EXPECT_EQ(asked, 1);
}

TEST(FilterCommands, FeatherRunsOnlyWithAColour) {
    Bitmap picture = Asymmetric(5, 5);
    TRect selection{0, 0, 4, 4};
    FilterContext context{picture, selection};
    EXPECT_THROW(RunFilterCommand(*FindFilterCommand("feather"), context), std::logic_error);
    RunFeather(context, PackColor(1, 2, 3));
    EXPECT_EQ(At(picture, 0, 0), (Rgb{1, 2, 3}));
    EXPECT_EQ(At(picture, 2, 2), At(Asymmetric(5, 5), 2, 2));
}
