// The scanner command's core: the first transferred DIB becomes a picture, pixel for pixel.
#include "Errors.h"
#include "FakeDibPattern.h"
#include "FakeManager.h"
#include "Scan.h"

namespace {
// Compares the whole picture with the fake's pattern; answers the first difference.
std::string PatternMismatch(const Bitmap& picture, int bits) {
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const TFakeColor want = FakeColor(x, y, bits);
            const PackedColor got = picture.GetColor(x, y);
            if (got != PackColor(want.Red, want.Green, want.Blue))
                return "pixel " + std::to_string(x) + "," + std::to_string(y);
        }
    return "";
}
}  // namespace

class ScanTest : public ::testing::Test {
protected:
    void SetUp() override { TWAIN_SetUserInterface(&boxes); }
    void TearDown() override {
        TWAIN_FreeImages();
        EXPECT_EQ(TWAIN_SessionState(), 1);
        EXPECT_EQ(fake.Number("live"), 0) << "handles never freed";
        EXPECT_EQ(fake.Number("faults"), 0) << "handles freed twice or while locked";
        EXPECT_TRUE(boxes.Shown.empty());
        TWAIN_SetUserInterface(nullptr);
    }

    TRecordedBoxes boxes;
    static inline TFakeManager fake{FAKE_DSM_PATH};
};

TEST_F(ScanTest, EveryDepthAndRowOrderArrivesPixelForPixel) {
    const struct {
        int width, height, bits;
    } cases[] = {{13, 7, 24}, {13, -7, 24}, {9, 5, 8}, {9, -5, 8}, {11, 6, 4}, {11, -6, 4},
                 {35, 3, 1}, {35, -3, 1}, {1, 1, 24}, {4, 1, 1}};
    for (const auto& c : cases) {
        const std::string size =
            std::to_string(c.width) + " " + std::to_string(c.height) + " " + std::to_string(c.bits);
        const std::string& name = size;
        fake.Run("event 1 xferready; xfer done " + size);
        const std::optional<Bitmap> picture = ScanFirstImage();
        ASSERT_TRUE(picture) << name;
        EXPECT_EQ(picture->Width(), c.width) << name;
        EXPECT_EQ(picture->Height(), std::abs(c.height)) << name;
        EXPECT_EQ(PatternMismatch(*picture, c.bits), "") << name;
        // The first image was released and left the list.
        EXPECT_EQ(TWAIN_ImageAt(0), nullptr) << name;
        EXPECT_EQ(fake.Number("live"), 0) << name;
    }
}

TEST_F(ScanTest, OnlyTheFirstOfABatchIsTakenTheRestStay) {
    fake.Run("event 1 xferready; xfer done 6 5 24; xfer done 3 2 8 *2; pending 2 1 0");
    const std::optional<Bitmap> picture = ScanFirstImage();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->Width(), 6);
    EXPECT_EQ(TWAIN_ImageCount(), 3);
    EXPECT_EQ(fake.Number("live"), 2);
}

TEST_F(ScanTest, NothingTransferredGivesNoPicture) {
    fake.Run("event 1 xferready; xfer cancel; event 1 closedsreq");
    EXPECT_FALSE(ScanFirstImage());
}

TEST_F(ScanTest, UnreadableDibIsRefusedAndStillReleased) {
    fake.Run("event 1 xferready; xfer corrupt");
    EXPECT_THROW(ScanFirstImage(), EInvalidGraphic);
    EXPECT_EQ(fake.Number("live"), 0);
}

TEST_F(ScanTest, PaintingCopiesABlockClippedToBothPictures) {
    fake.Run("event 1 xferready; xfer done 6 5 24");
    TWAIN_AcquireImages(0);
    const TW_HANDLE dib = TWAIN_ImageAt(0);
    const PackedColor grey = PackColor(9, 9, 9);
    const struct {
        int x, y, width, height, sourceX, sourceY;
    } cases[] = {{0, 0, 6, 5, 0, 0}, {2, 1, 6, 5, 0, 0}, {-1, -2, 4, 4, 1, 0}, {1, 1, 2, 2, 3, 2},
                 {0, 0, 9, 9, -2, -1}, {7, 0, 3, 3, 0, 0}};
    for (const auto& c : cases) {
        Bitmap surface(7, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 7; ++x) surface.SetColor(x, y, grey);
        ASSERT_TRUE(TWAIN_PaintImage(surface, c.x, c.y, c.width, c.height, dib, c.sourceX, c.sourceY));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 7; ++x) {
                const int sx = x - c.x + c.sourceX, sy = y - c.y + c.sourceY;
                const bool inBlock = x >= c.x && y >= c.y && x < c.x + c.width && y < c.y + c.height &&
                                     sx >= 0 && sy >= 0 && sx < 6 && sy < 5;
                const TFakeColor f = FakeColor(sx, sy, 24);
                const PackedColor want = inBlock ? PackColor(f.Red, f.Green, f.Blue) : grey;
                EXPECT_EQ(surface.GetColor(x, y), want) << c.x << "," << c.y << " at " << x << "," << y;
            }
    }
    Bitmap surface(2, 2);
    EXPECT_FALSE(TWAIN_PaintImage(surface, 0, 0, 2, 2, nullptr, 0, 0));
    EXPECT_EQ(TWAIN_ImageWidth(nullptr), 0);
}

// A manager without DSM_Mem* functions: its handles are calloc blocks, freed with free().
// The leak checker of the sanitizer build sees any never freed.
TEST_F(ScanTest, HandlesOfAManagerWithoutMemoryFunctionsAreFreedToo) {
    TFakeManager plain(PLAIN_DSM_PATH);
    plain.Run("event 1 xferready; xfer done 5 4 8 *2");
    const std::optional<Bitmap> picture = ScanFirstImage();
    ASSERT_TRUE(picture);
    EXPECT_EQ(PatternMismatch(*picture, 8), "");
    EXPECT_EQ(TWAIN_ImageCount(), 2);
    TWAIN_FreeImages();
    fake.Run("");  // the default manager again for the other tests
}
