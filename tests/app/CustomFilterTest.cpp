// The custom filter window with the real main window: the menu command, OK, Cancel, the
// syntax check, an overflow, and the filter file dialogs through the user interface seam.
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <random>
#include <sstream>

#include "AppFixture.h"
#include "custom/Custom.h"
#include "retouch/Palette.h"
#include "capture/Webcam.h"

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
    EXPECT_FALSE(Main().OwnControlsEnabled());
    EXPECT_TRUE(Form().isEnabled());  // not disabled with the main window
    EXPECT_FALSE(Enabled("OpenMenu"));
    EXPECT_FALSE(Main().centralWidget()->isEnabled());

    Type("255 - R1", "255-G1", " 255-B1 ");
    Click(Form().OKButton);
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(Main().WorkingImage, Inverted(original, {5, 4, 20, 12}));
    EXPECT_FALSE(Form().isVisible());
    EXPECT_TRUE(Main().OwnControlsEnabled());

    Main().UndoMenuClick();
    EXPECT_EQ(Main().WorkingImage, original);
}

// Only the main window is held while the custom filter is open: the palette's OK and the
// webcam's Snapshot, windows of their own that Qt counts as its children, keep working.
TEST_F(CustomFilterTest, OtherWindowsStayUsable) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    forms->PaletteForm->show();
    forms->VideoForm->show();
    forms->VideoForm->SnapshotButton->setEnabled(true);
    Main().CustomfilterMenuClick();
    EXPECT_FALSE(Main().OwnControlsEnabled());
    EXPECT_TRUE(forms->PaletteForm->OKButton->isEnabled());
    EXPECT_TRUE(forms->VideoForm->SnapshotButton->isEnabled());
    for (const char* off : {"OpenMenu", "PasteMenu", "FiltersMenu", "ExitMenu"}) EXPECT_FALSE(Enabled(off)) << off;
    Click(Form().CancelButton);
    for (const char* on : {"OpenMenu", "PasteMenu", "FiltersMenu", "ExitMenu"}) EXPECT_TRUE(Enabled(on)) << on;
    EXPECT_TRUE(Main().centralWidget()->isEnabled());
}

// A long filter cancelled from its progress dialog changes nothing: picture, selection,
// Undo and name stay as they were.
TEST_F(CustomFilterTest, CancellingALongFilterLeavesEverything) {
    Bitmap noisy(900, 700);
    std::mt19937 random(3);
    for (int y = 0; y < noisy.Height(); ++y)
        for (int x = 0; x < noisy.Width(); ++x) noisy.SetColor(x, y, PackedColor(random() & 0xFFFFFF));
    const std::string path = WriteBmp("noisy.bmp", noisy);
    Start(path);
    Main().FilterMenuClick("invert-all");  // so that Undo holds something to keep
    Main().Selection = {5, 6, 800, 600};
    const Bitmap picture = Main().WorkingImage, undo = Main().UndoImage;
    // The dialog shows before the work starts, so Cancel is pressed however fast the filter is.
    PressCancelInEveryProgressDialog();
    Main().CustomfilterMenuClick();
    Type("255-R1", "SQRT(G1*B1)", "(R1+G1+B1)/3");
    Click(Form().OKButton);
    EXPECT_EQ(cancelledDialogs, 1);
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(Main().WorkingImage, picture);
    EXPECT_EQ(Main().UndoImage, undo);
    EXPECT_EQ(Main().Selection, (TRect{5, 6, 800, 600}));
    EXPECT_EQ(Main().FileName, path);
    EXPECT_TRUE(Form().isVisible());
    Click(Form().CancelButton);
    EXPECT_TRUE(Enabled("UndoMenu"));
}

TEST_F(CustomFilterTest, CancelLeavesThePictureAndEnablesTheMainWindow) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    const Bitmap original = Main().WorkingImage;
    Main().CustomfilterMenuClick();
    Type("0", "0", "0");
    Click(Form().CancelButton);
    EXPECT_EQ(Main().WorkingImage, original);
    EXPECT_FALSE(Form().isVisible());
    EXPECT_TRUE(Main().OwnControlsEnabled());
}

TEST_F(CustomFilterTest, ASyntaxErrorIsReportedAndNothingIsApplied) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    const Bitmap original = Main().WorkingImage;
    Main().CustomfilterMenuClick();
    Type("(R1+2", "G1", "B1");
    Click(Form().OKButton);
    EXPECT_EQ(ui.Take(),
              (std::vector<TShownBox>{{"Information", "Red formula: an operator or ) is expected at position 6."}}));
    EXPECT_EQ(Main().WorkingImage, original);
    EXPECT_FALSE(Enabled("UndoMenu"));
    EXPECT_TRUE(Form().isVisible());
    EXPECT_FALSE(Main().OwnControlsEnabled());
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
    EXPECT_FALSE(Main().OwnControlsEnabled());
    Click(Form().CancelButton);
    EXPECT_TRUE(Main().OwnControlsEnabled());
}

// A formula far past Qt's default line-edit limit is loaded, applied and saved whole.
TEST_F(CustomFilterTest, LongFormulasAreNeverCut) {
    Start(WriteBmp("start.bmp", TestPicture(4, 3)));
    std::string longRed = "R1";
    while (longRed.size() < 40000) longRed += "+0";
    longRed += "+1";
    const std::string path = (folder / "long.fil").string();
    std::ofstream(path, std::ios::binary) << longRed << "\r\nG1\r\nB1\r\n";
    Main().CustomfilterMenuClick();
    ui.FilterOpenAnswers = {path};
    Click(Form().LoadButton);
    EXPECT_EQ(Form().REdit->text().size(), qsizetype(longRed.size()));
    const std::string again = (folder / "again.fil").string();
    ui.FilterSaveAnswers = {again};
    Click(Form().SaveButton);
    std::ostringstream written;
    written << std::ifstream(again, std::ios::binary).rdbuf();
    EXPECT_EQ(written.str(), longRed + "\r\nG1\r\nB1\r\n");
    const PackedColor before = Main().WorkingImage.GetColor(0, 0);
    Click(Form().OKButton);
    EXPECT_EQ(RedOf(Main().WorkingImage.GetColor(0, 0)), std::min(255, RedOf(before) + 1));
    EXPECT_TRUE(ui.Take().empty());
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
