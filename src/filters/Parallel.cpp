#include "filters/Parallel.h"

#include <tbb/blocked_range.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <limits>
#include <string>
#include <vector>

namespace {
std::atomic<int> threadsOverride{0};

int ThreadsFromEnvironment() {
    if (const char* text = std::getenv("CORVALUX_THREADS")) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && value > 0) return int(std::min<long>(value, 1024));
    }
    return std::max(1, tbb::this_task_arena::max_concurrency());
}
}  // namespace

int WorkerThreads() {
    static const int fromEnvironment = ThreadsFromEnvironment();
    const int chosen = threadsOverride.load(std::memory_order_relaxed);
    return chosen > 0 ? chosen : fromEnvironment;
}

void SetWorkerThreads(int threads) { threadsOverride.store(std::max(threads, 0), std::memory_order_relaxed); }

bool ProgressMeter::Advance(std::int64_t units) {
    if (!callback_) return true;
    std::lock_guard lock(mutex_);
    if (cancelled_.load(std::memory_order_relaxed)) return false;
    done_ = std::min(done_ + units, total_);
    if (!callback_.Report(done_, total_)) cancelled_.store(true, std::memory_order_relaxed);
    return !cancelled_.load(std::memory_order_relaxed);
}

void ProgressMeter::Check() const {
    if (Cancelled()) throw ECancelled();
}

bool StepProgress::Report(std::int64_t done) {
    reported_ = done;
    return whole_.Report(done, total_);
}

ProgressCallback StepProgress::Step(int k) {
    if (!whole_) return {};
    return {[this, k](std::int64_t done, std::int64_t total) {
        const std::int64_t share = total > 0 ? std::min(done, total) * PartUnits / total : PartUnits;
        return Report(std::max(reported_, k * PartUnits + share));
    }};
}

void StepProgress::Finish(int k) {
    if (whole_ && reported_ < (k + 1) * PartUnits && !Report((k + 1) * PartUnits)) throw ECancelled();
}

std::int64_t BandRowsFor(std::int64_t rows, std::int64_t width, std::int64_t reach) {
    constexpr std::int64_t BandPixels = 2'000'000;
    const std::int64_t spread = (rows + 8 * WorkerThreads() - 1) / (8 * WorkerThreads());
    const std::int64_t shortEnough = BandPixels / std::max<std::int64_t>(width, 1);
    return std::max({std::min(spread, shortEnough), BandRows, 4 * reach});
}

void ParallelBands(std::int64_t count, std::int64_t bandSize,
                   const std::function<void(std::int64_t, std::int64_t)>& band, ProgressMeter* meter,
                   std::int64_t unitsPerItem) {
    if (count <= 0) return;
    bandSize = std::max<std::int64_t>(bandSize, 1);
    const std::int64_t bands = (count + bandSize - 1) / bandSize;
    auto runBand = [&](std::int64_t k) {
        const std::int64_t first = k * bandSize, last = std::min(count, first + bandSize);
        band(first, last);
        if (meter) meter->Advance((last - first) * unitsPerItem);
    };

    const int threads = WorkerThreads();
    if (threads == 1 || bands == 1) {
        for (std::int64_t k = 0; k < bands; ++k) {
            if (meter) meter->Check();
            runBand(k);
        }
        if (meter) meter->Check();
        return;
    }

    constexpr std::int64_t None = std::numeric_limits<std::int64_t>::max();
    std::atomic<std::int64_t> firstFailed{None};
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(bands));
    // More threads than cores would only take turns; oneTBB refuses them anyway.
    tbb::task_arena arena(std::min(threads, std::max(1, tbb::info::default_concurrency())));
    arena.execute([&] {
        tbb::parallel_for(
            tbb::blocked_range<std::int64_t>(0, bands, 1),
            [&](const tbb::blocked_range<std::int64_t>& range) {
                for (std::int64_t k = range.begin(); k != range.end(); ++k) {
                    // Bands before a failed one still run: one of them may fail first.
                    if (k > firstFailed.load(std::memory_order_relaxed) || (meter && meter->Cancelled())) return;
                    try {
                        runBand(k);
                    } catch (...) {
                        failures[std::size_t(k)] = std::current_exception();
                        std::int64_t seen = firstFailed.load();
                        while (k < seen && !firstFailed.compare_exchange_weak(seen, k)) {
                        }
                    }
                }
            },
            tbb::simple_partitioner());
    });
    if (const std::int64_t k = firstFailed.load(); k != None) std::rethrow_exception(failures[std::size_t(k)]);
    if (meter) meter->Check();
}
