// Sources > Scanner / digital camera against the fake TWAIN manager: the first image becomes
// an unnamed picture after an undo snapshot; no image, or no manager, changes nothing.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "AppFixture.h"
#include "FakeDibPattern.h"
#include "FakeManager.h"
#include "FakeTiffPattern.h"

namespace {
const char* const PictureMenus[] = {"SaveasMenu", "QuickSaveMenu", "PrintMenu",    "FiltersMenu",
                                    "DeformMenu", "CopyMenu",      "SelectallMenu"};

QWidget* TopLevel(const char* objectNameOrTitle) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == objectNameOrTitle || widget->windowTitle() == objectNameOrTitle) return widget;
    return nullptr;
}

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
        EXPECT_EQ(TWAIN_SessionState(), PreSession);
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
    const struct { int width, height, bits; } scans[] = {{300, 4, 24}, {7, 12, 1}};
    for (const auto& s : scans) {
        fake.Run("event 1 xferready; xfer done " + std::to_string(s.width) + " " + std::to_string(s.height) + " " +
                 std::to_string(s.bits));
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
            EXPECT_EQ(shown, (std::vector<TShownBox>{{"Warning", std::string("TWAIN Error: ") + c.box}})) << c.script;
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
    const TShownBox box{"Warning",
                        "TWAIN Error: Unable to load Source Manager: CORVALUX_TWAIN_DSM names "
                        "/nonexistent/libtwaindsm.so, which does not exist."};
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
    fake.OnEvent(
        [](void* context) {
            auto& s = *static_cast<TSeen*>(context);
            s.sources = s.enabled("SourcesMenu");
            s.scan = s.enabled("ScanMenu");
            s.open = s.enabled("OpenMenu");
        },
        &seen);
    fake.Run("event 2 closedsreq");
    Main().ScanMenuClick();
    EXPECT_FALSE(seen.sources);
    EXPECT_FALSE(seen.scan);
    EXPECT_TRUE(seen.open);  // the rest of the program stays live
    EXPECT_TRUE(Enabled("SourcesMenu"));
    EXPECT_TRUE(Enabled("ScanMenu"));
}

TEST_F(ScanMenuTest, TiffFromALinuxSourceBecomesThePicture) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    fake.Run("event 1 xferready; xfer tiff 21 9 palette");
    Main().ScanMenuClick();
    EXPECT_TRUE(ui.Take().empty());
    const Bitmap& picture = Main().WorkingImage;
    ASSERT_EQ(picture.Width(), 21);
    ASSERT_EQ(picture.Height(), 9);
    int wrong = 0;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 21; ++x) {
            const TFakeColor c = FakeTiffColor(x, y, TFakeTiffKind::Palette);
            wrong += picture.GetColor(x, y) != PackColor(c.Red, c.Green, c.Blue);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(Enabled("UndoMenu"));

    // A block that is neither: the error box names it, and nothing changes.
    const Bitmap before = Main().WorkingImage;
    fake.Run("event 1 xferready; xfer png");
    Main().ScanMenuClick();
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Error",
                                                  "The scanner sent a PNG file, but the program takes a "
                                                  "scanned image only as a Windows bitmap (DIB) or a TIFF file."}}));
    EXPECT_EQ(Main().WorkingImage, before);
}

// A manager without a selection box: the program's own list, worked as a user would, opens
// the source picked. The proxy window that owns it never appears on the screen.
TEST_F(ScanMenuTest, OwnSourceListOpensTheSourcePicked) {
    Start();
    struct TSeen {
        QStringList rows;
        QString current;
        bool proxyOffScreen = false, ownedByProxy = false;
    } seen;
    QTimer driver;
    driver.setInterval(10);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(TopLevel("TwainSourceListDialog"));
        if (!dialog || !dialog->isVisible()) return;
        driver.stop();
        QWidget* proxy = TopLevel("Acquire Proxy");
        seen.proxyOffScreen = proxy && proxy->testAttribute(Qt::WA_DontShowOnScreen);
        seen.ownedByProxy = proxy && dialog->parentWidget() == proxy;
        auto* list = dialog->findChild<QTreeWidget*>("SourceList");
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            seen.rows << item->text(0) + " / " + item->text(1) + " / " + item->text(2);
        }
        seen.current = list->currentItem() ? list->currentItem()->text(0) : "";
        list->setCurrentItem(list->topLevelItem(1));
        dialog->findChild<QPushButton*>("OkButton")->click();
    });
    driver.start();
    fake.Run("select refuse; event 1 xferready; xfer done 6 4 24");
    Main().ScanMenuClick();

    EXPECT_EQ(seen.rows, (QStringList{"Fake Source A / Fake Makers A / Fake Family A",
                                      "Fake Source B / Fake Makers B / Fake Family B"}));
    EXPECT_EQ(seen.current, "Fake Source A");  // the manager's default
    EXPECT_TRUE(seen.proxyOffScreen);
    EXPECT_TRUE(seen.ownedByProxy);
    EXPECT_EQ(fake.Report("opened"), "Fake Source B");
    EXPECT_TRUE(IsPattern(Main().WorkingImage, 6, 4, 24));
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(TopLevel("Acquire Proxy"), nullptr);
}
