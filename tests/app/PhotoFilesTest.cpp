// Photos through the main window: upright on open, metadata carried to a saved JPEG, none for
// a pasted picture, and the new formats by name.
#include <QApplication>
#include <QClipboard>
#include <QColorSpace>
#include <QImage>
#include <QPushButton>

#include <cstdlib>

#include <filesystem>
#include <functional>

#include "AppFixture.h"
#include "image/ColourCodes.h"
#include "image/Exif.h"
#include "app/Main.h"
#include "image/PictureFile.h"

namespace {
std::string Sample(const std::string& relative) {
    return (std::filesystem::path(CORVALUX_TESTDATA) / relative).string();
}

QByteArray ProfileForCodes(const HeifColourCodes& codes) {
    const std::vector<std::uint8_t> profile = IccProfileForCodes(codes);
    return QByteArray(reinterpret_cast<const char*>(profile.data()), qsizetype(profile.size()));
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

// The window and the retouch window show a picture in the colours its profile gives, while the
// stored numbers stay as they were and the profile comes back from a retouch.
TEST_F(AppTest, APictureShowsInItsProfilesColours) {
    const QPointF white(0.3127, 0.3290), red(0.64, 0.33), green(0.30, 0.60), blue(0.15, 0.06);
    const QByteArray swapped = QColorSpace(white, green, red, blue, QColorSpace::TransferFunction::SRgb).iccProfile();
    using Check = std::function<bool(QColor)>;
    const auto near = [](int r, int g, int b) {
        return Check([=](QColor c) { return std::abs(c.red() - r) + std::abs(c.green() - g) + std::abs(c.blue() - b) <= 6; });
    };
    const struct {
        const char* name;
        QByteArray profile;
        Check shown;
    } cases[] = {
        {"none", {}, near(200, 40, 40)},
        {"sRGB", QColorSpace(QColorSpace::SRgb).iccProfile(), near(200, 40, 40)},
        {"red and green swapped", swapped, near(40, 200, 40)},
        // The wider gamut's numbers stand for a more saturated red.
        {"Adobe RGB", QColorSpace(QColorSpace::AdobeRgb).iccProfile(),
         [](QColor c) { return c.red() > 220 && c.green() < 40 && c.blue() < 40; }},
        {"Display P3 from a HEIF file's code points", ProfileForCodes({12, 13, 1, true}),
         [](QColor c) { return c.red() > 215 && c.green() < 40 && c.blue() < 40; }},
        {"not a profile", QByteArray("ICC_PROFILE but not one", 23), near(200, 40, 40)},
    };
    Start(WriteBmp("start.bmp", Bitmap(30, 20)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Main().WorkingImage = Bitmap(30, 20);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x) Main().WorkingImage.SetColor(x, y, PackColor(200, 40, 40));
        Main().WorkingMetadata.Segments = IccSegments(reinterpret_cast<const std::uint8_t*>(c.profile.data()),
                                                      std::size_t(c.profile.size()));
        const PictureMetadata metadata = Main().WorkingMetadata;
        Main().ReDraw();
        EXPECT_TRUE(c.shown(Main().Canvas().pixelColor(5, 5))) << Main().Canvas().pixelColor(5, 5).name().toStdString();

        Main().RetouchMenuClick();
        TRetouchForm& retouch = *forms->RetouchForm;
        EXPECT_TRUE(c.shown(retouch.Image->grab().toImage().pixelColor(5, 5)));
        retouch.OKButton->click();
        EXPECT_EQ(Main().WorkingImage.GetColor(5, 5), PackColor(200, 40, 40));
        EXPECT_EQ(Main().WorkingMetadata, metadata);
    }
}
