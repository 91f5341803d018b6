// Every filter routine on a 24-megapixel picture (6000 x 4000), whole picture selected.
// Each iteration copies the source back first (paused), so every pass sees the same pixels.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "BenchPictures.h"
#include "filters/Feather.h"
#include "filters/FilterFrame.h"
#include "filters/Neighbourhood.h"
#include "filters/Noise.h"
#include "filters/PointFilters.h"
#include "filters/Statistics.h"
#include "filters/Symmetry.h"
#include "filters/ToneFilters.h"

namespace {
const Bitmap& Source() { return Random24M(); }

template <class Routine>
void Run(benchmark::State& state, Routine routine) {
    Bitmap picture = Source();
    for (auto _ : state) {
        state.PauseTiming();
        picture = Source();
        TRect selection{0, 0, picture.Width() - 1, picture.Height() - 1};
        state.ResumeTiming();
        routine(picture, selection);
        benchmark::DoNotOptimize(picture.Row(0));
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(picture.Width()) * picture.Height());
}
}  // namespace

#define FILTER_BENCH(name, call)                                                      \
    static void name(benchmark::State& state) {                                       \
        Run(state, [](Bitmap& picture, [[maybe_unused]] TRect& selection) { call; }); \
    }                                                                                 \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5);

FILTER_BENCH(BM_AdjustChannels, AdjustChannels(picture, selection, 25, 25, 25))
FILTER_BENCH(BM_BlackAndWhite, BlackAndWhite(picture, selection))
FILTER_BENCH(BM_Grayscale, Grayscale(picture, selection))
FILTER_BENCH(BM_InvertAll, Invert(picture, selection, ChannelSelector::All))
FILTER_BENCH(BM_SwapChannels, SwapChannels(picture, selection))
// Invert's rule through its tables alone, a look-up per byte: what the byte-vector blocks of
// ApplyVectorRule save.
FILTER_BENCH(BM_InvertByTables, ApplyChannelTables(picture, selection, TablesOf([](Bytes16 v, int) { return ~v; })))
FILTER_BENCH(BM_ContrastIncrease, Contrast(picture, selection, ContrastStep::Increase))
FILTER_BENCH(BM_LogaritmizeAll, Logaritmize(picture, selection, ChannelSelector::All))
FILTER_BENCH(BM_Optimize, Optimize(picture, selection))
FILTER_BENCH(BM_Mean1, Mean(picture, selection, 1))
FILTER_BENCH(BM_Mean5, Mean(picture, selection, 5))
FILTER_BENCH(BM_AddNoise, AddNoise(picture, selection, 25, 12345))
FILTER_BENCH(BM_SharpnessIncrease, Sharpness(picture, selection, SharpnessStep::Increase))
FILTER_BENCH(BM_FindEdges, FindEdges(picture, selection))
FILTER_BENCH(BM_MirrorHorizontal, Mirror(picture, selection, MirrorAxis::Horizontal))
FILTER_BENCH(BM_MirrorVertical, Mirror(picture, selection, MirrorAxis::Vertical))
FILTER_BENCH(BM_ReflectionHorizontal, Reflection(picture, selection, MirrorAxis::Horizontal))
FILTER_BENCH(BM_ReflectionVertical, Reflection(picture, selection, MirrorAxis::Vertical))
FILTER_BENCH(BM_Feather, Feather(picture, selection, PackColor(200, 100, 0)))
FILTER_BENCH(BM_Statistics, benchmark::DoNotOptimize(StatisticsReport(picture, "bench.bmp")))
