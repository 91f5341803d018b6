// Photos through the main window: upright on open, metadata carried to a saved JPEG, none for
// a pasted picture, and the new formats by name.
#include <QApplication>
#include <QClipboard>
#include <QImage>

#include <filesystem>

#include "AppFixture.h"
#include "Exif.h"
#include "Main.h"
#include "PictureFile.h"

namespace {
std::string Sample(const std::string& relative) {
    return (std::filesystem::path(CORVALUX_TESTFILES) / relative).string();
}

bool HasExif(const PictureMetadata& metadata) {
    for (const MetadataSegment& segment : metadata.Segments)
        if (IsExifSegment(segment)) return true;
    return false;
}
}  // namespace

TEST_F(AppTest, APhotoOpensUprightAndKeepsItsMetadataThroughSave) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    const std::string photo = Sample("orientation/Landscape_6.jpg");
    ui.OpenAnswers = {photo};
    Main().OpenMenuClick();
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(Main().WorkingImage.Width(), 400);  // stored 267 x 400 on its side
    EXPECT_EQ(Main().WorkingImage.Height(), 267);
    EXPECT_EQ(ExifOrientation(Main().WorkingMetadata), 6);

    const std::string saved = (folder / "saved.jpg").string();
    ui.SaveAnswers = {saved};
    Main().SaveasMenuClick();
    EXPECT_TRUE(ui.Take().empty());
    const LoadedPicture reopened = LoadPictureFile(saved, PictureFormat::Jpeg, OrientationRule::AsStored);
    EXPECT_TRUE(HasExif(reopened.Metadata));
    EXPECT_EQ(ExifOrientation(reopened.Metadata), 1);
    EXPECT_EQ(reopened.Picture.Width(), 400);
}

TEST_F(AppTest, APastedPictureCarriesNoMetadata) {
    Start();
    ui.OpenAnswers = {Sample("photos/exif-72dpi-int.jpg")};
    Main().OpenMenuClick();
    ASSERT_TRUE(HasExif(Main().WorkingMetadata));

    QImage pasted(33, 17, QImage::Format_RGB32);
    pasted.fill(qRgb(10, 200, 30));
    QApplication::clipboard()->setImage(pasted);
    Main().PasteMenuClick();
    EXPECT_TRUE(Main().WorkingMetadata.Empty());
    const std::string saved = (folder / "pasted.jpg").string();
    ui.SaveAnswers = {saved};
    Main().SaveasMenuClick();
    EXPECT_FALSE(HasExif(LoadPictureFile(saved, PictureFormat::Jpeg).Metadata));
    EXPECT_TRUE(ui.Take().empty());
}

TEST_F(AppTest, PngAndTiffOpenAndSaveByName) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    for (const char* name : {"scan.png", "page.tif", "photo.jpeg"}) {
        const std::string path = (folder / name).string();
        ui.SaveAnswers = {path};
        Main().SaveasMenuClick();
        ui.OpenAnswers = {path};
        Main().OpenMenuClick();
        EXPECT_TRUE(ui.Take().empty()) << name;
        EXPECT_EQ(Main().WorkingImage.Width(), 40) << name;
        EXPECT_EQ(Main().FileName, path);
    }
    EXPECT_EQ(LoadPicture((folder / "page.tif").string(), PictureFormat::Tiff), TestPicture(40, 30));
}

// Undo gives back the photo's metadata with its pixels: a scan replaces both, and its undo
// must not leave the photo without its EXIF for the next JPEG save.
TEST_F(AppTest, UndoBringsBackThePhotosMetadata) {
    Start(Sample("orientation/Landscape_6.jpg"));
    ASSERT_TRUE(HasExif(Main().WorkingMetadata));
    const Bitmap photo = Main().WorkingImage;
    // What a scan does to the picture.
    Main().UpdateUndo();
    Main().WorkingImage = TestPicture(20, 10);
    Main().WorkingMetadata = {};
    Main().UndoMenuClick();
    EXPECT_EQ(Main().WorkingImage, photo);
    EXPECT_TRUE(HasExif(Main().WorkingMetadata));
    // A filter's undo does the same.
    Main().FilterMenuClick("invert-all");
    Main().WorkingMetadata = {};
    Main().UndoMenuClick();
    EXPECT_TRUE(HasExif(Main().WorkingMetadata));
}

// A save that has to leave metadata out goes ahead and says so.
TEST_F(AppTest, ASaveSaysWhatMetadataItLeftOut) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    // A profile longer than 255 JPEG segments can number.
    std::vector<std::uint8_t> icc = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
    icc.resize(icc.size() + 255 * 65519 + 1, 7);
    Main().WorkingMetadata.Segments.push_back({MarkerApp2, std::move(icc)});
    ui.SaveAnswers = {(folder / "out.jpg").string()};
    Main().SaveasMenuClick();
    const std::vector<TShownBox> shown = ui.Take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Kind, "Information");
    EXPECT_NE(shown[0].Text.find("ICC profile"), std::string::npos) << shown[0].Text;
    EXPECT_TRUE(std::filesystem::exists(folder / "out.jpg"));
}
