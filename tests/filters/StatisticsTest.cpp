#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/Errors.h"
#include "PictureSupport.h"
#include "filters/Statistics.h"

TEST(Statistics, OneRedPixelReport) {
    EXPECT_EQ(StatisticsReport(Filled(1, 1, {255, 0, 0}), "C:\\pics\\red.bmp"),
              "File: C:\\pics\\red.bmp\r\nDimensions: 1 X 1\r\n\r\nOptimized: no\r\n\r\n"
              "R: 255 to 255\r\nG: 0 to 0\r\nB: 0 to 0\r\n\r\nAverage luminance: 33 %");
}

TEST(Statistics, OptimizedAndAverage) {
    Bitmap blackAndWhite = Asymmetric(7, 5);
    Put(blackAndWhite, 6, 0, {0, 0, 0});
    Put(blackAndWhite, 0, 4, {255, 255, 255});
    Bitmap greenShort = Filled(3, 2, {0, 0, 0});
    Put(greenShort, 2, 1, {255, 254, 255});
    const struct {
        Bitmap picture;
        const char* optimized;
        const char* average;
    } cases[] = {
        {blackAndWhite, "Optimized: yes", nullptr},
        {greenShort, "Optimized: no", nullptr},
        {Filled(5, 3, {255, 255, 255}), "Optimized: no", "Average luminance: 100 %"},
        {Filled(5, 3, {0, 0, 0}), "Optimized: no", "Average luminance: 0 %"},
    };
    for (const auto& c : cases) {
        const std::string report = StatisticsReport(c.picture, "a.bmp");
        EXPECT_NE(report.find(std::string("\r\n") + c.optimized + "\r\n"), std::string::npos) << report;
        if (c.average) {
            EXPECT_TRUE(report.ends_with(std::string("\r\n") + c.average)) << report;
        }
    }
}

TEST(Statistics, UnnamedPictureAndRanges) {
    Bitmap picture = Filled(4, 3, {10, 20, 30});
    Put(picture, 3, 2, {200, 5, 31});
    const std::string report = StatisticsReport(picture, "");
    EXPECT_TRUE(report.starts_with("File: \r\nDimensions: 4 X 3\r\n")) << report;
    EXPECT_NE(report.find("R: 10 to 200\r\nG: 5 to 20\r\nB: 30 to 31\r\n"), std::string::npos) << report;
}

TEST(Statistics, LuminanceSumDoesNotOverflow32Bits) {
    // 9,000,000 white pixels: the sum 2,295,000,000 is past the signed 32-bit range.
    EXPECT_TRUE(StatisticsReport(Filled(3000, 3000, {255, 255, 255}), "big.bmp").ends_with("luminance: 100 %"));
}

TEST(Statistics, EmptyPictureIsAnError) { EXPECT_THROW(StatisticsReport(Bitmap(), ""), EInvalidOp); }

// An average exactly halfway goes to the even whole number: on 4 x 2 pixels a luminance sum
// of 51 is 2.5 % (not 3), 255 is 12.5 %, 459 is 22.5 % and 663 is 32.5 %.
TEST(Statistics, AverageHalfwayRoundsToEven) {
    const struct {
        std::vector<int> greys;  // the first pixels' grey levels; the rest are black
        const char* average;
    } cases[] = {
        {{51}, "Average luminance: 2 %"},        {{255}, "Average luminance: 12 %"},
        {{255, 204}, "Average luminance: 22 %"}, {{255, 255, 153}, "Average luminance: 32 %"},
        {{52}, "Average luminance: 3 %"},  // 2.55 %: not a tie
    };
    for (const auto& c : cases) {
        Bitmap picture = Filled(4, 2, {0, 0, 0});
        for (std::size_t i = 0; i < c.greys.size(); ++i) {
            const auto v = std::uint8_t(c.greys[i]);
            Put(picture, int(i % 4), int(i / 4), {v, v, v});
        }
        const std::string report = StatisticsReport(picture, "tie.bmp");
        EXPECT_TRUE(report.ends_with(std::string("\r\n") + c.average)) << report;
    }
}

// Each channel's range against a plain walk, with the extremes at every place of a row: widths
// with and without whole 16-pixel blocks and a tail, and single extreme pixels anywhere.
TEST(Statistics, RangesOfEveryChannelWhereverTheExtremesLie) {
    auto plainRanges = [](const Bitmap& picture) {
        int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x)
                for (int c = 0; c < 3; ++c) {
                    low[c] = std::min<int>(low[c], picture.Pixel(x, y)[c]);
                    high[c] = std::max<int>(high[c], picture.Pixel(x, y)[c]);
                }
        auto line = [&](const char* name, int c) {
            return std::string(name) + ": " + std::to_string(low[c]) + " to " + std::to_string(high[c]) + "\r\n";
        };
        return line("R", 2) + line("G", 1) + line("B", 0);
    };
    std::uint32_t seed = 1;
    for (int width : {1, 15, 16, 17, 32, 33, 50}) {
        for (int height : {1, 3}) {
            const Bitmap random = RandomPicture(width, height, seed++);
            EXPECT_NE(StatisticsReport(random, "").find(plainRanges(random)), std::string::npos) << width;
            // One pixel darker or brighter than the rest in one channel, at each place.
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) {
                    Bitmap picture = Filled(width, height, {100, 100, 100});
                    picture.Pixel(x, height - 1)[c] = std::uint8_t(x % 2 ? 7 : 250);
                    EXPECT_NE(StatisticsReport(picture, "").find(plainRanges(picture)), std::string::npos)
                        << width << " x " << x << " channel " << c;
                }
        }
    }
}
