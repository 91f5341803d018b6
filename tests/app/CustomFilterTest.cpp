// The custom filter window with the real main window: the menu command, OK, Cancel, the
// syntax check, an overflow, and the filter file dialogs through the user interface seam.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <sstream>

#include "AppFixture.h"
#include "Custom.h"

namespace {
class CustomFilterTest : public AppTest {
protected:
    TCustomFilterForm& Form() { return *forms->CustomFilterForm; }
    void Type(const char* r, const char* g, const char* b) {
        Form().REdit->setText(QString::fromLatin1(r));
        Form().GEdit->setText(QString::fromLatin1(g));
        Form().BEdit->setText(QString::fromLatin1(b));
    }
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
};

Bitmap Inverted(const Bitmap& picture, const TRect& area) {
    Bitmap result = picture;
    for (int y = area.Top; y <= area.Bottom; ++y)
        for (int x = area.Left; x <= area.Right; ++x) {
            const PackedColor c = picture.GetColor(x, y);
            result.SetColor(x, y, PackColor(255 - RedOf(c), 255 - GreenOf(c), 255 - BlueOf(c)));
        }
    return result;
}
}  // namespace

TEST_F(CustomFilterTest, MenuDisablesTheMainWindowAndOkAppliesToTheSelection) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    const Bitmap original = Main().WorkingImage;
    Main().Selection = {5, 4, 20, 12};
    Main().CustomfilterMenuClick();
    EXPECT_TRUE(Form().isVisible());
    EXPECT_FALSE(Main().isEnabled());
    EXPECT_TRUE(Form().isEnabled());  // not disabled with the main window

    Type("255 - R1", "255-G1", " 255-B1 ");
    Click(Form().OKButton);
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(Main().WorkingImage, Inverted(original, {5, 4, 20, 12}));
    EXPECT_FALSE(Form().isVisible());
    EXPECT_TRUE(Main().isEnabled());

    Main().UndoMenuClick();
    EXPECT_EQ(Main().WorkingImage, original);
}

TEST_F(CustomFilterTest, CancelLeavesThePictureAndEnablesTheMainWindow) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    const Bitmap original = Main().WorkingImage;
    Main().CustomfilterMenuClick();
    Type("0", "0", "0");
    Click(Form().CancelButton);
    EXPECT_EQ(Main().WorkingImage, original);
    EXPECT_FALSE(Form().isVisible());
    EXPECT_TRUE(Main().isEnabled());
}

TEST_F(CustomFilterTest, ASyntaxErrorIsReportedAndNothingIsApplied) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    const Bitmap original = Main().WorkingImage;
    Main().CustomfilterMenuClick();
    Type("(R1+2", "G1", "B1");
    Click(Form().OKButton);
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Information", "Red formula: an operator or ) is expected at position 6."}}));
    EXPECT_EQ(Main().WorkingImage, original);
    EXPECT_FALSE(Enabled("UndoMenu"));
    EXPECT_TRUE(Form().isVisible());
    EXPECT_FALSE(Main().isEnabled());
}

TEST_F(CustomFilterTest, AnOverflowLeavesThePictureAndKeepsTheWindowOpen) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    const Bitmap original = Main().WorkingImage;
    Main().CustomfilterMenuClick();
    Type("1E4000*R1*1E4000", "G1", "B1");
    Click(Form().OKButton);
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Error", "Floating point overflow."}}));
    EXPECT_EQ(Main().WorkingImage, original);
    EXPECT_TRUE(Form().isVisible());
    EXPECT_FALSE(Main().isEnabled());
    Click(Form().CancelButton);
    EXPECT_TRUE(Main().isEnabled());
}

TEST_F(CustomFilterTest, FilterFilesGoThroughTheSeam) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    Main().CustomfilterMenuClick();
    const std::string path = (folder / "saved.fil").string();
    Type(" R1 * 2 ", "G1", "B1");
    ui.FilterSaveAnswers = {path};
    Click(Form().SaveButton);
    std::ostringstream written;
    written << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(written.str(), " R1 * 2 \r\nG1\r\nB1\r\n");

    Click(Form().ClearButton);
    ui.FilterOpenAnswers = {path};
    Click(Form().LoadButton);
    EXPECT_EQ(Form().REdit->text(), " R1 * 2 ");
    EXPECT_EQ(Form().windowTitle().toStdString(), "Custom filter - " + path);

    // Saving again over the same file asks first.
    ui.FilterSaveAnswers = {path};
    ui.ConfirmAnswers = {false};
    Click(Form().SaveButton);
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Confirm", "File exists. Overwrite?"}}));

    // A file that cannot be read shows the application's error box.
    ui.FilterOpenAnswers = {(folder / "missing.fil").string()};
    Click(Form().LoadButton);
    const auto shown = ui.Take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Kind, "Error");
    EXPECT_EQ(Form().REdit->text(), " R1 * 2 ");
    Click(Form().CancelButton);
}
