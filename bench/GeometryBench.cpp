// Quarter turns, crop and nearest-pixel resize of a 24-megapixel picture.
#include <benchmark/benchmark.h>

#include "Geometry.h"
#include "GeometryCommands.h"

namespace {
const Bitmap& Picture24M() {
    static const Bitmap picture = [] {
        Bitmap b(6000, 4000);
        for (int y = 0; y < b.Height(); ++y) {
            std::uint8_t* p = b.Row(y);
            for (int x = 0; x < b.Width(); ++x, p += 3) {
                p[0] = std::uint8_t(x + y);
                p[1] = std::uint8_t(x * 3);
                p[2] = std::uint8_t(y * 5);
            }
        }
        return b;
    }();
    return picture;
}

void BM_RotateRight(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(RotatePicture(Picture24M(), TurnDirection::Right));
}
void BM_RotateLeft(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(RotatePicture(Picture24M(), TurnDirection::Left));
}
void BM_CropHalf(benchmark::State& state) {
    for (auto _ : state) {
        Bitmap picture = Picture24M();
        TRect selection{1000, 1000, 3999, 2999};
        CropCommand(picture, selection);
        benchmark::DoNotOptimize(picture);
    }
}
void BM_ResizeDouble(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ResizeNearest(Picture24M(), 12000, 8000));
}
void BM_ResizeHalf(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ResizeNearest(Picture24M(), 3000, 2000));
}
}  // namespace

BENCHMARK(BM_RotateRight)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateLeft)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CropHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeDouble)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeHalf)->Unit(benchmark::kMillisecond);
