// The custom filter on a 24-megapixel photo-like picture (6000 x 4000), whole picture
// selected, and the plain per-pixel rule on a small part of it for comparison.
#include <benchmark/benchmark.h>

#include "BenchPictures.h"

#include <cstdint>

#include "custom/CustomFilter.h"

namespace {
template <class Run>
void Custom(benchmark::State& state, Run run, TRect selection, const TFilterFormulas& formulas) {
    Bitmap picture = PhotoLike24M();
    for (auto _ : state) {
        state.PauseTiming();
        picture = PhotoLike24M();
        state.ResumeTiming();
        run(picture, selection, formulas);
        benchmark::DoNotOptimize(picture.Row(0));
    }
    state.SetItemsProcessed(state.iterations() * selection.Width() * selection.Height());
}

const TRect Whole{0, 0, BenchWidth - 1, BenchHeight - 1};
const TRect Small{1000, 1000, 1099, 1099};  // 10,000 pixels
const TFilterFormulas Invert{"255-R1", "255-G1", "255-B1"};
const TFilterFormulas Mixed{"255-R1", "(R1+G1+B1)/3", "SQRT(B1)*16"};
const TFilterFormulas AllThree{"(R1+G1+B1)/3", "(R1*2+G1)/3", "(B1+G1)/2"};
}  // namespace

// CustomFilter and its plain rule without their progress arguments.
static void Compiled(Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas) {
    CustomFilter(picture, selection, formulas);
}
static void Plain(Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas) {
    PlainCustomFilter(picture, selection, formulas);
}

BENCHMARK_CAPTURE(Custom, Invert, &Compiled, Whole, Invert)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Custom, Mixed, &Compiled, Whole, Mixed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Custom, AllThreeChannels, &Compiled, Whole, AllThree)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Custom, PlainMixed10k, &Plain, Small, Mixed)->Unit(benchmark::kMillisecond)->UseRealTime();
