// Every Filters menu command with a progress callback: the same result as without one, one
// rising progress over all its steps, and a cancel at any report that leaves the picture and
// the selection as they were.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filters/FilterCommands.h"
#include "filters/Parallel.h"
#include "PictureSupport.h"

namespace {

struct ThreadCount {
    explicit ThreadCount(int threads) { SetWorkerThreads(threads); }
    ~ThreadCount() { SetWorkerThreads(0); }
};

// Runs a command by its table entry, Feather with a fixed colour.
void RunWithProgress(const FilterCommand& command, Bitmap& picture, TRect& selection,
                     const ProgressCallback& progress) {
    FilterContext context{picture, selection, [] { return std::uint32_t(99); }, progress};
    if (command.Kind == CommandKind::Feather)
        RunFeather(context, PackColor(10, 200, 30));
    else
        RunFilterCommand(command, context);
}

// What the reports looked like: every (done, total) pair in order.
struct Reports {
    std::vector<std::pair<std::int64_t, std::int64_t>> seen;
    ProgressCallback Recorder(int cancelAt = -1) {
        return {[this, cancelAt](std::int64_t done, std::int64_t total) {
            seen.emplace_back(done, total);
            return int(seen.size()) != cancelAt;
        }};
    }
    // "" when done never goes down, the total never changes, and the last report is the total.
    std::string Fault() const {
        if (seen.empty()) return "no report";
        for (std::size_t i = 1; i < seen.size(); ++i) {
            if (seen[i].first < seen[i - 1].first) return "done went down at report " + std::to_string(i);
            if (seen[i].second != seen[0].second) return "total changed at report " + std::to_string(i);
        }
        if (seen.back().first != seen.back().second) return "ended at " + std::to_string(seen.back().first);
        return "";
    }
};

// Inside the picture, and partly outside it (the region-copy path).
const TRect Selections[] = {{0, 0, 70, 149}, {5, -9, 80, 120}};

TEST(CommandProgress, ResultEqualsTheRunWithoutCallbackAndProgressRisesToTheTotal) {
    const Bitmap picture = RandomPicture(71, 150, 5);
    for (int threads : {1, 2}) {
        ThreadCount count(threads);
        for (const FilterCommand& command : FilterCommands())
            for (const TRect& selection : Selections) {
                Bitmap plain = picture, reported = picture;
                TRect plainSelection = selection, reportedSelection = selection;
                RunWithProgress(command, plain, plainSelection, {});
                Reports reports;
                RunWithProgress(command, reported, reportedSelection, reports.Recorder());
                const std::string where = std::string(command.Name) + " on " + std::to_string(threads) + " threads";
                EXPECT_EQ(FirstDifference(plain, reported), "") << where;
                EXPECT_EQ(reportedSelection, plainSelection) << where;
                EXPECT_EQ(reports.Fault(), "") << where;
                // More than a start and an end: the bands of each step are heard.
                EXPECT_GE(reports.seen.size(), 3u * std::max<std::size_t>(command.Steps.size(), 1)) << where;
            }
    }
}

TEST(CommandProgress, CancelAtAnyReportLeavesThePictureAndSelection) {
    const Bitmap picture = RandomPicture(71, 150, 6);
    ThreadCount count(2);
    for (const FilterCommand& command : FilterCommands()) {
        Reports all;
        Bitmap scratch = picture;
        TRect scratchSelection = Selections[1];
        RunWithProgress(command, scratch, scratchSelection, all.Recorder());
        // The first report, one in a later step, and the last one.
        for (int cancelAt : {1, int(all.seen.size()) / 2 + 1, int(all.seen.size())}) {
            Bitmap cancelled = picture;
            TRect selection = Selections[1];
            Reports reports;
            EXPECT_THROW(RunWithProgress(command, cancelled, selection, reports.Recorder(cancelAt)), ECancelled)
                << command.Name << " cancelled at report " << cancelAt;
            EXPECT_EQ(FirstDifference(picture, cancelled), "") << command.Name << " at report " << cancelAt;
            EXPECT_EQ(selection, Selections[1]) << command.Name << " at report " << cancelAt;
            EXPECT_EQ(int(reports.seen.size()), cancelAt) << command.Name << ": a report after the cancel";
        }
    }
}

// A selection wholly outside the picture still ends at the total, and an empty callback runs as
// a plain call.
TEST(CommandProgress, NothingVisibleStillEndsAtTheTotal) {
    for (const char* name : {"sepia", "mean-value", "early-20th-century", "noise-add", "optimize"}) {
        Bitmap picture = RandomPicture(20, 20, 1);
        const Bitmap before = picture;
        TRect selection{40, 40, 60, 60};
        Reports reports;
        RunWithProgress(*FindFilterCommand(name), picture, selection, reports.Recorder());
        EXPECT_EQ(reports.Fault(), "") << name;
        EXPECT_EQ(FirstDifference(before, picture), "") << name;
    }
}

}  // namespace
