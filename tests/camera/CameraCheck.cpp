// The real camera path, for pipewire-check.sh: checks a picture of the virtual camera's colour
// bars, and drives the webcam window over PipeWire offscreen.
//
//   camera-check bars FILE                 FILE is 320 x 240 with the test pattern's bars
//   camera-check window NAME FOLDER PID    a window closed mid-preview ends cleanly; another
//                                          previews the camera listed as NAME, snapshots it
//                                          into FOLDER, then, once PID (the camera's process)
//                                          is stopped, says so and stays usable
#include <signal.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/CaptureWindow.h"
#include "image/PictureFile.h"
#include "capture/Webcam.h"

namespace {
int Fail(const std::string& why) {
    std::fprintf(stderr, "FAIL: %s\n", why.c_str());
    return 1;
}

// The top two thirds of videotestsrc's pattern: seven bars at full strength.
std::string BarsWrong(const std::string& path) {
    const PackedColor bars[7] = {PackColor(255, 255, 255), PackColor(255, 255, 0), PackColor(0, 255, 255),
                                 PackColor(0, 255, 0),     PackColor(255, 0, 255), PackColor(255, 0, 0),
                                 PackColor(0, 0, 255)};
    const Bitmap picture = LoadPicture(path, PictureFormat::Bitmap);
    if (picture.Width() != 320 || picture.Height() != 240)
        return path + " is " + std::to_string(picture.Width()) + " x " + std::to_string(picture.Height());
    for (int bar = 0; bar < 7; ++bar) {
        const int x = bar * 320 / 7 + 320 / 14;
        const PackedColor got = picture.GetColor(x, 40);
        const int error =
            std::max({std::abs(RedOf(got) - RedOf(bars[bar])), std::abs(GreenOf(got) - GreenOf(bars[bar])),
                      std::abs(BlueOf(got) - BlueOf(bars[bar]))});
        if (error > 8)
            return path + ": bar " + std::to_string(bar) + " is " + std::to_string(RedOf(got)) + "," +
                   std::to_string(GreenOf(got)) + "," + std::to_string(BlueOf(got));
    }
    return {};
}

// The line of the webcam window that lists the camera, chosen; -1 when there is none.
int ChooseCamera(TVideoForm& form, const std::string& name) {
    int line = -1;
    for (int i = 0; i < form.DriversComboBox->count(); ++i)
        if (form.DriversComboBox->itemText(i).toStdString().starts_with(name + " pipewire ")) line = i;
    if (line < 0) return -1;
    form.DriversComboBox->setCurrentIndex(line);
    emit form.DriversComboBox->activated(line);
    return line;
}

bool Previewing(const TVideoForm& form) {
    const TCaptureWindow* window = TCaptureWindow::FromHandle(form.VideoSource->CaptureWindow());
    return window && !window->ShownFrame().Empty();
}

int CheckWindow(const std::string& name, const std::string& folder, pid_t camera) {
    {
        // A window closed while frames keep coming ends cleanly.
        TVideoForm other(nullptr);
        if (ChooseCamera(other, name) < 0 || !QTest::qWaitFor([&] { return Previewing(other); }, 10000))
            return Fail("a first window shows no frame");
    }
    TVideoForm form(nullptr);
    std::vector<std::string> errors;
    form.SnapshotFolder = [&] { return folder; };
    form.RunCommand = [&](const std::function<void()>& command) {
        try {
            command();
        } catch (const std::exception& error) {
            errors.push_back(error.what());
        }
    };
    form.show();
    const int line = ChooseCamera(form, name);
    if (line < 0) return Fail("the webcam window does not list " + name);
    if (!errors.empty()) return Fail("choosing the camera: " + errors.front());
    if (!QTest::qWaitFor([&] { return Previewing(form); }, 10000)) return Fail("the preview shows no frame");
    form.SnapshotButton->click();
    const std::string snapshot = (std::filesystem::path(folder) / "snapshot.bmp").string();
    if (!std::filesystem::exists(snapshot)) return Fail("Snapshot wrote no picture");
    if (const std::string wrong = BarsWrong(snapshot); !wrong.empty()) return Fail(wrong);

    // The camera goes away mid-preview: one box says so, and the window can be used again.
    ::kill(camera, SIGTERM);
    if (!QTest::qWaitFor([&] { return !errors.empty(); }, 10000)) return Fail("the camera's end was not reported");
    std::fprintf(stderr, "reported: %s\n", errors.front().c_str());
    if (errors.front().find("Corvalux Test Camera") == std::string::npos) return Fail("unclear: " + errors.front());
    if (form.VideoSource->DriverOpen()) return Fail("the stopped camera stays connected");
    emit form.DriversComboBox->activated(line);
    if (errors.size() != 2) return Fail("choosing the gone camera again was not refused");
    form.OkButton->click();
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "bars") {
            const std::string wrong = BarsWrong(args[1]);
            return wrong.empty() ? 0 : Fail(wrong);
        }
        if (args.size() == 4 && args[0] == "window") return CheckWindow(args[1], args[2], pid_t(std::stol(args[3])));
    } catch (const std::exception& error) {
        return Fail(error.what());
    }
    std::fprintf(stderr, "usage: camera-check bars FILE | window NAME FOLDER PID\n");
    return 2;
}
