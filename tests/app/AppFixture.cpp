#include "AppFixture.h"

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <fstream>

#include "capture/CaptureLibrary.h"
#include "image/Dib.h"
#include "capture/FakeCaptureBackend.h"

Bitmap TestPicture(int width, int height) {
    Bitmap picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetColor(x, y, PackColor((x * 37 + 200) % 256, (y * 53 + 11) % 256, (x * y) % 256));
    picture.SetColor(0, 0, PackColor(255, 0, 0));
    picture.SetColor(width - 1, height - 1, PackColor(0, 0, 255));
    return picture;
}

void AppTest::SetUp() {
    // No real cameras: the webcam window lists what this empty fake offers.
    vfw::SetCaptureBackend(std::make_shared<FakeCaptureBackend>());
}

void AppTest::TearDown() {
    forms.reset();
    vfw::SetCaptureBackend(nullptr);
}

std::string AppTest::WriteBmp(const std::string& name, const Bitmap& picture) {
    const std::string path = (folder / name).string();
    const std::vector<std::uint8_t> bytes = EncodeBmpFile(picture);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

void AppTest::Start(const std::string& argument) {
    forms = std::make_unique<TForms>(ui, argument);
    Main().ProgramFolder = folder.string();
}

bool AppTest::Enabled(const std::string& action) {
    QAction* a = Main().Action(action);
    EXPECT_NE(a, nullptr) << action;
    return a && a->isEnabled();
}

void AppTest::PressCancelInEveryProgressDialog(CancelBy how) {
    Main().LongCommands.DialogDelay = 0;
    Main().LongCommands.OnDialogShown = [this, how](QWidget& dialog) {
        ++cancelledDialogs;
        QWindow* window = dialog.windowHandle();
        ASSERT_NE(window, nullptr);
        const QPushButton* button = dialog.findChild<QPushButton*>();
        switch (how) {
            case CancelBy::Click:
                QTest::mouseClick(window, Qt::LeftButton, {}, button->mapTo(&dialog, button->rect().center()));
                break;
            case CancelBy::Escape: QTest::keyClick(window, Qt::Key_Escape); break;
            case CancelBy::CloseBox: window->close(); break;
        }
    };
}
