#pragma once
// Parallel loops over bands of rows (or of any range), on oneTBB. The routines that use them
// give the same result on any number of threads: no two bands write the same bytes, and no band
// reads what another writes.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include <tbb/enumerable_thread_specific.h>

#include "image/Bitmap.h"
#include "image/Progress.h"

// The threads the loops use: CORVALUX_THREADS when it holds a positive number, else one per
// core. The variable is read once, at the first call.
int WorkerThreads();

// For tests and benchmarks, with no loop running: the loops use `threads` threads from now on;
// 0 goes back to WorkerThreads' own answer.
void SetWorkerThreads(int threads);

// A run's progress: units done against a total, reported to a callback from any thread.
class ProgressMeter {
public:
    // A meter without a callback counts nothing and is never cancelled.
    ProgressMeter(const ProgressCallback& callback, std::int64_t total) : callback_(callback), total_(total) {}

    // Adds `units` and reports the new count; false once the run is cancelled.
    bool Advance(std::int64_t units);
    bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
    // Throws ECancelled when the run is cancelled.
    void Check() const;

private:
    const ProgressCallback& callback_;
    const std::int64_t total_;
    std::int64_t done_ = 0;
    std::mutex mutex_;
    std::atomic<bool> cancelled_{false};
};

// One progress over a run of several steps. Step k's own reports, done of total, go on as k
// whole parts plus that share of one part, so the run's done never goes down from one step to
// the next; Finish(k) reports the end of step k (for a step that reported nothing, or not up to
// its total) and throws ECancelled when that report cancels. Without a callback, every step's
// callback is empty too, so the steps run as they do alone.
class StepProgress {
public:
    StepProgress(const ProgressCallback& whole, int steps) : whole_(whole), total_(std::int64_t(steps) * PartUnits) {}
    StepProgress(const StepProgress&) = delete;
    StepProgress& operator=(const StepProgress&) = delete;

    // The callback for step k; it refers to this object, which must outlive the step.
    ProgressCallback Step(int k);
    void Finish(int k);

private:
    static constexpr std::int64_t PartUnits = 1 << 16;
    bool Report(std::int64_t done);
    const ProgressCallback& whole_;
    const std::int64_t total_;
    std::int64_t reported_ = -1;
};

// Calls band(first, last) for the bands [first, last) of [0, count), each `bandSize` long (the
// last one shorter), on WorkerThreads() threads; on one thread in order, on this thread.
//
// A band that throws keeps the bands after it from starting; once the others have finished,
// the exception of the first band that threw is rethrown, so the failure is the one a run in
// order would meet first. With a meter, each finished band advances it by its length times
// `unitsPerItem`; a cancel keeps the remaining bands from starting and ECancelled is thrown.
void ParallelBands(std::int64_t count, std::int64_t bandSize,
                   const std::function<void(std::int64_t first, std::int64_t last)>& band,
                   ProgressMeter* meter = nullptr, std::int64_t unitsPerItem = 1);

// Rows per band for the row loops: small enough for a prompt cancel and an even spread over the
// threads, large enough that a band's start costs little.
constexpr std::int64_t BandRows = 32;

// Rows per band for a pass whose bands each redo some rows of work around them (the
// neighbourhood filters re-read and re-sum `reach` rows on either side). Such bands are made
// large: about eight per thread, so that the redone rows cost little and the threads still
// finish together, yet no more than about two million pixels each, so that a band stays short
// enough for a prompt cancel on any picture; and never below BandRows or 4 x reach.
std::int64_t BandRowsFor(std::int64_t rows, std::int64_t width, std::int64_t reach);

// One T per thread of a run, made on a thread's first use and kept for its later bands: a band's
// large buffers made afresh would be handed back to the kernel and come back as fresh pages, each
// faulted in on first touch, about 4,000 faults in a 24-megapixel Mean, a quarter of its gain
// from a second thread. local() is the calling thread's T.
template <class T>
using PerThread = tbb::enumerable_thread_specific<T>;

// Runs run(Bitmap& target, ProgressMeter* meter) on the picture itself when there is no
// callback (meter null). With one, on a copy that replaces the picture only once the run has
// finished, so that a cancel, which throws ECancelled, leaves the picture as it was.
template <class Run>
void RunCancellable(Bitmap& picture, const ProgressCallback& progress, std::int64_t total, Run run) {
    if (!progress) {
        run(picture, static_cast<ProgressMeter*>(nullptr));
        return;
    }
    ProgressMeter meter(progress, total);
    Bitmap work = picture;
    run(work, &meter);
    meter.Check();
    picture = std::move(work);
}
