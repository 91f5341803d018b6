// When the progress window shows: after the delay, unless the work's own progress says it is
// about to end, so that it never flashes up for a moment.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/LongCommand.h"

TEST(LongCommand, TheDialogShowsOnlyForWorkLikelyToGoOn) {
    const struct {
        const char* Name;
        int PermilleDone;  // reported at once, then the work takes a while longer
        bool Shown;
    } cases[] = {{"nearly done", 995, false}, {"a tenth done", 100, true}, {"no report", 0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TLongCommandOptions options;
        options.DialogDelay = 50;
        bool shown = false;
        options.OnDialogShown = [&](QWidget&) { shown = true; };
        RunLongCommand(nullptr, options, [&](const ProgressCallback& progress) {
            if (c.PermilleDone > 0) progress.Report(c.PermilleDone, 1000);
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        });
        EXPECT_EQ(shown, c.Shown);
    }
}
