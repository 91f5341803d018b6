// The scanner command's core: the first transferred DIB becomes a picture, pixel for pixel.
#include <array>
#include <cstring>

#include "common/Errors.h"
#include "FakeDibPattern.h"
#include "FakeManager.h"
#include "FakeTiffPattern.h"
#include "twain/Scan.h"

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
        EXPECT_EQ(TWAIN_SessionState(), PreSession);
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

// Crafted transfers, each in a block that ends exactly where its bytes do: every helper
// reads only what the block holds, and the image is refused saying why (or taken, when the
// reader can do without the part that lies past the end).
namespace {
struct TBytes {
    std::vector<std::uint8_t> Data;
    TBytes& Put(std::uint64_t value, int bytes) {
        for (int b = 0; b < bytes; ++b) Data.push_back(std::uint8_t(value >> (8 * b)));
        return *this;
    }
    TBytes& Text(const char* text) {
        Data.insert(Data.end(), text, text + std::strlen(text));
        return *this;
    }
    // Bytes written in hex; spaces only make it readable.
    TBytes& Raw(const char* hex) {
        std::string digits;
        for (; *hex; ++hex) {
            if (*hex == ' ') continue;
            digits += *hex;
            if (digits.size() < 2) continue;
            Data.push_back(std::uint8_t(std::stoi(digits, nullptr, 16)));
            digits.clear();
        }
        return *this;
    }
};

// A BITMAPINFOHEADER: size 40, width, height, one plane, depth, compression, biSizeImage,
// biClrUsed.
TBytes InfoHeader(int width, int height, int bits, int compression = 0, std::uint32_t sizeImage = 0,
                  std::uint32_t colorsUsed = 0) {
    return TBytes()
        .Put(40, 4)
        .Put(width, 4)
        .Put(height, 4)
        .Put(1, 2)
        .Put(bits, 2)
        .Put(compression, 4)
        .Put(sizeImage, 4)
        .Put(0, 8)
        .Put(colorsUsed, 4)
        .Put(0, 4);
}

// An Intel-order TIFF: header, one directory of {tag, type, count, value} entries (SHORT
// or LONG values inline, else the value is an offset), then the next-directory link.
std::vector<std::uint8_t> Tiff(std::initializer_list<std::array<std::uint32_t, 4>> entries) {
    TBytes tiff;
    tiff.Text("II*").Put(0, 1).Put(8, 4).Put(std::uint32_t(entries.size()), 2);
    for (const auto& e : entries) tiff.Put(e[0], 2).Put(e[1], 2).Put(e[2], 4).Put(e[3], 4);
    return tiff.Put(0, 4).Data;
}

// A 1 x 1 grey TIFF whose one entry `extra` lies at the block's end: 8 + 2 + 9 * 12 + 4.
constexpr std::uint32_t TiffEnd = 122;
std::vector<std::uint8_t> TiffWith(std::array<std::uint32_t, 4> extra, std::uint32_t photometric = 1,
                                   std::uint32_t stripAt = 8) {
    return Tiff({{256, 3, 1, 1},
                 {257, 3, 1, 1},
                 {258, 3, 1, 8},
                 {262, 3, 1, photometric},
                 extra,
                 {273, 4, 1, stripAt},
                 {277, 3, 1, 1},
                 {278, 3, 1, 1},
                 {279, 4, 1, 1}});
}

struct TBlockCase {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
    const char* Refusal;  // the start of the message; null for a picture taken
};

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string hex = bytes.empty() ? "-" : "";
    for (const std::uint8_t b : bytes) hex += "0123456789ABCDEF"[b >> 4], hex += "0123456789ABCDEF"[b & 15];
    return hex;
}
}  // namespace

class ScanBlockTest : public ScanTest, public ::testing::WithParamInterface<TBlockCase> {};

TEST_P(ScanBlockTest, EveryReadStaysInsideTheBlock) {
    const TBlockCase& c = GetParam();
    fake.Run("event 1 xferready; xfer bytes " + Hex(c.Bytes) + " *2");
    if (!c.Refusal) {
        EXPECT_TRUE(ScanFirstImage());
        return;
    }
    try {
        ScanFirstImage();
        ADD_FAILURE() << "taken";
    } catch (const EInvalidGraphic& error) {
        EXPECT_EQ(std::string(error.what()).rfind(c.Refusal, 0), 0u) << error.what();
    }
    // The second copy goes through the other helpers; what they read is the sanitizer's to check.
    const TW_HANDLE second = TWAIN_ImageAt(1);
    static_cast<void>(TWAIN_ImageWidth(second) + TWAIN_ImageHeight(second));
    Bitmap surface(1, 1);
    EXPECT_FALSE(TWAIN_PaintImage(surface, 0, 0, 1, 1, second, 0, 0));
}

