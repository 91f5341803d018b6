// The format read from a file's name, and each format's way through LoadPicture/SavePicture.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "common/Errors.h"
#include "image/PictureFile.h"
#include "SampleFiles.h"

TEST(FormatOfName, NewNamesAndOnlyTheFilesOwnName) {
    struct Case {
        const char* path;
        PictureFormat format;
    } cases[] = {
        {"x.jpeg", PictureFormat::Jpeg},
        {"PHOTO.JPEG", PictureFormat::Jpeg},
        {"a.JpE", PictureFormat::Jpeg},
        {"b.jfif", PictureFormat::Jpeg},
        {"scan.png", PictureFormat::Png},
        {"SCAN.PNG", PictureFormat::Png},
        {"page.tif", PictureFormat::Tiff},
        {"page.TIFF", PictureFormat::Tiff},
        {"pics.bmp/out.jpg", PictureFormat::Jpeg},
        {"pics.bmp/photo.jpg", PictureFormat::Jpeg},
        {"/old.jpg/new.bmp", PictureFormat::Bitmap},
        {"a.png/readme", PictureFormat::Refused},
        {"photos.jpg/", PictureFormat::Refused},
        {"notes.png.txt", PictureFormat::Refused},
        {"photo.jpeg.bak", PictureFormat::Refused},
        {"x.tiff.gz", PictureFormat::Refused},
        {"tif", PictureFormat::Refused},
        {"a.bmp.png", PictureFormat::Bitmap},
        {"scan.jpg.png", PictureFormat::Jpeg},
        {"dir/.png", PictureFormat::Png},
        {"IMG_0001.HEIC", PictureFormat::Heif},
        {"a.heif", PictureFormat::Heif},
        {"b.AvIf", PictureFormat::Heif},
        {"c.webp", PictureFormat::WebP},
        {"d.JXL", PictureFormat::Jxl},
        {"e.webp.txt", PictureFormat::Refused},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatOfName(c.path), c.format) << c.path;
}

// Each format written and read back by name. PNG, TIFF and BMP are lossless; JPEG is near.
TEST(FormatOfName, EveryFormatSavesAndLoadsByName) {
    ScratchFolder scratch;
    std::filesystem::create_directories(scratch.path / "pics.bmp");
    const Bitmap picture = AsymmetricPicture();
    struct Case {
        const char* name;
        const char* leadingBytes;
        bool lossless;
    } cases[] = {
        {"a.bmp", "BM", true},
        {"pics.bmp/out.jpg", "\xFF\xD8\xFF", false},
        {"b.JPEG", "\xFF\xD8\xFF", false},
        {"c.png", "\x89PNG", true},
        {"d.tif", "II*", true},
        {"e.TIFF", "II*", true},
        {"f.webp", "RIFF", false},
    };
    for (const Case& c : cases) {
        const std::string path = scratch / c.name;
        SavePicture(path, picture, FormatOfName(path));
        const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
        const std::vector<std::uint8_t> leading(c.leadingBytes, c.leadingBytes + std::strlen(c.leadingBytes));
        ASSERT_GE(bytes.size(), leading.size()) << c.name;
        EXPECT_TRUE(std::equal(leading.begin(), leading.end(), bytes.begin())) << c.name;
        const Bitmap loaded = LoadPicture(path, FormatOfName(path));
        ASSERT_EQ(loaded.Width(), picture.Width()) << c.name;
        ASSERT_EQ(loaded.Height(), picture.Height()) << c.name;
        if (c.lossless) EXPECT_EQ(loaded, picture) << c.name;
    }
    // HEIF and JPEG XL are read, never written: nothing is saved under such a name.
    for (const char* name : {"g.heic", "h.avif", "i.jxl"}) {
        const std::string path = scratch / name;
        EXPECT_THROW(SavePicture(path, picture, FormatOfName(path)), EFileError) << name;
        EXPECT_FALSE(std::filesystem::exists(path)) << name;
    }
}

// A file that is not what its name says is an error, never a crash, in each format.
TEST(FormatOfName, AFileOfAnotherFormatIsRefused) {
    ScratchFolder scratch;
    const std::string bmp = scratch / "really.bmp";
    SavePicture(bmp, AsymmetricPicture(), PictureFormat::Bitmap);
    for (const PictureFormat format : {PictureFormat::Jpeg, PictureFormat::Png, PictureFormat::Tiff,
                                       PictureFormat::Heif, PictureFormat::WebP, PictureFormat::Jxl})
        EXPECT_THROW(LoadPicture(bmp, format), ECorvalux) << int(format);
}
