// The Deform menu and the resize window, on the real main window.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "AppFixture.h"
#include "geometry/Geometry.h"

namespace {
struct Proposal {
    int width, height;
    bool operator==(const Proposal&) const = default;
};
Proposal Proposed(const TResizeForm& form) { return {form.WidthScrollBar->value(), form.HeightScrollBar->value()}; }
}  // namespace

TEST_F(AppTest, ResizeWindowKeepsTheRatioByTruncating) {
    Start(WriteBmp("start.bmp", TestPicture(640, 480)));
    TResizeForm& form = *forms->ResizeForm;
    Main().ResizeMenuClick();
    EXPECT_EQ(form.HeightScrollBar->maximum(), 480 * 2500 / 640);
    form.RatioCheckBox->click();
    EXPECT_TRUE(form.HeightScrollBar->isHidden());
    form.WidthScrollBar->setValue(320);
    EXPECT_EQ(Proposed(form), (Proposal{320, 240}));
    form.WidthScrollBar->setValue(321);
    EXPECT_EQ(Proposed(form), (Proposal{321, 240}));  // 240.75 truncated
    EXPECT_EQ(form.NewWidthLabel->text(), "321");
    EXPECT_EQ(form.NewHeightLabel->text(), "240");
    form.RatioCheckBox->click();
    EXPECT_FALSE(form.HeightScrollBar->isHidden());
}

TEST_F(AppTest, StandardSizeIsCutToTheHeightMaximum) {
    Start(WriteBmp("start.bmp", TestPicture(2000, 100)));
    TResizeForm& form = *forms->ResizeForm;
    Main().ResizeMenuClick();
    form.RatioCheckBox->setChecked(true);
    form.StandardButtons[2]->click();  // 800 X 600
    EXPECT_FALSE(form.RatioCheckBox->isChecked());
    EXPECT_FALSE(form.HeightScrollBar->isHidden());
    EXPECT_EQ(Proposed(form), (Proposal{800, 125}));
}

TEST_F(AppTest, HeightMaximumCarriesOverUntilActivation) {
    Start(WriteBmp("wide.bmp", TestPicture(1000, 100)));
    TResizeForm& form = *forms->ResizeForm;
    Main().ResizeMenuClick();
    EXPECT_EQ(form.HeightScrollBar->maximum(), 250);
    form.hide();
    Main().OpenFile(WriteBmp("tall.bmp", TestPicture(100, 1000)));
    // The fill sets the height while the old maximum still holds; showing then raises it.
    Main().ResizeMenuClick();
    EXPECT_EQ(form.HeightScrollBar->maximum(), 25000);
    EXPECT_EQ(form.HeightScrollBar->value(), 250);
}

// Choosing Resize again while the window is open refreshes the maximum, as showing it does:
// a stale one would distort the picture with the ratio kept.
TEST_F(AppTest, ResizeAgainWhileOpenRecomputesTheMaximum) {
    Start(WriteBmp("wide.bmp", TestPicture(1000, 100)));
    TResizeForm& form = *forms->ResizeForm;
    Main().ResizeMenuClick();
    EXPECT_EQ(form.HeightScrollBar->maximum(), 250);
    Main().RightMenuClick();  // now 100 x 1000, the window still open
    ASSERT_TRUE(form.isVisible());
    Main().ResizeMenuClick();
    EXPECT_EQ(form.HeightScrollBar->maximum(), 25000);
    EXPECT_EQ(form.HeightLabel->text(), "1000");
}