const char* const NotValid = "Bitmap image is not valid";
const char* const TiffNotValid = "The TIFF file is not valid";
INSTANTIATE_TEST_SUITE_P(
    Crafted, ScanBlockTest,
    ::testing::Values(
        // The allocator's size of an empty block is not 0, so an empty block reads as a byte.
        TBlockCase{"Empty", {}, "The scanner sent "},
        TBlockCase{"OneByte", TBytes().Raw("42").Data, "The scanner sent data beginning with the bytes 42"},
        TBlockCase{"PngSignatureAlone", TBytes().Raw("89504E47").Data, "The scanner sent a PNG file,"},
        TBlockCase{"ThreeBytesOfTiffSignature", TBytes().Text("II*").Data, "The scanner sent data beginning"},
        TBlockCase{"TiffDirectoryPastTheBlock", TBytes().Text("II*").Put(0, 1).Put(8, 4).Data, TiffNotValid},
        TBlockCase{"TiffOf4096Entries", TBytes().Text("II*").Put(0, 1).Put(8, 4).Put(4096, 2).Data, TiffNotValid},
        TBlockCase{"TiffStripPastTheBlock", TiffWith({269, 2, 1, 0}, 1, TiffEnd), TiffNotValid},
        TBlockCase{"TiffColourMapPastTheBlock", TiffWith({320, 3, 768, TiffEnd}, 3), nullptr},
        TBlockCase{"TiffDescriptionPastTheBlock", TiffWith({270, 2, 100, TiffEnd}), nullptr},
        TBlockCase{"InfoHeaderWithoutRows", InfoHeader(64, 64, 24).Data, NotValid},
        TBlockCase{"CoreHeaderWithoutRows", TBytes().Put(12, 4).Put(8, 2).Put(8, 2).Put(1, 2).Put(24, 2).Data,
                   NotValid},
        TBlockCase{"HeaderLongerThanTheBlock", TBytes().Put(124, 4).Put(1, 4).Put(1, 4).Put(1, 2).Put(24, 2).Data,
                   NotValid},
        TBlockCase{"ColourCountPastTheBlock", InfoHeader(1, 1, 8, 0, 0, 65536).Put(0, 4).Data, NotValid},
        TBlockCase{"BitFieldsWithoutMasks", InfoHeader(1, 1, 16, 3).Put(0, 4).Data, NotValid},
        TBlockCase{"RunLengthPastTheBlock", InfoHeader(4, 4, 8, 1, 100, 1).Put(0, 4).Data, NotValid}),
    [](const auto& info) { return std::string(info.param.Name); });

// Hand-made blocks of 3 x 2 pixels, biSizeImage 0 unless said, each read as the writer of such
// a block means it, through the kind check, the size, painting a corner and the whole picture.
namespace {
const PackedColor Red = PackColor(255, 0, 0), Green = PackColor(0, 255, 0), Blue = PackColor(0, 0, 255),
                  White = PackColor(255, 255, 255), Black = PackColor(0, 0, 0), Yellow = PackColor(255, 255, 0);
// The six colours, top row first, as indices 0 to 5 of the colour tables below.
const std::vector<PackedColor> Six = {Red, Green, Blue, White, Black, Yellow};
const char* const SixEntries = "0000FF00 00FF0000 FF000000 FFFFFF00 00000000 00FFFF00";
std::vector<std::uint8_t> Masked(int bits, int compression, const char* masks, const char* rows) {
    return InfoHeader(3, 2, bits, compression).Raw(masks).Raw(rows).Data;
}
}  // namespace

