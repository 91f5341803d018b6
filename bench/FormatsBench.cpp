// Loading a 24-megapixel photo-like picture from PNG and from Deflate TIFF, and saving both.
// The files stay in the temporary folder (corvalux_bench_24mp.png / .tif), so that other
// tools (vips copy, for one) can be timed on exactly the same data.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "BenchPictures.h"
#include "image/PictureFile.h"
#include "image/Png.h"
#include "image/Tiff.h"

namespace {
struct FormatSamples {
    std::vector<std::uint8_t> png = EncodePng(PhotoLike24M());
    std::vector<std::uint8_t> tiff = EncodeTiff(PhotoLike24M());
    std::string pngPath = Temporary("corvalux_bench_24mp.png");
    std::string tiffPath = Temporary("corvalux_bench_24mp.tif");
    FormatSamples() {
        WriteFileAtomically(pngPath, png);
        WriteFileAtomically(tiffPath, tiff);
    }
    static std::string Temporary(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }
};

const FormatSamples& Shared() {
    static const FormatSamples samples;
    return samples;
}

void Report(benchmark::State& state) {
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(PhotoLike24M().RowBytes()) * BenchHeight);
}

void BM_PngLoad(benchmark::State& state) {
    const FormatSamples& s = Shared();
    for (auto _ : state) benchmark::DoNotOptimize(LoadPicture(s.pngPath, PictureFormat::Png));
    Report(state);
}

void BM_TiffLoad(benchmark::State& state) {
    const FormatSamples& s = Shared();
    for (auto _ : state) benchmark::DoNotOptimize(LoadPicture(s.tiffPath, PictureFormat::Tiff));
    Report(state);
}

void BM_PngEncode(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(EncodePng(PhotoLike24M()));
    Report(state);
}

void BM_TiffEncode(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(EncodeTiff(PhotoLike24M()));
    Report(state);
}
}  // namespace

BENCHMARK(BM_PngLoad)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiffLoad)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PngEncode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiffEncode)->Unit(benchmark::kMillisecond)->UseRealTime();