// The smoothing follows the sizes the labels show, not the picture at OK time.
TEST_F(AppTest, ResizeSmoothingIsJudgedByTheLabels) {
    struct Case {
        int shownWidth, shownHeight, pictureWidth, pictureHeight;
        bool smoothed;
    } cases[] = {{40, 30, 80, 60, true}, {80, 60, 40, 30, false}};
    for (const Case& c : cases) {
        Start(WriteBmp("shown.bmp", TestPicture(c.shownWidth, c.shownHeight)));
        TResizeForm& form = *forms->ResizeForm;
        Main().ResizeMenuClick();
        Main().OpenFile(WriteBmp("now.bmp", TestPicture(c.pictureWidth, c.pictureHeight)));
        form.RatioCheckBox->setChecked(false);
        form.RatioCheckBoxClick();
        form.WidthScrollBar->setValue(60);  // between the two sizes
        form.HeightScrollBar->setValue(45);
        form.InterpolationCheckBox->setChecked(true);
        form.OKButton->click();
        const Bitmap plain = ResizeNearest(TestPicture(c.pictureWidth, c.pictureHeight), 60, 45);
        EXPECT_EQ(Main().WorkingImage != plain, c.smoothed) << c.shownWidth;
        forms.reset();
    }
}

TEST_F(AppTest, ResizeWindowRefusesAMaximumBelowTheMinimum) {
    Start(WriteBmp("narrow.bmp", TestPicture(2600, 10)));
    Main().ResizeMenuClick();
    const auto shown = ui.Take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Kind, "Information");
    EXPECT_NE(shown[0].Text.find("at most 9 pixels"), std::string::npos) << shown[0].Text;
    EXPECT_EQ(forms->ResizeForm->HeightScrollBar->maximum(), 2500);
    EXPECT_TRUE(forms->ResizeForm->isVisible());
}

TEST_F(AppTest, UnchangedPositionRunsNoHandler) {
    Start(WriteBmp("start.bmp", TestPicture(300, 200)));
    TResizeForm& form = *forms->ResizeForm;
    Main().ResizeMenuClick();
    form.NewWidthLabel->setText("marker");
    form.WidthScrollBar->setValue(300);
    EXPECT_EQ(form.NewWidthLabel->text(), "marker");
}

TEST_F(AppTest, ResizeSmoothsOnlyEnlargementsAndUndoes) {
    const Bitmap start = TestPicture(40, 30);
    struct Case {
        int width, height;
        bool interpolate, smoothed;
    } cases[] = {{40, 60, true, true}, {80, 60, false, false}, {20, 15, true, false}, {80, 10, true, true}};
    for (const Case& c : cases) {
        Start(WriteBmp("start.bmp", start));
        Main().ResizeOkClick(c.width, c.height, c.interpolate);
        EXPECT_EQ(Main().WorkingImage.Width(), c.width);
        EXPECT_EQ(Main().Selection, (TRect{0, 0, c.width - 1, c.height - 1}));
        const bool plain = Main().WorkingImage == ResizeNearest(start, c.width, c.height);
        EXPECT_EQ(plain, !c.smoothed) << c.width << "x" << c.height;
        Main().UndoMenuClick();
        EXPECT_EQ(Main().WorkingImage, start);
        forms.reset();
    }
}

TEST_F(AppTest, CropAndTurnsUndoToTheOldSize) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    const Bitmap start = Main().WorkingImage;
    Main().Selection = {10, 5, 49, 14};  // reaches past the right edge
    Main().CropMenuClick();
    ASSERT_EQ(Main().WorkingImage.Width(), 40);
    EXPECT_EQ(Main().WorkingImage.GetColor(0, 0), start.GetColor(10, 5));
    EXPECT_EQ(Main().WorkingImage.GetColor(39, 9), 0u);  // outside the old picture: black
    EXPECT_EQ(Main().Selection, (TRect{0, 0, 39, 9}));
    Main().UndoMenuClick();
    EXPECT_EQ(Main().WorkingImage, start);

    Main().RightMenuClick();
    EXPECT_EQ(Main().WorkingImage.Width(), 30);
    EXPECT_EQ(Main().ClientSize(), QSize(260, 40));
    Main().UndoMenuClick();
    EXPECT_EQ(Main().WorkingImage, start);
    Main().LeftMenuClick();
    Main().RightMenuClick();
    EXPECT_EQ(Main().WorkingImage, start);
}
