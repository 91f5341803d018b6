// The custom filter on a 24-megapixel photo-like picture (6000 x 4000), whole picture
// selected, and the plain per-pixel rule on a small part of it for comparison.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "CustomFilter.h"

namespace {
constexpr int Width = 6000, Height = 4000;

// Smooth gradients and broad waves with a little noise: about as many distinct colours as a
// photo has, which is what the remembered results are keyed by.
const Bitmap& Photo() {
    static const Bitmap picture = [] {
        Bitmap p(Width, Height);
        std::uint32_t seed = 0x12345678;
        for (int y = 0; y < Height; ++y) {
            std::uint8_t* q = p.Row(y);
            const double wave = std::sin(y * 0.004);
            for (int x = 0; x < Width; ++x, q += 3) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = int(seed >> 28) - 8;
                const double shade = 60 * std::sin(x * 0.003 + wave) * std::cos(y * 0.002);
                auto channel = [&](double base) {
                    const int v = int(base + shade) + noise;
                    return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
                };
                q[0] = channel(40 + 150.0 * y / Height);
                q[1] = channel(90 + 80.0 * x / Width);
                q[2] = channel(200 - 120.0 * x / Width);
            }
        }
        return p;
    }();
    return picture;
}

template <class Run>
void Custom(benchmark::State& state, Run run, TRect selection, const TFilterFormulas& formulas) {
    Bitmap picture = Photo();
    for (auto _ : state) {
        state.PauseTiming();
        picture = Photo();
        state.ResumeTiming();
        run(picture, selection, formulas);
        benchmark::DoNotOptimize(picture.Row(0));
    }
    state.SetItemsProcessed(state.iterations() * selection.Width() * selection.Height());
}

const TRect Whole{0, 0, Width - 1, Height - 1};
const TRect Small{1000, 1000, 1099, 1099};  // 10,000 pixels
const TFilterFormulas Invert{"255-R1", "255-G1", "255-B1"};
const TFilterFormulas Mixed{"255-R1", "(R1+G1+B1)/3", "SQRT(B1)*16"};
const TFilterFormulas AllThree{"(R1+G1+B1)/3", "(R1*2+G1)/3", "(B1+G1)/2"};
}  // namespace

BENCHMARK_CAPTURE(Custom, Invert, &CustomFilter, Whole, Invert)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Custom, Mixed, &CustomFilter, Whole, Mixed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Custom, AllThreeChannels, &CustomFilter, Whole, AllThree)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Custom, PlainMixed10k, &PlainCustomFilter, Small, Mixed)->Unit(benchmark::kMillisecond)->UseRealTime();