TEST_F(ScanTest, HandMadeBlocksArriveAsTheirWritersMeantThem) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        int width, height;  // as the layer reports them: negative for rows stored top-down
        std::vector<PackedColor> pixels;
    } cases[] = {
        {"24 bits", InfoHeader(3, 2, 24).Raw("FFFFFF 000000 00FFFF 000000  0000FF 00FF00 FF0000 000000").Data, 3, 2,
         Six},
        {"24 bits, last row's padding left out",
         InfoHeader(3, 2, 24, 0, 24).Raw("FFFFFF 000000 00FFFF 000000  0000FF 00FF00 FF0000").Data, 3, 2, Six},
        {"24 bits top-down", InfoHeader(3, -2, 24).Raw("0000FF 00FF00 FF0000 000000  FFFFFF 000000 00FFFF 000000").Data,
         3, -2, Six},
        {"32 bits", InfoHeader(3, 2, 32).Raw("FFFFFF00 00000000 00FFFF00  0000FF00 00FF0000 FF000000").Data, 3, 2, Six},
        {"16 bits 5-5-5", InfoHeader(3, 2, 16).Raw("FF7F 0000 E07F 0000  007C E003 1F00 0000").Data, 3, 2, Six},
        {"BI_BITFIELDS 5-6-5 after a 40-byte header",
         Masked(16, 3, "00F80000 E0070000 1F000000", "FFFF 0000 E0FF 0000  00F8 E007 1F00 0000"), 3, 2, Six},
        {"BI_ALPHABITFIELDS red first after a 40-byte header",
         Masked(32, 6, "FF000000 00FF0000 0000FF00 000000FF", "FFFFFF00 00000080 FFFF00FF  FF0000FF 00FF00FF 0000FFFF"),
         3, 2, Six},
        {"1 bit",
         InfoHeader(3, 2, 1, 0, 0, 2).Raw("00000000 FFFFFF00  60000000 A0000000").Data,
         3,
         2,
         {White, Black, White, Black, White, White}},
        {"4 bits, six colours", InfoHeader(3, 2, 4, 0, 0, 6).Raw(SixEntries).Raw("34500000 01200000").Data, 3, 2, Six},
        {"8 bits, six colours", InfoHeader(3, 2, 8, 0, 0, 6).Raw(SixEntries).Raw("03040500 00010200").Data, 3, 2, Six},
        // A TIFF whose directory, the last thing in it, ends with the block.
        {"TIFF ending with its directory", TiffWith({269, 2, 1, 0}), 1, 1, {PackColor(9, 9, 9)}},
    };
    for (const auto& c : cases) {
        fake.Run("event 1 xferready; xfer bytes " + Hex(c.bytes) + " *2");
        const std::optional<Bitmap> picture = ScanFirstImage();
        ASSERT_TRUE(picture) << c.name;
        const int width = c.width, height = std::abs(c.height);
        ASSERT_EQ(picture->Width(), width) << c.name;
        ASSERT_EQ(picture->Height(), height) << c.name;
        for (int i = 0; i < width * height; ++i)
            EXPECT_EQ(picture->GetColor(i % width, i / width), c.pixels[std::size_t(i)]) << c.name << ", pixel " << i;
        const TW_HANDLE second = TWAIN_ImageAt(1);
        EXPECT_EQ(TWAIN_ImageWidth(second), c.width) << c.name;
        EXPECT_EQ(TWAIN_ImageHeight(second), c.height) << c.name;
        EXPECT_EQ(TWAIN_ImageProblem(second), "") << c.name;
        Bitmap corner(1, 1);
        ASSERT_TRUE(TWAIN_PaintImage(corner, 0, 0, 1, 1, second, width - 1, height - 1)) << c.name;
        EXPECT_EQ(corner.GetColor(0, 0), c.pixels.back()) << c.name;
        // The whole picture twice: the first takes the decoded picture, the second decodes again.
        for (int time = 0; time < 2; ++time) {
            Bitmap whole(width, height);
            ASSERT_TRUE(TWAIN_PaintImage(whole, 0, 0, width, height, second, 0, 0)) << c.name;
            EXPECT_EQ(whole.GetColor(width - 1, height - 1), c.pixels.back()) << c.name << ", time " << time;
            EXPECT_EQ(TWAIN_ImageWidth(second), c.width) << c.name << ", time " << time;
        }
        TWAIN_FreeImages();
    }
}

// A block freed and handed out again at the same address is a new image: what was decoded of
// the old one is not shown for it.
TEST_F(ScanTest, ABlockAtAFreedBlocksAddressShowsItsOwnPicture) {
    fake.Run("reuse; event 1 xferready; xfer done 6 5 8");
    TWAIN_AcquireImages(0);
    const TW_HANDLE first = TWAIN_ImageAt(0);
    Bitmap pixel(1, 1);
    ASSERT_TRUE(TWAIN_PaintImage(pixel, 0, 0, 1, 1, first, 2, 3));
    TWAIN_ReleaseImage(first);
    fake.Run("event 1 xferready; xfer done 6 5 24");
    TWAIN_AcquireImages(0);
    ASSERT_EQ(TWAIN_ImageAt(0), first) << "the fake did not hand the block out again";
    ASSERT_TRUE(TWAIN_PaintImage(pixel, 0, 0, 1, 1, first, 2, 3));
    const TFakeColor want = FakeColor(2, 3, 24);
    EXPECT_EQ(pixel.GetColor(0, 0), PackColor(want.Red, want.Green, want.Blue));
}

// A BITMAPCOREHEADER DIB: 16-bit width and height, 3-byte colour table entries.
TEST_F(ScanTest, CoreHeaderDibsArrivePixelForPixel) {
    for (const int bits : {24, 8}) {
        const std::vector<std::uint8_t> info = MakeFakeDib(5, 4, bits);
        TBytes core;
        core.Put(12, 4).Put(5, 2).Put(4, 2).Put(1, 2).Put(bits, 2);
        const std::size_t entries = bits == 8 ? 256 : 0;
        for (std::size_t i = 0; i < entries; ++i)
            core.Data.insert(core.Data.end(), &info[40 + i * 4], &info[43 + i * 4]);
        core.Data.insert(core.Data.end(), info.begin() + 40 + long(entries) * 4, info.end());
        fake.Run("event 1 xferready; xfer bytes " + Hex(core.Data));
        const std::optional<Bitmap> picture = ScanFirstImage();
        ASSERT_TRUE(picture) << bits;
        EXPECT_EQ(picture->Width(), 5);
        EXPECT_EQ(PatternMismatch(*picture, bits), "") << bits;
    }
}
