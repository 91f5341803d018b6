// Quarter turns, crop and nearest-pixel resize of a 24-megapixel picture.
#include <benchmark/benchmark.h>

#include "BenchPictures.h"
#include "geometry/Geometry.h"
#include "geometry/GeometryCommands.h"

namespace {
void BM_RotateRight(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(RotatePicture(PhotoLike24M(), TurnDirection::Right));
}
void BM_RotateLeft(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(RotatePicture(PhotoLike24M(), TurnDirection::Left));
}
void BM_CropHalf(benchmark::State& state) {
    for (auto _ : state) {
        Bitmap picture = PhotoLike24M();
        TRect selection{1000, 1000, 3999, 2999};
        CropCommand(picture, selection);
        benchmark::DoNotOptimize(picture);
    }
}
void BM_ResizeDouble(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ResizeNearest(PhotoLike24M(), 12000, 8000));
}
void BM_ResizeHalf(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ResizeNearest(PhotoLike24M(), 3000, 2000));
}
}  // namespace

BENCHMARK(BM_RotateRight)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateLeft)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CropHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeDouble)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeHalf)->Unit(benchmark::kMillisecond);
