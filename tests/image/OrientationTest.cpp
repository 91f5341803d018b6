// EXIF orientation: the turn itself on a small asymmetric picture, and the eight sample photos
// that must all come out upright and alike.
#include "image/ExifUpright.h"

#include <gtest/gtest.h>

#include <cmath>

#include "SampleFiles.h"

namespace {
// 3 x 2 with a letter per pixel: a b c / d e f.
Bitmap Letters(const std::vector<std::string>& rows) {
    Bitmap picture(int(rows[0].size()), int(rows.size()));
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const std::uint8_t c = std::uint8_t(rows[y][x]);
            picture.SetColor(x, y, PackColor(c, std::uint8_t(c + 1), std::uint8_t(c + 2)));
        }
    return picture;
}

// The picture as 12 x 8 block means of its green channel: pictures of different sizes can be
// compared, and a wrong turn or mirror shows at once.
std::vector<double> Blocks(const Bitmap& picture) {
    constexpr int Across = 12, Down = 8;
    std::vector<double> sums(Across * Down, 0), counts(Across * Down, 0);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const int block = (y * Down / picture.Height()) * Across + x * Across / picture.Width();
            sums[block] += GreenOf(picture.GetColor(x, y));
            counts[block] += 1;
        }
    for (std::size_t i = 0; i < sums.size(); ++i) sums[i] /= counts[i];
    return sums;
}

double LargestBlockDifference(const Bitmap& a, const Bitmap& b) {
    const std::vector<double> x = Blocks(a), y = Blocks(b);
    double largest = 0;
    for (std::size_t i = 0; i < x.size(); ++i) largest = std::max(largest, std::abs(x[i] - y[i]));
    return largest;
}
}  // namespace

TEST(Orientation, EachValueTurnsAsAViewerShowsIt) {
    const Bitmap stored = Letters({"abc", "def"});
    const struct {
        int orientation;
        std::vector<std::string> shown;
    } cases[] = {
        {1, {"abc", "def"}},     {2, {"cba", "fed"}},     {3, {"fed", "cba"}},     {4, {"def", "abc"}},
        {5, {"ad", "be", "cf"}}, {6, {"da", "eb", "fc"}}, {7, {"fc", "eb", "da"}}, {8, {"cf", "be", "ad"}},
        {0, {"abc", "def"}},     {9, {"abc", "def"}},
    };
    for (const auto& c : cases) EXPECT_EQ(UprightPicture(stored, c.orientation), Letters(c.shown)) << c.orientation;
}

// Landscape_0 has no tag; 1 to 8 store the same picture turned and mirrored every way. Those
// stored on their side (5 to 8) were made smaller: 267 x 400, so 400 x 267 upright.
TEST(Orientation, TheEightSamplePhotosComeOutUprightAndAlike) {
    const Bitmap reference = LoadPicture(SamplePath("orientation/Landscape_1.jpg"), PictureFormat::Jpeg);
    ASSERT_EQ(reference.Width(), 600);
    ASSERT_EQ(reference.Height(), 400);
    // The check can tell a picture from its own turns and mirrors.
    for (int wrong = 2; wrong <= 8; ++wrong)
        EXPECT_GT(LargestBlockDifference(UprightPicture(reference, wrong), reference), 40.0) << wrong;
    for (int value = 0; value <= 8; ++value) {
        const std::string path = SamplePath("orientation/Landscape_" + std::to_string(value) + ".jpg");
        const LoadedPicture upright = LoadPictureFile(path, PictureFormat::Jpeg);
        EXPECT_EQ(upright.Picture.Width(), value >= 5 ? 400 : 600) << value;
        EXPECT_EQ(upright.Picture.Height(), value >= 5 ? 267 : 400) << value;
        // Each file was resized and compressed on its own, so they differ only by that noise.
        EXPECT_LT(LargestBlockDifference(upright.Picture, reference), 12.0) << value;

        const LoadedPicture stored = LoadPictureFile(path, PictureFormat::Jpeg, OrientationRule::AsStored);
        EXPECT_EQ(stored.Picture.Width(), value >= 5 ? 267 : 600) << value;
        EXPECT_EQ(UprightPicture(stored.Picture, std::max(value, 1)), upright.Picture) << value;
    }
}

TEST(Orientation, APhoneShotOpensUpright) {
    const std::string path = SamplePath("photos/hopper_orientation_6.jpg");
    const Bitmap stored = LoadPictureFile(path, PictureFormat::Jpeg, OrientationRule::AsStored).Picture;
    EXPECT_EQ(LoadPicture(path, PictureFormat::Jpeg), UprightPicture(stored, 6));
    EXPECT_NE(LoadPicture(path, PictureFormat::Jpeg), stored);
}
