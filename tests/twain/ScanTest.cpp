// The scanner command's core: the first transferred DIB becomes a picture, pixel for pixel.
#include "Errors.h"
#include "FakeDibPattern.h"
#include "FakeManager.h"
#include "FakeTiffPattern.h"
#include "Scan.h"
#include "TiffExtent.h"

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
    } cases[] = {{13, 7, 24}, {13, -7, 24}, {9, 5, 8},   {9, -5, 8}, {11, 6, 4},
                 {11, -6, 4}, {35, 3, 1},   {35, -3, 1}, {1, 1, 24}, {4, 1, 1}};
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
    } cases[] = {{0, 0, 6, 5, 0, 0}, {2, 1, 6, 5, 0, 0},   {-1, -2, 4, 4, 1, 0},
                 {1, 1, 2, 2, 3, 2}, {0, 0, 9, 9, -2, -1}, {7, 0, 3, 3, 0, 0}};
    for (const auto& c : cases) {
        Bitmap surface(7, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 7; ++x) surface.SetColor(x, y, grey);
        ASSERT_TRUE(TWAIN_PaintImage(surface, c.x, c.y, c.width, c.height, dib, c.sourceX, c.sourceY));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 7; ++x) {
                const int sx = x - c.x + c.sourceX, sy = y - c.y + c.sourceY;
                const bool inBlock = x >= c.x && y >= c.y && x < c.x + c.width && y < c.y + c.height && sx >= 0 &&
                                     sy >= 0 && sx < 6 && sy < 5;
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

// Linux sources send a TIFF file in memory: every layout and byte order arrives pixel for
// pixel, with its size known before painting.
TEST_F(ScanTest, TiffTransfersArrivePixelForPixel) {
    const struct {
        int width, height;
        const char* layout;
        TFakeTiffKind kind;
        bool bigEndian;
    } cases[] = {{13, 7, "rgb", TFakeTiffKind::Rgb, false},         {13, 7, "rgb", TFakeTiffKind::Rgb, true},
                 {9, 5, "grey", TFakeTiffKind::Grey, false},        {9, 5, "grey", TFakeTiffKind::Grey, true},
                 {35, 3, "bw", TFakeTiffKind::BlackWhite, false},   {13, 4, "bw", TFakeTiffKind::BlackWhite, true},
                 {10, 4, "palette", TFakeTiffKind::Palette, false}, {10, 4, "palette", TFakeTiffKind::Palette, true},
                 {1, 1, "rgb", TFakeTiffKind::Rgb, false}};
    for (const auto& c : cases) {
        const std::string name =
            std::to_string(c.width) + " " + std::to_string(c.height) + " " + c.layout + (c.bigEndian ? " mm" : "");
        fake.Run("event 1 xferready; xfer tiff " + name + "; xfer tiff " + name);
        const std::optional<Bitmap> picture = ScanFirstImage();
        ASSERT_TRUE(picture) << name;
        ASSERT_EQ(picture->Width(), c.width) << name;
        ASSERT_EQ(picture->Height(), c.height) << name;
        std::string mismatch;
        for (int y = 0; y < c.height && mismatch.empty(); ++y)
            for (int x = 0; x < c.width && mismatch.empty(); ++x) {
                const TFakeColor want = FakeTiffColor(x, y, c.kind);
                if (picture->GetColor(x, y) != PackColor(want.Red, want.Green, want.Blue))
                    mismatch = "pixel " + std::to_string(x) + "," + std::to_string(y);
            }
        EXPECT_EQ(mismatch, "") << name;
        // The second image, still in the list: its size, then a block of it painted.
        const TW_HANDLE second = TWAIN_ImageAt(1);
        EXPECT_EQ(TWAIN_ImageWidth(second), c.width) << name;
        EXPECT_EQ(TWAIN_ImageHeight(second), c.height) << name;
        Bitmap corner(1, 1);
        ASSERT_TRUE(TWAIN_PaintImage(corner, 0, 0, 1, 1, second, c.width - 1, c.height - 1)) << name;
        const TFakeColor last = FakeTiffColor(c.width - 1, c.height - 1, c.kind);
        EXPECT_EQ(corner.GetColor(0, 0), PackColor(last.Red, last.Green, last.Blue)) << name;
        TWAIN_FreeImages();
    }
}

// Neither a DIB nor a TIFF: the message names what the source sent, and the block is freed.
TEST_F(ScanTest, OtherTransfersAreRefusedNamingWhatCame) {
    fake.Run("event 1 xferready; xfer png");
    try {
        ScanFirstImage();
        ADD_FAILURE() << "a PNG block was taken";
    } catch (const EInvalidGraphic& error) {
        EXPECT_EQ(std::string(error.what()),
                  "The scanner sent a PNG file, but the program takes a scanned image only as a Windows bitmap "
                  "(DIB) or a TIFF file");
    }
    EXPECT_EQ(fake.Number("live"), 0);
}

// A handle carries no size: the TIFF's structure gives it, or the block is refused.
TEST(TiffExtentTest, EndOfTheFurthestPartOrNothing) {
    for (TFakeTiffKind kind :
         {TFakeTiffKind::Rgb, TFakeTiffKind::Grey, TFakeTiffKind::BlackWhite, TFakeTiffKind::Palette})
        for (bool bigEndian : {false, true}) {
            const std::vector<std::uint8_t> file = MakeFakeTiff(7, 5, kind, bigEndian);
            EXPECT_EQ(TiffExtent(file.data()), file.size()) << int(kind) << bigEndian;
        }
    // The strips past the directory: their end counts.
    std::vector<std::uint8_t> file = MakeFakeTiff(4, 4, TFakeTiffKind::Grey, false);
    const std::size_t size = file.size();
    file.resize(size + 100);
    const std::uint32_t directory = file[4] | file[5] << 8;
    for (std::size_t at = directory + 2; at < directory + 2 + 12 * file[directory]; at += 12)
        if (file[at] == 273 % 256 && file[at + 1] == 1) {  // StripOffsets, two strips: values outside
            const std::uint32_t values = file[at + 8] | file[at + 9] << 8;
            file[values] = std::uint8_t(size + 90);  // the first strip moved to the end
            file[values + 1] = std::uint8_t((size + 90) >> 8);
        }
    EXPECT_EQ(TiffExtent(file.data()), size + 90 + 8);

    const struct {
        const char* name;
        std::size_t at;
        std::uint8_t value;
    } broken[] = {{"directory inside the header", 4, 4}, {"no entries", 0, 0}, {"not a TIFF", 2, 43}};
    for (const auto& b : broken) {
        std::vector<std::uint8_t> bad = MakeFakeTiff(4, 4, TFakeTiffKind::Grey, false);
        const std::size_t at = b.at ? b.at : (bad[4] | bad[5] << 8);
        bad[at] = b.value;
        if (!b.at) bad[at + 1] = 0;
        EXPECT_EQ(TiffExtent(bad.data()), 0u) << b.name;
    }
}
