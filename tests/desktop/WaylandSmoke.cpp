// The program's windows on a real Wayland compositor: a photo larger than the output opens in
// a window that fits it, closing Zoom by its own close request clears the tick, and a maximise
// request leaves the program running with its picture. Exits 0 when all of that holds.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QWindow>
#include <iostream>

#include "FakeUserInterface.h"
#include "app/Forms.h"
#include "app/Main.h"
#include "image/PictureFile.h"
#include "app/Zoom.h"

namespace {
void Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 50);
}

int failures = 0;
void Expect(bool holds, const std::string& what) {
    std::cout << (holds ? "ok: " : "FAILED: ") << what << "\n";
    if (!holds) ++failures;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::cout << std::unitbuf;  // every line out before a fatal error could end the process
    if (argc < 2) {
        std::cerr << "usage: wayland_smoke FOLDER\n";
        return 2;
    }
    // A photo far larger than the output.
    const std::string photo = std::string(argv[1]) + "/large.jpg";
    SavePicture(photo, Bitmap(6000, 4000), PictureFormat::Jpeg);
    FakeUserInterface ui;
    TForms forms(ui, photo);
    TMainForm& main = *forms.MainForm;
    main.show();
    Settle(1500);
    const QRect output = main.screen()->geometry();
    const QSize shown = main.frameGeometry().size();
    std::cout << "platform " << QGuiApplication::platformName().toStdString() << ", output " << output.width() << " x "
              << output.height() << ", window " << shown.width() << " x " << shown.height() << "\n";
    Expect(ui.Shown.empty(), "the photo opened without a box");
    Expect(shown.width() <= output.width() && shown.height() <= output.height(), "the window fits the output");

    main.Action("ZoomMenu")->trigger();
    Settle(500);
    forms.ZoomForm->windowHandle()->close();
    Settle(500);
    Expect(!main.Action("ZoomMenu")->isChecked(), "Zoom loses its tick when its window is closed");

    main.windowHandle()->setWindowStates(Qt::WindowMaximized);
    Settle(1500);
    Expect(main.WorkingImage.Width() == 6000 && main.WorkingImage.Height() == 4000,
           "after a maximise request the program runs with its picture");
    const QSize after = main.frameGeometry().size();
    Expect(after.width() <= output.width() && after.height() <= output.height(), "and still fits the output");
    return failures ? 1 : 0;
}
