// Resize and the turns in bands against their one-thread run, and the progress and cancel of
// the Deform commands.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "geometry/Geometry.h"
#include "geometry/GeometryCommands.h"
#include "filters/Parallel.h"

namespace {

struct ThreadCount {
    explicit ThreadCount(int threads) { SetWorkerThreads(threads); }
    ~ThreadCount() { SetWorkerThreads(0); }
};

Bitmap Random(int width, int height, std::uint32_t seed) {
    Bitmap picture(width, height);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (std::size_t i = 0; i < picture.RowBytes(); ++i) picture.Row(y)[i] = std::uint8_t(random());
    return picture;
}

TEST(GeometryBands, ResizeAndTurnsEqualTheirOneThreadRun) {
    struct Size {
        int width, height;
    };
    const Size sources[] = {{131, 97}, {1, 300}, {300, 1}, {65, 200}};
    const Size targets[] = {{40, 33}, {262, 291}, {131, 97}, {1, 1}, {500, 70}};
    for (const Size& from : sources) {
        const Bitmap picture = Random(from.width, from.height, std::uint32_t(from.width * 7 + from.height));
        Bitmap oneLeft, oneRight;
        std::vector<Bitmap> oneResized;
        {
            ThreadCount threads(1);
            oneLeft = RotatePicture(picture, TurnDirection::Left);
            oneRight = RotatePicture(picture, TurnDirection::Right);
            for (const Size& to : targets) oneResized.push_back(ResizeNearest(picture, to.width, to.height));
        }
        const ProgressCallback keepGoing{[](std::int64_t, std::int64_t) { return true; }};
        for (int n : {2, 3}) {
            ThreadCount threads(n);
            EXPECT_EQ(RotatePicture(picture, TurnDirection::Left), oneLeft) << from.width << "x" << from.height;
            EXPECT_EQ(RotatePicture(picture, TurnDirection::Right), oneRight) << from.width << "x" << from.height;
            for (std::size_t i = 0; i < std::size(targets); ++i) {
                EXPECT_EQ(ResizeNearest(picture, targets[i].width, targets[i].height), oneResized[i]);
                EXPECT_EQ(ResizeNearest(picture, targets[i].width, targets[i].height, keepGoing), oneResized[i]);
            }
        }
    }
}

TEST(GeometryBands, ResizeReportsProgressAndCancels) {
    const Bitmap picture = Random(120, 90, 1);
    for (int n : {1, 2}) {
        ThreadCount threads(n);
        std::int64_t last = -1, total = 0;
        bool rising = true;
        ResizeNearest(picture, 300, 400, {[&](std::int64_t done, std::int64_t all) {
                          rising = rising && done > last;
                          last = done, total = all;
                          return true;
                      }});
        EXPECT_TRUE(rising);
        EXPECT_EQ(total, 400);
        EXPECT_EQ(last, 400);
        int reports = 0;
        EXPECT_THROW(ResizeNearest(picture, 300, 400, {[&](std::int64_t, std::int64_t) { return ++reports < 3; }}),
                     ECancelled);
        EXPECT_EQ(reports, 3);
    }
}

// The Deform commands with a callback: the result of the plain call with progress rising to
// its total (one progress over resize and its smoothing), and a cancel at any report leaves
// the picture and the selection as they were.
TEST(GeometryBands, DeformCommandsReportOneProgressAndCancelCleanly) {
    const Bitmap picture = Random(90, 70, 4);
    using Command = std::function<void(Bitmap&, TRect&, const ProgressCallback&)>;
    const struct {
        const char* name;
        Command run;
    } commands[] = {
        {"crop", [](Bitmap& p, TRect& s, const ProgressCallback& c) { CropCommand(p, s, c); }},
        {"left", [](Bitmap& p, TRect& s, const ProgressCallback& c) { RotateCommand(p, s, TurnDirection::Left, c); }},
        {"right", [](Bitmap& p, TRect& s, const ProgressCallback& c) { RotateCommand(p, s, TurnDirection::Right, c); }},
        {"resize smoothed",
         [](Bitmap& p, TRect& s, const ProgressCallback& c) {
             ResizeCommand(p, s, 200, 150, Interpolation::Pseudo, {90, 70}, c);
         }},
        {"resize plain",
         [](Bitmap& p, TRect& s, const ProgressCallback& c) {
             ResizeCommand(p, s, 30, 20, Interpolation::None, {90, 70}, c);
         }},
    };
    const TRect selection{10, -5, 60, 50};
    for (int n : {1, 2}) {
        ThreadCount threads(n);
        for (const auto& command : commands) {
            Bitmap plain = picture, reported = picture;
            TRect plainSelection = selection, reportedSelection = selection;
            command.run(plain, plainSelection, {});
            std::vector<std::pair<std::int64_t, std::int64_t>> seen;
            command.run(reported, reportedSelection, {[&](std::int64_t done, std::int64_t total) {
                            seen.emplace_back(done, total);
                            return true;
                        }});
            EXPECT_EQ(reported, plain) << command.name;
            EXPECT_EQ(reportedSelection, plainSelection) << command.name;
            ASSERT_FALSE(seen.empty()) << command.name;
            for (std::size_t i = 1; i < seen.size(); ++i) {
                EXPECT_GE(seen[i].first, seen[i - 1].first) << command.name;
                EXPECT_EQ(seen[i].second, seen[0].second) << command.name;
            }
            EXPECT_EQ(seen.back().first, seen.back().second) << command.name;

            for (std::size_t cancelAt : {std::size_t(1), seen.size() / 2 + 1, seen.size()}) {
                Bitmap cancelled = picture;
                TRect cancelledSelection = selection;
                std::size_t reports = 0;
                EXPECT_THROW(command.run(cancelled, cancelledSelection,
                                         {[&](std::int64_t, std::int64_t) { return ++reports != cancelAt; }}),
                             ECancelled)
                    << command.name << " at " << cancelAt;
                EXPECT_EQ(cancelled, picture) << command.name << " at " << cancelAt;
                EXPECT_EQ(cancelledSelection, selection) << command.name << " at " << cancelAt;
            }
        }
    }
}

}  // namespace
