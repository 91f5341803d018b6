// The webcam window over the fake backend, with the main window's side played by the test.
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

#include "CaptureFixture.h"
#include "capture/CaptureWindow.h"
#include "image/PictureFile.h"
#include "capture/Webcam.h"

namespace {
class WebcamFormTest : public CaptureTest {
protected:
    void SetUp() override {
        CaptureTest::SetUp();
        form = std::make_unique<TVideoForm>(nullptr);
        form->SnapshotFolder = [this] { return folder.string(); };
        form->RunCommand = [this](const std::function<void()>& command) {
            try {
                command();
            } catch (const std::exception& error) {
                errors.push_back(error.what());
            }
        };
        form->Beep = [this] { ++beeps; };
        form->OnSnapshot = [this](const std::string& path) { snapshots.push_back(path); };
        form->OnVisibilityChanged = [this] { visibility.push_back(form->isVisible()); };
    }
    void TearDown() override {
        form.reset();
        CaptureTest::TearDown();
    }
    // The user picks a line from the list.
    void Choose(int line) {
        form->DriversComboBox->setCurrentIndex(line);
        emit form->DriversComboBox->activated(line);
    }
    TVideo& Video() { return *form->VideoSource; }

    std::unique_ptr<TVideoForm> form;
    std::vector<std::string> errors, snapshots;
    std::vector<bool> visibility;
    int beeps = 0;
};
}  // namespace

// The window opens listing a line per driver slot, with none chosen and no device open.
TEST_F(WebcamFormTest, OpensOnTopWithTenDriverLinesAndNoneChosen) {
    EXPECT_EQ(form->windowTitle(), "Video");
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form->SnapshotButton->isEnabled());
    EXPECT_EQ(form->DriversComboBox->currentText(), "Chose driver");
    EXPECT_EQ(form->DriversComboBox->currentIndex(), -1);
    ASSERT_EQ(form->DriversComboBox->count(), 10);
    for (int line = 0; line < 10; ++line) {
        const QString expected = line == 0 ? "Cam A fake 1.0.0" : line == 2 ? "Cam B uvcvideo 6.1.0" : "";
        EXPECT_EQ(form->DriversComboBox->itemText(line), expected) << line;
    }
    EXPECT_FALSE(Video().DriverOpen());
    // The preview fills the window without distorting the picture.
    EXPECT_TRUE(Video().PreviewScaleToWindow());
    EXPECT_TRUE(Video().PreviewScaleProportional());
}

TEST_F(WebcamFormTest, ChoosingALineStartsPreview) {
    Choose(2);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(Video().DriverIndex(), 2);
    EXPECT_EQ(backend->ConnectedIndex(), 2);
    EXPECT_TRUE(Video().VideoPreview());
    EXPECT_TRUE(form->SnapshotButton->isEnabled());
    // The capture window fills the control's width, in the picture's shape.
    EXPECT_EQ(TCaptureWindow::FromHandle(Video().CaptureWindow())->size(), QSize(320, 240));

    Choose(2);  // the same line again: no reconnection
    EXPECT_EQ(backend->Connections, 1);
    EXPECT_TRUE(errors.empty());
}

TEST_F(WebcamFormTest, AnEmptyLineOrTypedTextSelectsNoDriver) {
    Choose(0);
    ASSERT_TRUE(form->SnapshotButton->isEnabled());
    Choose(1);
    EXPECT_EQ(errors, (std::vector<std::string>{"No capture driver selected"}));
    EXPECT_EQ(Video().DriverIndex(), -1);
    EXPECT_EQ(backend->ConnectedIndex(), -1);  // the earlier driver is let go
    EXPECT_FALSE(Video().VideoPreview());
    EXPECT_TRUE(form->SnapshotButton->isEnabled());  // stays as it was

    Choose(2);
    errors.clear();
    form->DriversComboBox->lineEdit()->setText("Cam");
    emit form->DriversComboBox->lineEdit()->textEdited("Cam");
    EXPECT_EQ(errors, (std::vector<std::string>{"No capture driver selected"}));
    EXPECT_FALSE(Video().DriverOpen());
}

TEST_F(WebcamFormTest, AFailingDriverLeavesPreviewOff) {
    backend->FailingConnects = {2};
    Choose(0);
    Choose(2);
    QCoreApplication::processEvents();  // the failure's status report adds no second box
    EXPECT_EQ(errors, (std::vector<std::string>{"Can not connect capture driver with capture window"}));
    EXPECT_FALSE(Video().VideoPreview());
    EXPECT_EQ(backend->ConnectedIndex(), -1);
}

TEST_F(WebcamFormTest, ACameraThatStopsIsReportedAndCanBeChosenAgain) {
    Choose(0);
    backend->Pump(2);
    backend->FailStream("the camera \"Cam A\" was removed");
    QCoreApplication::processEvents();
    EXPECT_EQ(errors, (std::vector<std::string>{"The capture driver stopped: the camera \"Cam A\" was removed"}));
    EXPECT_FALSE(Video().DriverOpen());
    EXPECT_FALSE(form->SnapshotButton->isEnabled());

    Choose(0);
    EXPECT_EQ(backend->Connections, 2);
    EXPECT_TRUE(Video().VideoPreview());
    EXPECT_TRUE(form->SnapshotButton->isEnabled());
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(WebcamFormTest, SnapshotSavesBesideTheProgramAndHandsItOver) {
    const std::string path = (folder / "snapshot.bmp").string();
    // Nothing connected: no beep, but the main window still loads whatever file is there.
    form->SnapshotButtonClick();
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(snapshots, (std::vector<std::string>{path}));
    EXPECT_FALSE(std::filesystem::exists(path));

    Choose(0);
    backend->Pump(4);
    form->SnapshotButton->click();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(snapshots.size(), 2u);
    EXPECT_EQ(Video().SingleImageFile, path);
    EXPECT_EQ(FakeFrameNumber(LoadPicture(path, PictureFormat::Bitmap)), 3u);

    // No folder to write in: the error box, and nothing is loaded.
    form->SnapshotFolder = []() -> std::string { throw std::runtime_error("no folder"); };
    form->SnapshotButtonClick();
    EXPECT_EQ(errors, (std::vector<std::string>{"no folder"}));
    EXPECT_EQ(snapshots.size(), 2u);
}

TEST_F(WebcamFormTest, HidingKeepsThePreviewRunning) {
    form->show();
    Choose(0);
    form->OkButton->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(visibility, (std::vector<bool>{true, false}));
    EXPECT_TRUE(Video().DriverOpen());
    EXPECT_TRUE(Video().VideoPreview());
    backend->Pump();
    form->show();
    EXPECT_EQ(visibility.back(), true);
    EXPECT_EQ(FakeFrameNumber(TCaptureWindow::FromHandle(Video().CaptureWindow())->HeldFrame()), 0u);
}
