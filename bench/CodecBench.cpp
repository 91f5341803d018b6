// Loading and saving a 24-megapixel photo-like picture as JPEG and BMP, in memory and
// through files. The files stay in the temporary folder, so that other tools can be timed
// on exactly the same data.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/Dib.h"
#include "image/Jpeg.h"
#include "BenchPictures.h"
#include "image/PictureFile.h"

namespace {
struct Samples {
    Bitmap picture = PhotoLike24M();
    std::vector<std::uint8_t> jpeg = EncodeJpeg(picture);
    std::vector<std::uint8_t> bmp = EncodeBmpFile(picture);
    std::string jpegPath = Temporary("corvalux_bench_24mp.jpg");
    std::string bmpPath = Temporary("corvalux_bench_24mp.bmp");
    Samples() {
        WriteFileAtomically(jpegPath, jpeg);
        WriteFileAtomically(bmpPath, bmp);
    }
    static std::string Temporary(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }
};

const Samples& Shared() {
    static const Samples samples;
    return samples;
}

void Report(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

void BM_JpegDecode(benchmark::State& state) {
    const Samples& s = Shared();
    for (auto _ : state) benchmark::DoNotOptimize(DecodeJpeg(s.jpeg.data(), s.jpeg.size()));
    Report(state, s.picture.RowBytes() * BenchHeight);
}

void BM_JpegEncode(benchmark::State& state) {
    const Samples& s = Shared();
    for (auto _ : state) benchmark::DoNotOptimize(EncodeJpeg(s.picture));
    Report(state, s.picture.RowBytes() * BenchHeight);
}

void BM_BmpDecode(benchmark::State& state) {
    const Samples& s = Shared();
    for (auto _ : state) benchmark::DoNotOptimize(DecodeBmpFile(s.bmp.data(), s.bmp.size()));
    Report(state, s.bmp.size());
}

void BM_BmpEncode(benchmark::State& state) {
    const Samples& s = Shared();
    for (auto _ : state) benchmark::DoNotOptimize(EncodeBmpFile(s.picture));
    Report(state, s.bmp.size());
}

// Whole loads and saves: reading the file and decoding; encoding and the atomic write.
void BM_JpegLoadFile(benchmark::State& state) {
    const Samples& s = Shared();
    for (auto _ : state) benchmark::DoNotOptimize(LoadPicture(s.jpegPath, PictureFormat::Jpeg));
}

void BM_JpegSaveFile(benchmark::State& state) {
    const Samples& s = Shared();
    const std::string path = Samples::Temporary("corvalux_bench_saved.jpg");
    for (auto _ : state) SavePicture(path, s.picture, PictureFormat::Jpeg);
    std::filesystem::remove(path);
}

void BM_BmpLoadFile(benchmark::State& state) {
    const Samples& s = Shared();
    for (auto _ : state) benchmark::DoNotOptimize(LoadPicture(s.bmpPath, PictureFormat::Bitmap));
}

void BM_BmpSaveFile(benchmark::State& state) {
    const Samples& s = Shared();
    const std::string path = Samples::Temporary("corvalux_bench_saved.bmp");
    for (auto _ : state) SavePicture(path, s.picture, PictureFormat::Bitmap);
    std::filesystem::remove(path);
}
}  // namespace

BENCHMARK(BM_JpegDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegLoadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpLoadFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpSaveFile)->Unit(benchmark::kMillisecond)->UseRealTime();
