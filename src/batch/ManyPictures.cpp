#include "batch/ManyPictures.h"

#include <tbb/global_control.h>
#include <tbb/info.h>
#include <tbb/parallel_pipeline.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <ostream>

#include "batch/PictureJobs.h"
#include "batch/ProgressLine.h"
#include "batch/StandardOutput.h"

namespace {
// What the pictures running at once share: the streams, under one lock, and the counts.
class TRunReport {
public:
    TRunReport(std::ostream& err, bool progress, std::size_t total)
        : err_(err), line_(err), progress_(progress), total_(total) {
        Show();
    }
    std::mutex& Lock() { return lock_; }

    void Warn(const std::string& file, const MetadataWarnings& warnings) {
        const std::lock_guard hold(lock_);
        line_.End();
        PrintWarnings(err_, file, warnings);
    }
    void Finished(const std::string& input, const std::string& failure) {
        const std::lock_guard hold(lock_);
        ++done_;
        if (!failure.empty()) {
            ++failed_;
            line_.End();
            err_ << "corvalux-batch: " << input << ": " << failure << "\n";
        }
        Show();
    }
    // The count of failures, said when there are any.
    std::size_t End() {
        line_.End();
        if (failed_) err_ << "corvalux-batch: " << failed_ << " of " << total_ << " pictures failed\n";
        err_.flush();
        return failed_;
    }

private:
    void Show() {
        if (!progress_) return;
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start_;
        line_.ShowCount(std::int64_t(done_), std::int64_t(total_), seconds.count());
    }
    std::ostream& err_;
    TProgressLine line_;
    const bool progress_;
    const std::size_t total_;
    std::size_t done_ = 0, failed_ = 0;
    std::mutex lock_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::vector<std::string> Inputs(const TCommandLine& line, std::istream& in) {
    std::vector<std::string> inputs = line.Inputs;
    for (const std::string& list : line.Lists) {
        std::vector<std::string> named = ReadInputList(list, in);
        inputs.insert(inputs.end(), std::make_move_iterator(named.begin()), std::make_move_iterator(named.end()));
    }
    return inputs;
}

// Runs run(k) for each job, `jobs` at a time at most: the pipeline's tokens bound the pictures
// in memory. The filters' own loops share the same threads, whose number the global limit
// raises only when more pictures than cores are asked for.
template <class Run>
void RunSideBySide(std::size_t count, int jobs, const Run& run) {
    const int cores = std::max(1, tbb::info::default_concurrency());
    const tbb::global_control threads(tbb::global_control::max_allowed_parallelism, std::size_t(std::max(jobs, cores)));
    tbb::task_arena arena(jobs);
    std::size_t next = 0;
    arena.execute([&] {
        tbb::parallel_pipeline(
            std::size_t(jobs),
            tbb::make_filter<void, std::size_t>(tbb::filter_mode::serial_in_order,
                                                [&](tbb::flow_control& control) {
                                                    if (next == count) control.stop();
                                                    return next++;
                                                }) &
                tbb::make_filter<std::size_t, void>(tbb::filter_mode::parallel, run));
    });
}
}  // namespace

int RunManyPictures(const TCommandLine& line, const std::vector<TBatchStep>& steps, std::istream& in,
                    std::ostream& out, std::ostream& err) {
    TJobPlan plan;
    try {
        plan = PlanJobs(Inputs(line, in), line.Folder, line.Format);
        if (!plan.Problems.empty()) {
            for (const std::string& problem : plan.Problems) err << "corvalux-batch: " << problem << "\n";
            return 2;
        }
    } catch (...) {
        err << "corvalux-batch: " << FailureMessage(std::current_exception()) << "\n";
        return 1;
    }
    std::error_code made;
    std::filesystem::create_directories(line.Folder, made);
    if (made) {
        err << "corvalux-batch: " << line.Folder << ": " << made.message() << "\n";
        return 1;
    }
    const TRunSettings settings{line.Seed, line.KeepOrientation ? OrientationRule::AsStored : OrientationRule::Upright,
                                line.CameraWarmup};
    TRunReport report(err, line.Progress, plan.Jobs.size());
    const auto warn = [&](const std::string& file, const MetadataWarnings& warnings) { report.Warn(file, warnings); };
    const int jobs = line.Jobs > 0 ? line.Jobs : std::max(1, tbb::info::default_concurrency());
    RunSideBySide(plan.Jobs.size(), jobs, [&](std::size_t k) {
        const TPictureJob& job = plan.Jobs[k];
        std::string failure;
        try {
            TSharedOutputBuffer buffer(out, report.Lock());
            std::ostream pictureOut(&buffer);
            RunPicture(job, steps, settings, pictureOut, warn);
        } catch (...) {
            failure = FailureMessage(std::current_exception());
        }
        report.Finished(job.Input, failure);
    });
    return report.End() ? 1 : 0;
}
