// Sources > Scanner / digital camera through the whole program: the real main window, the
// session layer, this Source Manager and SANE's "test" backend, with the dialogs worked as a
// user would.
#include <QAction>
#include <set>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest/QTest>

#include "AppFixture.h"
#include "twain/sane/DefaultSource.h"
#include "SaneTestSupport.h"
#include "twain/Twain.h"

using namespace sanetest;

namespace {
// The 80 x 100 mm area that test.conf sets, at 100 dpi.
constexpr int Width100 = 314, Height100 = 393;
}  // namespace

class ProgramScanTest : public AppTest {
protected:
    // Starts the program on a picture, with the test backend configured as `overrides` say.
    void StartWith(const std::map<std::string, std::string>& overrides = {}) {
        if (!MakeTestBackendConfig(folder / "backend", overrides)) GTEST_SKIP() << "SANE's test backend is missing";
        ::setenv("CORVALUX_TWAIN_DSM", SANE_DSM_PATH, 1);
        Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    }
    // Runs the scan command while `steps` work the dialogs.
    void Scan(std::vector<TDialogDriver::TStep> steps) {
        TDialogDriver driver(std::move(steps));
        Main().ScanMenuClick();
        EXPECT_TRUE(driver.Finished()) << "stopped before step " << driver.StepsDone() + 1;
        EXPECT_EQ(TWAIN_SessionState(), PreSession);
    }
    void ExpectUnchanged() {
        EXPECT_EQ(Main().WorkingImage, TestPicture(40, 30));
        EXPECT_FALSE(Enabled("UndoMenu"));
        EXPECT_TRUE(Enabled("SaveMenu"));
        EXPECT_TRUE(ui.Take().empty());
    }
};

