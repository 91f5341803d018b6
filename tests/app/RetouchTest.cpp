// The retouch and palette windows on the real main window, driven with mouse events.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <filesystem>

#include "AppFixture.h"
#include "filters/Feather.h"

namespace {
QWidget* ImageWidget(TRetouchForm& form) { return form.Image; }
}  // namespace

TEST_F(AppTest, RetouchOkTakesThePaintedPictureBack) {
    const std::string path = WriteBmp("start.bmp", Bitmap(60, 40));  // black
    Start(path);
    Main().Selection = {5, 5, 20, 20};
    Main().RetouchMenuClick();
    TRetouchForm& retouch = *forms->RetouchForm;
    ASSERT_TRUE(retouch.isVisible());
    EXPECT_FALSE(Main().isVisible());
    const std::string handOff = Main().RetouchFileName();
    EXPECT_TRUE(std::filesystem::exists(handOff));
    EXPECT_NE(handOff.find("temp00.bmp"), std::string::npos);
    EXPECT_NE(std::filesystem::path(handOff).parent_path(), std::filesystem::current_path());

    retouch.Colors.SetColor(PackColor(255, 255, 255));
    QTest::mousePress(ImageWidget(retouch), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(ImageWidget(retouch), QPoint(30, 10));
    QTest::mouseRelease(ImageWidget(retouch), Qt::LeftButton, {}, QPoint(30, 10));
    EXPECT_EQ(retouch.Picture().GetColor(10, 10), PackColor(127, 127, 127));
    EXPECT_EQ(retouch.Picture().GetColor(30, 10), PackColor(127, 127, 127));
    EXPECT_EQ(retouch.Picture().GetColor(20, 10), 0u);  // nothing between two move events

    retouch.OKButton->click();
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_FALSE(retouch.isVisible());
    EXPECT_TRUE(Main().isVisible());
    EXPECT_EQ(Main().WorkingImage, retouch.Picture());
    EXPECT_EQ(Main().Selection, (TRect{0, 0, 59, 39}));
    EXPECT_EQ(Main().windowTitle(), QString::fromStdString("Corvalux - " + path));
    EXPECT_FALSE(std::filesystem::exists(handOff));
    Main().UndoMenuClick();
    EXPECT_EQ(Main().WorkingImage, Bitmap(60, 40));
}

TEST_F(AppTest, RetouchCancelLeavesThePictureAndReloadStartsAgain) {
    Start(WriteBmp("start.bmp", TestPicture(50, 30)));
    const Bitmap start = Main().WorkingImage;
    Main().RetouchMenuClick();
    TRetouchForm& retouch = *forms->RetouchForm;
    retouch.DarkenRadioButton->setChecked(true);
    QTest::mouseClick(ImageWidget(retouch), Qt::LeftButton, {}, QPoint(25, 15));
    EXPECT_NE(retouch.Picture(), start);
    retouch.ReloadButton->click();
    EXPECT_EQ(retouch.Picture(), start);
    QTest::mouseClick(ImageWidget(retouch), Qt::LeftButton, {}, QPoint(25, 15));
    const std::string handOff = Main().RetouchFileName();
    retouch.CancelButton->click();
    EXPECT_EQ(Main().WorkingImage, start);
    EXPECT_TRUE(Main().isVisible());
    EXPECT_FALSE(std::filesystem::exists(handOff));
    EXPECT_TRUE(Enabled("UndoMenu"));
    EXPECT_TRUE(Enabled("SaveMenu"));
}

TEST_F(AppTest, RetouchWindowSizesItselfAroundThePicture) {
    struct Case {
        int width, height;
        QSize client;
    } cases[] = {{100, 80, {260, 453}}, {300, 416, {460, 453}}, {300, 417, {460, 465}}};
    for (const Case& c : cases) {
        Start(WriteBmp("start.bmp", TestPicture(c.width, c.height)));
        Main().RetouchMenuClick();
        EXPECT_EQ(forms->RetouchForm->size(), c.client) << c.width << "x" << c.height;
        forms->RetouchForm->CancelButton->click();
        forms.reset();
    }
}

TEST_F(AppTest, RightButtonDragPicksColours) {
    Bitmap picture = TestPicture(40, 30);
    Start(WriteBmp("start.bmp", picture));
    Main().RetouchMenuClick();
    TRetouchForm& retouch = *forms->RetouchForm;
    QTest::mousePress(ImageWidget(retouch), Qt::RightButton, {}, QPoint(3, 4));
    QTest::mouseMove(ImageWidget(retouch), QPoint(7, 9));
    const PackedColor c = picture.GetColor(7, 9);
    EXPECT_EQ(retouch.Colors.CurrentColor(), c);
    EXPECT_EQ(retouch.Colors.SwatchColor(), c);
    EXPECT_EQ(retouch.Colors.GLabel->text(), QString::number(GreenOf(c)));
    QTest::mouseRelease(ImageWidget(retouch), Qt::RightButton, {}, QPoint(7, 9));
    EXPECT_FALSE(retouch.Picking);
    EXPECT_EQ(retouch.Picture(), picture);
}

TEST_F(AppTest, PaletteFeathersTheSelectionOnOk) {
    Start(WriteBmp("start.bmp", TestPicture(20, 20)));
    const Bitmap start = Main().WorkingImage;
    Main().Selection = {4, 4, 7, 7};
    Main().FeatherMenuClick();
    TPaletteForm& palette = *forms->PaletteForm;
    ASSERT_TRUE(palette.isVisible());
    palette.Colors.ColorGrid->Choose(15);  // white
    EXPECT_EQ(palette.Colors.RLabel->text(), "255");
    palette.OKButton->click();
    EXPECT_FALSE(palette.isVisible());
    const Bitmap& result = Main().WorkingImage;
    for (const QPoint p : {QPoint(4, 4), QPoint(7, 4), QPoint(4, 7)})
        EXPECT_EQ(result.GetColor(p.x(), p.y()), PackColor(255, 255, 255));
    EXPECT_EQ(result.GetColor(6, 6), start.GetColor(6, 6));
    EXPECT_NE(result.GetColor(7, 7), start.GetColor(7, 7));
    Bitmap expected = start;
    Feather(expected, {4, 4, 7, 7}, PackColor(255, 255, 255));
    EXPECT_EQ(result, expected);
}

TEST_F(AppTest, PaletteCancelKeepsUndoAndTheColourStays) {
    Start(WriteBmp("start.bmp", TestPicture(20, 20)));
    const Bitmap start = Main().WorkingImage;
    Main().FeatherMenuClick();
    TPaletteForm& palette = *forms->PaletteForm;
    palette.Colors.GScrollBar->setValue(70);
    palette.CancelButton->click();
    EXPECT_EQ(Main().WorkingImage, start);
    EXPECT_TRUE(Enabled("UndoMenu"));
    Main().FeatherMenuClick();
    EXPECT_EQ(palette.Colors.GScrollBar->value(), 70);
    // A grid colour equal to the bars changes nothing.
    palette.Colors.SetColor(PackColor(0, 0, 0));
    palette.Colors.RLabel->setText("marker");
    palette.Colors.ColorGrid->Choose(0);  // black, as the bars already are
    EXPECT_EQ(palette.Colors.RLabel->text(), "marker");
    EXPECT_EQ(palette.Colors.SwatchColor(), PackColor(0, 0, 0));
}

// Each tool shows its picture beside it, the eyedropper's beside the words that say which
// button picks a colour.
TEST_F(AppTest, RetouchToolsShowTheirPictures) {
    Start(WriteBmp("start.bmp", Bitmap(60, 40)));
    Main().RetouchMenuClick();
    TRetouchForm& retouch = *forms->RetouchForm;
    QLabel* words = nullptr;
    for (QLabel* label : retouch.findChildren<QLabel*>())
        if (label->text() == "Right mouse button") words = label;
    ASSERT_NE(words, nullptr);
    const struct {
        QLabel* Icon;
        const char* Hint;
        QWidget* Beside;
    } tools[] = {{retouch.Image1, "Airbrush", retouch.AirBrushRadioButton},
                 {retouch.Image2, "Lighten", retouch.LightenRadioButton},
                 {retouch.Image3, "Darken", retouch.DarkenRadioButton},
                 {retouch.Image4, "Eyedropper", words}};
    for (const auto& tool : tools) {
        SCOPED_TRACE(tool.Hint);
        ASSERT_NE(tool.Icon, nullptr);
        EXPECT_FALSE(tool.Icon->pixmap().isNull());
        EXPECT_EQ(tool.Icon->toolTip(), tool.Hint);
        EXPECT_TRUE(tool.Icon->isVisible());
        // On the same line as its tool, to its left.
        const QRect icon = tool.Icon->geometry(), beside = tool.Beside->geometry();
        EXPECT_LT(icon.right(), beside.left());
        EXPECT_TRUE(icon.top() <= beside.center().y() && beside.center().y() <= icon.bottom());
    }
    retouch.CancelButton->click();
}
