// Every routine that runs in bands against its one-thread run, on random pictures and
// selections, and the progress and cancel of the long ones.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "filters/Feather.h"
#include "filters/Neighbourhood.h"
#include "filters/Noise.h"
#include "filters/Parallel.h"
#include "PictureSupport.h"
#include "filters/PointFilters.h"
#include "filters/Symmetry.h"
#include "filters/ToneFilters.h"

namespace {

struct ThreadCount {
    explicit ThreadCount(int threads) { SetWorkerThreads(threads); }
    ~ThreadCount() { SetWorkerThreads(0); }
};

using Routine = std::function<void(Bitmap&, TRect&, const ProgressCallback&)>;
struct Case {
    const char* name;
    Routine run;
};

const Case Cases[] = {
    {"Mean 0", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Mean(p, s, 0, c); }},
    {"Mean 1", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Mean(p, s, 1, c); }},
    {"Mean 5", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Mean(p, s, 5, c); }},
    {"Mean 9", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Mean(p, s, 9, c); }},    // 32-bit window sums
    {"Mean 40", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Mean(p, s, 40, c); }},  // window past the picture
    {"Mean 130", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Mean(p, s, 130, c); }},  // 32-bit column sums
    {"Mean -1", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Mean(p, s, -1, c); }},
    {"Sharpness +",
     [](Bitmap& p, TRect& s, const ProgressCallback& c) { Sharpness(p, s, SharpnessStep::Increase, c); }},
    {"Sharpness -",
     [](Bitmap& p, TRect& s, const ProgressCallback& c) { Sharpness(p, s, SharpnessStep::Decrease, c); }},
    {"FindEdges", [](Bitmap& p, TRect& s, const ProgressCallback& c) { FindEdges(p, s, c); }},
    {"Feather", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Feather(p, s, PackColor(200, 40, 9), c); }},
    {"Mirror H", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Mirror(p, s, MirrorAxis::Horizontal, c); }},
    {"Mirror V", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Mirror(p, s, MirrorAxis::Vertical, c); }},
    {"Reflection H",
     [](Bitmap& p, TRect& s, const ProgressCallback& c) { Reflection(p, s, MirrorAxis::Horizontal, c); }},
    {"Reflection V", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Reflection(p, s, MirrorAxis::Vertical, c); }},
    // The point and tone rules walk the selection in bands too; Optimize measures per band.
    {"Optimize", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Optimize(p, s, c); }},
    {"Logaritmize",
     [](Bitmap& p, TRect& s, const ProgressCallback& c) { Logaritmize(p, s, ChannelSelector::Green, c); }},
    {"Contrast", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Contrast(p, s, ContrastStep::Increase, c); }},
    {"AdjustChannels", [](Bitmap& p, TRect& s, const ProgressCallback& c) { AdjustChannels(p, s, 40, -3, 0, c); }},
    {"Grayscale", [](Bitmap& p, TRect& s, const ProgressCallback& c) { Grayscale(p, s, c); }},
    {"AddNoise", [](Bitmap& p, TRect& s, const ProgressCallback& c) { AddNoise(p, s, 25, 77, c); }},
};

// Inside, touching the edges, partly outside, and thinner than a window.
const TRect Selections[] = {{0, 0, 96, 170}, {3, 7, 90, 150}, {-4, 60, 120, 190}, {10, -5, 11, 100}, {2, 40, 80, 41}};

// Any number of threads, and bands run one after another for a progress callback, give the
// result of one thread without a callback (the whole selection as one band).
TEST(ParallelBands, EveryRoutineEqualsItsOneThreadRun) {
    const Bitmap picture = RandomPicture(97, 171, 77);
    for (const Case& c : Cases)
        for (const TRect& selection : Selections) {
            Bitmap one = picture;
            TRect oneSelection = selection;
            {
                ThreadCount threads(1);
                c.run(one, oneSelection, {});
            }
            const ProgressCallback keepGoing{[](std::int64_t, std::int64_t) { return true; }};
            for (int threads : {1, 2, 3})
                for (const ProgressCallback* callback : {static_cast<const ProgressCallback*>(nullptr), &keepGoing}) {
                    ThreadCount count(threads);
                    Bitmap many = picture;
                    TRect manySelection = selection;
                    c.run(many, manySelection, callback ? *callback : ProgressCallback{});
                    EXPECT_EQ(FirstDifference(one, many), "")
                        << c.name << " on " << threads << " threads" << (callback ? " with progress" : "")
                        << ", selection " << selection.Left << "," << selection.Top;
                    EXPECT_EQ(manySelection, oneSelection);
                }
        }
}

// AddNoise stays one sequence of draws: the same picture on any number of threads.
TEST(ParallelBands, AddNoiseIsTheSameOnEveryThreadCount) {
    const Bitmap picture = RandomPicture(60, 90, 3);
    Bitmap one = picture, many = picture;
    {
        ThreadCount threads(1);
        AddNoise(one, {-2, 3, 50, 80}, 25, 4242);
    }
    ThreadCount threads(2);
    AddNoise(many, {-2, 3, 50, 80}, 25, 4242);
    EXPECT_EQ(FirstDifference(one, many), "");
}

// The long routines report rising progress up to the total, and a cancel stops them with the
// picture as it was, with no report after it.
TEST(ParallelBands, ProgressRisesAndCancelLeavesThePicture) {
    const Bitmap picture = RandomPicture(80, 300, 12);
    for (int threads : {1, 2}) {
        ThreadCount count(threads);
        for (const Case& c : Cases) {
            const std::string name = c.name;
            if (name == "Mean -1") continue;   // a quick fill without bands to report
            if (name == "Mean 130") continue;  // bands of 4 x 130 rows: one band, one report
            const TRect selection{0, 0, 79, 299};
            std::int64_t last = -1, total = 0;
            bool rising = true;
            Bitmap done = picture;
            TRect s = selection;
            c.run(done, s, {[&](std::int64_t d, std::int64_t t) {
                      rising = rising && d > last;
                      last = d, total = t;
                      return true;
                  }});
            EXPECT_TRUE(rising) << c.name;
            EXPECT_EQ(last, total) << c.name;

            Bitmap cancelled = picture;
            int reports = 0;
            s = selection;
            EXPECT_THROW(c.run(cancelled, s, {[&](std::int64_t, std::int64_t) { return ++reports < 2; }}), ECancelled)
                << c.name;
            EXPECT_EQ(reports, 2) << c.name;
            EXPECT_EQ(FirstDifference(picture, cancelled), "") << c.name;
        }
    }
}

TEST(ParallelBands, FirstFailingBandsErrorIsRethrown) {
    for (int threads : {1, 2}) {
        ThreadCount count(threads);
        std::vector<int> ran(40, 0);
        try {
            ParallelBands(400, 10, [&](std::int64_t first, std::int64_t) {
                ran[std::size_t(first / 10)] = 1;
                if (first >= 150) throw std::runtime_error(std::to_string(first));
            });
            FAIL() << "nothing thrown";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "150");
        }
        for (int k = 0; k <= 15; ++k) EXPECT_EQ(ran[std::size_t(k)], 1) << k;  // every band before it ran
    }
}

}  // namespace