TEST_F(ProgramScanTest, ColourScanAt100DpiBecomesThePicture) {
    StartWith({{"test-picture", "\"Color pattern\""}});
    std::vector<std::string> listed;
    Scan({ChooseDevice("test:1", &listed), PressScan("Colour", 100)});

    EXPECT_EQ(listed, (std::vector<std::string>{"test:0", "test:1"}));
    EXPECT_TRUE(ui.Take().empty());
    ASSERT_EQ(Main().WorkingImage.Width(), Width100);
    ASSERT_EQ(Main().WorkingImage.Height(), Height100);
    const TDirectScan direct = ScanDirectly("test:1", "Color", 8, 100);
    ASSERT_EQ(direct.Parameters.format, SANE_FRAME_RGB);
    ASSERT_EQ(direct.Parameters.pixels_per_line, Width100);
    int wrong = 0;
    for (int y = 0; y < Height100; ++y)
        for (int x = 0; x < Width100; ++x) {
            const SANE_Byte* p = &direct.Data[std::size_t(y) * direct.Parameters.bytes_per_line + 3 * x];
            wrong += Main().WorkingImage.GetColor(x, y) != PackColor(p[0], p[1], p[2]);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(Main().FileName.empty());
    EXPECT_EQ(Main().windowTitle(), "Corvalux");
    EXPECT_FALSE(Enabled("SaveMenu"));
    // The choice is the manager's default from now on.
    EXPECT_EQ(sanedsm::ReadDefaultSource(sanedsm::DefaultSourceFile()), "test:1");

    ASSERT_TRUE(Enabled("UndoMenu"));
    Main().UndoMenuClick();
    EXPECT_EQ(Main().WorkingImage, TestPicture(40, 30));
}

TEST_F(ProgramScanTest, GreyAndLineArtScansComeOutRight) {
    StartWith({{"test-picture", "\"Color pattern\""}});
    const struct {
        const char* mode;
        int depth;
    } cases[] = {{"Grey", 8}, {"Line art", 1}};
    for (const auto& c : cases) {
        Scan({ChooseDevice("test:0"), PressScan(c.mode, 75)});
        const TDirectScan direct = ScanDirectly("test:0", "Gray", c.depth, 75);
        ASSERT_EQ(direct.Parameters.depth, c.depth);
        const Bitmap& picture = Main().WorkingImage;
        ASSERT_EQ(picture.Width(), direct.Parameters.pixels_per_line) << c.mode;
        ASSERT_EQ(picture.Height(), direct.Parameters.lines) << c.mode;
        int wrong = 0, black = 0;
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x) {
                const SANE_Byte* row = &direct.Data[std::size_t(y) * direct.Parameters.bytes_per_line];
                // In line art SANE's 1 is black.
                const std::uint8_t level = c.depth == 1 ? ((row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255) : row[x];
                wrong += picture.GetColor(x, y) != PackColor(level, level, level);
                black += level == 0;
            }
        EXPECT_EQ(wrong, 0) << c.mode;
        EXPECT_GT(black, 0) << c.mode;  // the pattern is not blank
        EXPECT_LT(black, picture.Width() * picture.Height()) << c.mode;
    }
}

TEST_F(ProgramScanTest, CancelDuringASlowScanKeepsThePicture) {
    // 1 KiB a read, 200 ms apart: the scan takes minutes unless cancelled.
    StartWith({{"read-delay", "true"},
               {"read-delay-duration", "200000"},
               {"read-limit", "true"},
               {"read-limit-size", "1024"}});
    std::string message;
    Scan({ChooseDevice("test:0"), PressScan("Colour", 100),
          [] {
              auto* cancel = Child<QPushButton>(VisibleWindow("SaneSourceDialog"), "CancelButton");
              if (!cancel || !cancel->isEnabled()) return false;
              QTest::mouseClick(cancel, Qt::LeftButton);
              return true;
          },
          CloseAfterMessage(&message)});
    EXPECT_EQ(message, "The scan was cancelled.");
    ExpectUnchanged();
}

TEST_F(ProgramScanTest, AFailedScanShowsItsMessageAndChangesNothing) {
    const struct {
        const char* status;
        const char* says;
    } cases[] = {{"SANE_STATUS_JAMMED", "jammed"}, {"SANE_STATUS_IO_ERROR", "input/output error"}};
    for (const auto& c : cases) {
        StartWith({{"read-status-code", std::string("\"") + c.status + "\""}});
        std::string message;
        Scan({ChooseDevice("test:0"), PressScan("Colour", 100), CloseAfterMessage(&message)});
        EXPECT_NE(message.find(c.says), std::string::npos) << message;
        ExpectUnchanged();
    }
}

TEST_F(ProgramScanTest, CancelledSelectionScansFromTheDefaultSource) {
    StartWith();
    ASSERT_TRUE(sanedsm::WriteDefaultSource(sanedsm::DefaultSourceFile(), "test:1"));
    std::string title;
    Scan({[] {
              auto* dialog = qobject_cast<QDialog*>(VisibleWindow("SelectSourceDialog"));
              auto* list = Child<QListWidget>(dialog, "SourceList");
              if (!list || !list->isEnabled()) return false;
              // The default is the one offered; the names are whole, longer than a TWAIN name.
              EXPECT_EQ(list->currentItem()->data(Qt::UserRole).toString(), "test:1");
              EXPECT_EQ(list->item(0)->text().toStdString(), "Noname frontend-tester virtual device  (test:0)");
              EXPECT_EQ(list->item(1)->text().toStdString(), "Noname frontend-tester virtual device #2  (test:1)");
              QTest::mouseClick(Child<QPushButton>(dialog, "CancelButton"), Qt::LeftButton);
              return true;
          },
          [&title] {
              QWidget* dialog = VisibleWindow("SaneSourceDialog");
              if (!dialog) return false;
              title = dialog->windowTitle().toStdString();
              return true;
          },
          PressScan("Grey", 50)});
    EXPECT_EQ(title, "Noname frontend-tester virtual device #2");
    EXPECT_EQ(Main().WorkingImage.Width(), 157);
}

TEST_F(ProgramScanTest, ThreePassAndHandScannersGiveWholePictures) {
    const struct {
        const char* option;
        int width;                                             // at 75 dpi
    } cases[] = {{"three-pass", 236}, {"hand-scanner", 324}};  // 80 mm; a hand scanner is 110 mm wide
    for (const auto& c : cases) {
        StartWith({{c.option, "true"}, {"test-picture", "\"Color pattern\""}});
        Scan({ChooseDevice("test:0"), PressScan("Colour", 75)});
        EXPECT_EQ(Main().WorkingImage.Width(), c.width) << c.option;
        EXPECT_GT(Main().WorkingImage.Height(), 0) << c.option;
        EXPECT_TRUE(Enabled("UndoMenu")) << c.option;
        // Not one flat colour: the bands came together, the rows of unknown number arrived.
        std::set<PackedColor> colours;
        const Bitmap& picture = Main().WorkingImage;
        for (int y = 0; y < picture.Height(); y += 7)
            for (int x = 0; x < picture.Width(); x += 7) colours.insert(picture.GetColor(x, y));
        EXPECT_GT(colours.size(), 3u) << c.option;
    }
}

// No scanner at all: the list says so, and Cancel there ends the command at once, without an
// acquisition that could only fail.
TEST_F(ProgramScanTest, CancelAfterNoScannerWasFoundStartsNoScan) {
    StartWith({{BackendsKey, ""}});
    Scan({[] {
        QWidget* dialog = VisibleWindow("SelectSourceDialog");
        auto* status = Child<QLabel>(dialog, "StatusLabel");
        if (!status || !status->text().startsWith("No scanner was found")) return false;
        QTest::mouseClick(Child<QPushButton>(dialog, "CancelButton"), Qt::LeftButton);
        return true;
    }});
    EXPECT_TRUE(TWAIN_NoSourceFound());
    ExpectUnchanged();
}
