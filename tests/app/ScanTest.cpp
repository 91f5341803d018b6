// Sources > Scanner / digital camera against the fake TWAIN manager: the first image becomes
// an unnamed picture after an undo snapshot; no image, or no manager, changes nothing.
#include <QAction>
#include <functional>

#include "AppFixture.h"
#include "FakeDibPattern.h"
#include "FakeManager.h"

namespace {
const char* const PictureMenus[] = {"SaveasMenu", "QuickSaveMenu", "PrintMenu", "FiltersMenu",
                                    "DeformMenu", "CopyMenu", "SelectallMenu"};

bool IsPattern(const Bitmap& picture, int width, int height, int bits) {
    if (picture.Width() != width || picture.Height() != height) return false;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const TFakeColor c = FakeColor(x, y, bits);
            if (picture.GetColor(x, y) != PackColor(c.Red, c.Green, c.Blue)) return false;
        }
    return true;
}
}  // namespace

class ScanMenuTest : public AppTest {
protected:
    void TearDown() override {
        fake.OnEvent(nullptr, nullptr);
        AppTest::TearDown();  // the windows go, and with them the images left in the list
        EXPECT_EQ(TWAIN_SessionState(), 1);
        EXPECT_EQ(fake.Number("live"), 0) << "handles never freed";
        EXPECT_EQ(fake.Number("faults"), 0);
    }
    static inline TFakeManager fake{FAKE_DSM_PATH};
};

TEST_F(ScanMenuTest, FirstImageBecomesAnUnnamedPictureWithUndo) {
    const std::string path = WriteBmp("start.bmp", TestPicture(40, 30));
    Start(path);
    ASSERT_EQ(Main().windowTitle(), QString::fromStdString("Corvalux - " + path));
    fake.Run("event 1 xferready; xfer done 21 -9 8; xfer done 5 5 24 *2; pending 2 1 0");
    Main().ScanMenuClick();

    EXPECT_TRUE(ui.Take().empty());
    EXPECT_TRUE(IsPattern(Main().WorkingImage, 21, 9, 8));
    EXPECT_EQ(Main().Selection, (TRect{0, 0, 20, 8}));
    EXPECT_EQ(Main().ClientSize(), QSize(260, 9));
    EXPECT_EQ(Main().windowTitle(), "Corvalux");
    EXPECT_TRUE(Main().FileName.empty());
    EXPECT_FALSE(Enabled("SaveMenu"));
    for (const char* name : PictureMenus) EXPECT_TRUE(Enabled(name)) << name;
    // The other two pages wait in the layer's list.
    EXPECT_EQ(fake.Number("live"), 2);

    ASSERT_TRUE(Enabled("UndoMenu"));
    Main().UndoMenuClick();
    EXPECT_EQ(Main().WorkingImage, TestPicture(40, 30));
}

TEST_F(ScanMenuTest, EachScanLeavesThePictureAtItsOwnSize) {
    Start();
    const struct {
        int width, height, bits;
    } scans[] = {{300, 4, 24}, {7, 12, 1}};
    for (const auto& s : scans) {
        fake.Run("event 1 xferready; xfer done " + std::to_string(s.width) + " " + std::to_string(s.height) +
                 " " + std::to_string(s.bits));
        Main().ScanMenuClick();
        EXPECT_TRUE(IsPattern(Main().WorkingImage, s.width, s.height, s.bits)) << s.width;
        EXPECT_EQ(Main().ClientSize(), QSize(std::max(260, s.width), s.height));
    }
}

TEST_F(ScanMenuTest, ScanWithoutAnImageChangesNothing) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    const struct {
        const char* script;
        const char* box;  // nullptr: none
    } cases[] = {
        {"event 1 closedsreq", nullptr},
        {"event 1 xferready; xfer cancel; event 1 closedsreq", nullptr},
        {"open failure", "TWAIN_ReportLastError: an error occurred"},
    };
    for (const auto& c : cases) {
        fake.Run(c.script);
        Main().ScanMenuClick();
        const std::vector<TShownBox> shown = ui.Take();
        if (c.box)
            EXPECT_EQ(shown, (std::vector<TShownBox>{{"Warning", std::string("TWAIN Error: ") + c.box}}))
                << c.script;
        else
            EXPECT_TRUE(shown.empty()) << c.script;
        EXPECT_EQ(Main().WorkingImage, TestPicture(40, 30)) << c.script;
        EXPECT_FALSE(Enabled("UndoMenu")) << c.script;
        EXPECT_TRUE(Enabled("SaveMenu")) << c.script;
    }
}

TEST_F(ScanMenuTest, WithoutAManagerBothStepsSaySo) {
    Start();
    fake.Run("");
    ::setenv("CORVALUX_TWAIN_DSM", "/nonexistent/libtwaindsm.so", 1);
    Main().ScanMenuClick();
    const TShownBox box{"Warning", "TWAIN Error: Unable to load Source Manager (TWAIN_32.DLL)"};
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{box, box}));
    EXPECT_TRUE(Main().WorkingImage.Empty());
    EXPECT_FALSE(Enabled("SaveasMenu"));
}

TEST_F(ScanMenuTest, SourcesMenuIsClosedWhileTheSourceDialogIsUp) {
    Start();
    struct TSeen {
        std::function<bool(const std::string&)> enabled;
        bool sources = true, scan = true, open = false;
    } seen{[this](const std::string& name) { return Enabled(name); }};
    fake.OnEvent([](void* context) {
        auto& s = *static_cast<TSeen*>(context);
        s.sources = s.enabled("SourcesMenu");
        s.scan = s.enabled("ScanMenu");
        s.open = s.enabled("OpenMenu");
    }, &seen);
    fake.Run("event 2 closedsreq");
    Main().ScanMenuClick();
    EXPECT_FALSE(seen.sources);
    EXPECT_FALSE(seen.scan);
    EXPECT_TRUE(seen.open);  // the rest of the program stays live
    EXPECT_TRUE(Enabled("SourcesMenu"));
    EXPECT_TRUE(Enabled("ScanMenu"));
}
