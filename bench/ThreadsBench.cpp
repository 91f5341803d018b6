// The routines that run in bands, on 1 and 2 threads (the argument), on a 24-megapixel picture:
// the speed-up of their own pass.
#include <benchmark/benchmark.h>

#include "BenchPictures.h"
#include "custom/CustomFilter.h"
#include "filters/Feather.h"
#include "geometry/Geometry.h"
#include "filters/Neighbourhood.h"
#include "filters/Parallel.h"

namespace {
template <class Routine>
void Threaded(benchmark::State& state, Routine routine) {
    SetWorkerThreads(int(state.range(0)));
    Bitmap picture = PhotoLike24M();
    const TRect whole{0, 0, BenchWidth - 1, BenchHeight - 1};
    for (auto _ : state) {
        state.PauseTiming();
        picture = PhotoLike24M();
        state.ResumeTiming();
        routine(picture, whole);
        benchmark::DoNotOptimize(picture.Row(0));
    }
    SetWorkerThreads(0);
    state.SetItemsProcessed(state.iterations() * std::int64_t(BenchWidth) * BenchHeight);
}

const TFilterFormulas Mixed{"255-R1", "(R1+G1+B1)/3", "SQRT(B1)*16"};
const TFilterFormulas Gray{"(R1+G1+B1)/3", "(R1+G1+B1)/3", "(R1+G1+B1)/3"};
}  // namespace

#define THREADS_BENCH(name, call)                                                            \
    BENCHMARK_CAPTURE(Threaded, name, [](Bitmap& picture, const TRect& selection) { call; }) \
        ->Arg(1)                                                                             \
        ->Arg(2)                                                                             \
        ->Unit(benchmark::kMillisecond)                                                      \
        ->UseRealTime()                                                                      \
        ->MinTime(0.5)                                                                       \
        ->MinWarmUpTime(0.3);

THREADS_BENCH(Mean1, Mean(picture, selection, 1))
THREADS_BENCH(Mean5, Mean(picture, selection, 5))
THREADS_BENCH(Mean20, Mean(picture, selection, 20))
THREADS_BENCH(SharpnessIncrease, Sharpness(picture, selection, SharpnessStep::Increase))
THREADS_BENCH(FindEdges, FindEdges(picture, selection))
THREADS_BENCH(Feather, Feather(picture, selection, PackColor(200, 100, 0)))
THREADS_BENCH(ResizeDouble, benchmark::DoNotOptimize(ResizeNearest(picture, 12000, 8000)))
THREADS_BENCH(ResizeHalf, benchmark::DoNotOptimize(ResizeNearest(picture, 3000, 2000)))
THREADS_BENCH(RotateRight, benchmark::DoNotOptimize(RotatePicture(picture, TurnDirection::Right)))
THREADS_BENCH(CustomMixed, CustomFilter(picture, selection, Mixed))
THREADS_BENCH(CustomGray, CustomFilter(picture, selection, Gray))
