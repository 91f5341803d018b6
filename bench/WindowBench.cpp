// The main window with a 24-megapixel picture, on Qt's offscreen platform: how long from a
// mouse release to the selection frame painted, and from Open to the picture painted, against
// the decode alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollArea>
#include <filesystem>
#include <memory>

#include "BenchPictures.h"
#include "app/Forms.h"
#include "image/Jpeg.h"
#include "image/PictureFile.h"
#include "app/UserInterface.h"

namespace {
// Answers every box without showing anything.
class TSilentInterface : public TUserInterface {
public:
    void Information(const std::string&) override {}
    bool Confirm(const std::string&) override { return true; }
    void Error(const std::string&) override {}
    void Warning(const std::string&, const std::string&) override {}
    std::optional<std::string> OpenPictureFile(const std::string&) override { return {}; }
    std::optional<std::string> SavePictureFile(const std::string&) override { return {}; }
    std::optional<std::string> OpenFilterFile() override { return {}; }
    std::optional<std::string> SaveFilterFile() override { return {}; }
};

const std::string& PhotoJpeg() {
    static const std::string path = [] {
        const std::string file = (std::filesystem::temp_directory_path() / "corvalux-bench-24m.jpg").string();
        SavePicture(file, PhotoLike24M(), PictureFormat::Jpeg);
        return file;
    }();
    return path;
}

// Everything posted so far handled, paint events included.
void Settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

struct TWindow {
    TSilentInterface ui;
    std::unique_ptr<TForms> forms = std::make_unique<TForms>(ui, std::string());
    TMainForm& Main() { return *forms->MainForm; }
};

void BM_SelectionFrameOnScreen(benchmark::State& state) {
    TWindow window;
    window.Main().WorkingImage = PhotoLike24M();
    window.Main().SelectAll();
    window.Main().ReDraw();
    window.Main().show();
    Settle();
    int i = 0;
    for (auto _ : state) {
        const int corner = 100 + (i++ % 50) * 4;
        window.Main().FormMouseDown(Qt::LeftButton, 20, 20);
        window.Main().FormMouseUp(Qt::LeftButton, corner, corner);
        Settle();
    }
}
BENCHMARK(BM_SelectionFrameOnScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenJpegToFirstPaint(benchmark::State& state) {
    TWindow window;
    window.Main().show();
    const std::string path = PhotoJpeg();
    for (auto _ : state) {
        window.Main().OpenFile(path);
        Settle();
    }
}
BENCHMARK(BM_OpenJpegToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeJpegAlone(benchmark::State& state) {
    const std::string path = PhotoJpeg();
    for (auto _ : state) benchmark::DoNotOptimize(LoadPicture(path, PictureFormat::Jpeg));
}
BENCHMARK(BM_DecodeJpegAlone)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
