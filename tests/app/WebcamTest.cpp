// The webcam window inside the program, over the fake capture backend: the menu's check mark,
// and snapshots loaded as the main window's picture.
#include <QAction>
#include <QComboBox>
#include <QPushButton>

#include "AppFixture.h"
#include "capture/CaptureLibrary.h"
#include "capture/FakeCaptureBackend.h"
#include "image/PictureFile.h"

namespace {
class WebcamTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        // Installed before the windows exist: the webcam window lists the drivers when made.
        backend = std::make_shared<FakeCaptureBackend>();
        backend->Drivers[0] = FakeCaptureBackend::Driver{"Cam A", "fake 1.0.0", 64, 48};
        vfw::SetCaptureBackend(backend);
    }
    void TearDown() override {
        AppTest::TearDown();
        vfw::SetCaptureBackend(nullptr);
    }
    TVideoForm& Webcam() { return *forms->VideoForm; }
    void Choose(int line) {
        Webcam().DriversComboBox->setCurrentIndex(line);
        emit Webcam().DriversComboBox->activated(line);
    }
    bool Checked() { return Main().Action("WebcameraMenu")->isChecked(); }
    std::string SnapshotPath() { return (folder / "snapshot.bmp").string(); }

    std::shared_ptr<FakeCaptureBackend> backend;
};
}  // namespace

TEST_F(WebcamTest, TheCheckMarkFollowsTheWindow) {
    Start();
    EXPECT_FALSE(Checked());
    Main().WebcameraMenuClick();
    EXPECT_TRUE(Webcam().isVisible());
    EXPECT_TRUE(Checked());
    Choose(0);
    Webcam().OkButton->click();
    EXPECT_FALSE(Checked());
    // Hidden, the driver stays connected and the preview keeps running.
    EXPECT_TRUE(Webcam().VideoSource->VideoPreview());
    Main().WebcameraMenuClick();
    EXPECT_TRUE(Checked());
    EXPECT_EQ(backend->Connections, 1);
    Webcam().close();
    EXPECT_FALSE(Checked());
}

TEST_F(WebcamTest, ASnapshotReplacesThePicture) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    Main().UpdateUndo();
    ASSERT_TRUE(Enabled("UndoMenu"));
    Main().WebcameraMenuClick();
    Choose(0);
    backend->Pump(3);
    Webcam().SnapshotButton->click();
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(Main().FileName, SnapshotPath());
    EXPECT_EQ(Main().WorkingImage.Width(), 64);
    EXPECT_EQ(FakeFrameNumber(Main().WorkingImage), 2u);
    EXPECT_EQ(Main().Selection, (TRect{0, 0, 63, 47}));
    EXPECT_EQ(Main().windowTitle().toStdString(), "Corvalux - " + SnapshotPath());
    EXPECT_FALSE(Enabled("UndoMenu"));
    EXPECT_TRUE(Enabled("SaveMenu"));

    // Save writes back to the snapshot file.
    Main().WorkingImage.SetColor(5, 5, PackColor(1, 2, 3));
    Main().SaveMenuClick();
    EXPECT_EQ(LoadPicture(SnapshotPath(), PictureFormat::Bitmap).GetColor(5, 5), PackColor(1, 2, 3));
}

TEST_F(WebcamTest, AFailedSaveLoadsTheOlderSnapshot) {
    const Bitmap older = TestPicture(20, 10);
    WriteBmp("snapshot.bmp", older);
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    Main().UpdateUndo();
    Main().WebcameraMenuClick();
    Choose(0);  // connected, but no frame has come yet
    Webcam().SnapshotButton->click();
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(Main().WorkingImage, older);
    EXPECT_FALSE(Enabled("UndoMenu"));
}

TEST_F(WebcamTest, WithoutASnapshotFileTheLoadFails) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    Main().UpdateUndo();
    Webcam().SnapshotButtonClick();
    const std::vector<TShownBox> boxes = ui.Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Kind, "Error");
    // The command stopped at the load: the picture, its name and Undo stay.
    EXPECT_EQ(Main().WorkingImage, TestPicture(40, 30));
    EXPECT_NE(Main().FileName, SnapshotPath());
    EXPECT_TRUE(Enabled("UndoMenu"));
}

TEST_F(WebcamTest, AnEmptyLineShowsTheErrorBoxOnce) {
    Start();
    Main().WebcameraMenuClick();
    Choose(1);
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Error", "No capture driver selected."}}));
    EXPECT_FALSE(Webcam().SnapshotButton->isEnabled());
}
