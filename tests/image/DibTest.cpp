#include "image/Dib.h"

#include <gtest/gtest.h>

#include <cstring>

#include "image/DibExtent.h"
#include "common/Errors.h"
#include "TestData.h"

namespace {
Bitmap LoadSuite(const std::string& name) {
    const auto bytes = ReadTestFile("bmpsuite/" + name);
    return DecodeBmpFile(bytes.data(), bytes.size());
}

// The suite's pictures share one 24-bit original.
const Bitmap& Original() {
    static const Bitmap original = LoadSuite("g/rgb24.bmp");
    return original;
}

// A picture whose every channel of every pixel differs from its neighbours'.
Bitmap Numbered(int width, int height) {
    Bitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (std::size_t i = 0; i < b.RowBytes(); ++i) b.Row(y)[i] = std::uint8_t(y * 53 + i * 7 + 1);
    return b;
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int b = 0; b < 4; ++b) bytes[at + b] = std::uint8_t(value >> (8 * b));
}
void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = std::uint8_t(value);
    bytes[at + 1] = std::uint8_t(value >> 8);
}
std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

Bitmap Decode(const std::vector<std::uint8_t>& bytes) { return DecodeBmpFile(bytes.data(), bytes.size()); }
}  // namespace

// ---- The suite's good and questionable files, against the 24-bit original ------------

struct SameAs {
    const char* file;
    const char* reference;
    int tolerance;  // largest channel difference allowed
};

class SuitePicture : public testing::TestWithParam<SameAs> {};

TEST_P(SuitePicture, MatchesItsReference) {
    const SameAs& c = GetParam();
    const Bitmap picture = LoadSuite(c.file);
    const Bitmap reference = LoadSuite(c.reference);
    ASSERT_EQ(picture.Width(), reference.Width());
    ASSERT_EQ(picture.Height(), reference.Height());
    EXPECT_LE(MaxChannelDifference(picture, reference), c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Dib, SuitePicture,
                         testing::ValuesIn(std::vector<SameAs>{
                             {"g/rgb24pal.bmp", "g/rgb24.bmp", 0},
                             {"g/rgb32.bmp", "g/rgb24.bmp", 0},
                             {"g/rgb32bf.bmp", "g/rgb24.bmp", 0},  // masks in an unusual order
                             {"g/rgb32bfdef.bmp", "g/rgb24.bmp", 0},
                             // 5- and 6-bit channels, scaled so that the largest value is 255.
                             {"g/rgb16.bmp", "g/rgb24.bmp", 4},
                             {"g/rgb16bfdef.bmp", "g/rgb24.bmp", 4},
                             {"g/rgb16-565.bmp", "g/rgb24.bmp", 4},
                             {"g/rgb16-565pal.bmp", "g/rgb24.bmp", 4},
                             // 252 palette colours for the gradients.
                             {"g/pal8.bmp", "g/rgb24.bmp", 50},
                             {"g/pal8-0.bmp", "g/pal8.bmp", 0},
                             {"g/pal8os2.bmp", "g/pal8.bmp", 0},
                             {"g/pal8rle.bmp", "g/pal8.bmp", 0},
                             {"g/pal8topdown.bmp", "g/pal8.bmp", 0},
                             {"g/pal8v4.bmp", "g/pal8.bmp", 0},
                             {"g/pal8v5.bmp", "g/pal8.bmp", 0},
                             {"g/pal4rle.bmp", "g/pal4.bmp", 0},
                             {"g/pal1wb.bmp", "g/pal1.bmp", 0},
                             // Questionable files that are sensible to decode.
                             {"q/pal8offs.bmp", "g/pal8.bmp", 0},
                             {"q/pal8os2-hs.bmp", "g/pal8.bmp", 0},
                             {"q/pal8os2-sz.bmp", "g/pal8.bmp", 0},
                             {"q/pal8os2sp.bmp", "g/pal8.bmp", 0},
                             {"q/pal8os2v2-16.bmp", "g/pal8.bmp", 0},
                             {"q/pal8os2v2-40sz.bmp", "g/pal8.bmp", 0},
                             {"q/pal8os2v2-sz.bmp", "g/pal8.bmp", 0},
                             {"q/pal8os2v2.bmp", "g/pal8.bmp", 0},
                             {"q/pal8oversizepal.bmp", "g/pal8.bmp", 0},
                             {"q/rgb16faketrns.bmp", "g/rgb16.bmp", 0},
                             {"q/rgb24largepal.bmp", "g/rgb24.bmp", 0},
                             {"q/rgb24lprof.bmp", "g/rgb24.bmp", 0},
                             {"q/rgb24prof.bmp", "g/rgb24.bmp", 0},
                             {"q/rgb32-111110.bmp", "g/rgb24.bmp", 1},
                             {"q/rgb32-7187.bmp", "g/rgb24.bmp", 1},
                             {"q/rgb32-xbgr.bmp", "g/rgb24.bmp", 0},
                             {"q/rgb32fakealpha.bmp", "g/rgb24.bmp", 0},
                             {"q/rgb32h52.bmp", "g/rgb24.bmp", 0},
                             {"q/rgba16-5551.bmp", "g/rgb16.bmp", 0},
                             // Alpha is dropped: the colour channels are what remains.
                             {"q/rgba32-2.bmp", "q/rgba32-1.bmp", 0},
                             {"q/rgba32h56.bmp", "q/rgba32-1.bmp", 0},
                             {"q/rgba32abf.bmp", "q/rgba32-1.bmp", 0},
                             {"q/rgba32-81284.bmp", "q/rgba32-1.bmp", 0},
                             {"q/rgba32-1010102.bmp", "q/rgba32-1.bmp", 1},
                             {"b/badbitssize.bmp", "g/pal1.bmp", 0},  // the image-size field is not needed
                             {"b/baddens1.bmp", "g/pal1.bmp", 0},
                             {"b/baddens2.bmp", "g/pal1.bmp", 0},
                             {"b/badfilesize.bmp", "g/pal1.bmp", 0},
                         }),
                         [](const auto& info) { return TestNameOfPath(info.param.file); });

// The letters' black and white outlines survive every depth exactly, so they catch wrong
// bit order, row order, padding and mask scaling where the gradients cannot be compared.
class SuiteOutlines : public testing::TestWithParam<const char*> {};

TEST_P(SuiteOutlines, AreExact) {
    const Bitmap picture = LoadSuite(GetParam());
    ASSERT_EQ(picture.Width(), Original().Width());
    ASSERT_EQ(picture.Height(), Original().Height());
    int outlines = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const PackedColor c = Original().GetColor(x, y);
            if (c != 0 && c != 0xFFFFFF) continue;
            ++outlines;
            ASSERT_EQ(picture.GetColor(x, y), c) << "at " << x << "," << y;
        }
    EXPECT_GT(outlines, 1000);
}

INSTANTIATE_TEST_SUITE_P(Dib, SuiteOutlines,
                         testing::Values("g/pal1.bmp", "g/pal4.bmp", "g/pal4gs.bmp", "g/pal8.bmp", "g/pal8gs.bmp",
                                         "q/pal2.bmp", "q/pal2color.bmp", "q/rgb16-231.bmp", "q/rgb16-3103.bmp"),
                         [](const auto& info) { return TestNameOfPath(info.param); });

// Differently sized versions of the picture; the corners were checked by eye.
TEST(DibSuite, OtherSizes) {
    struct Case {
        const char* file;
        int width, height;
        PackedColor topRight, bottomLeft, bottomRight;
    };
    for (const Case& c : {Case{"g/pal8w124.bmp", 124, 61, 0x998099, 0x000033, 0x665533},
                          Case{"g/pal8w125.bmp", 125, 62, 0xCCAACC, 0x000000, 0x665566},
                          Case{"g/pal8w126.bmp", 126, 63, 0x998099, 0x000000, 0x665533},
                          Case{"g/pal8nonsquare.bmp", 127, 32, 0xCCAA99, 0x000000, 0x665566}}) {
        const Bitmap picture = LoadSuite(c.file);
        ASSERT_EQ(picture.Width(), c.width) << c.file;
        ASSERT_EQ(picture.Height(), c.height) << c.file;
        EXPECT_EQ(picture.GetColor(0, 0), PackColor(255, 0, 0)) << c.file;
        EXPECT_EQ(picture.GetColor(0, c.height - 1), c.bottomLeft) << c.file;
        EXPECT_EQ(picture.GetColor(c.width - 1, 0), c.topRight) << c.file;
        EXPECT_EQ(picture.GetColor(c.width - 1, c.height - 1), c.bottomRight) << c.file;
    }
}

// Pixels the stream sets are the plain version's; those it skips stay black.
TEST(DibSuite, RleSkippedPixelsStayBlack) {
    struct Case {
        const char* file;
        const char* plain;
    };
    for (const Case& c : {Case{"q/pal8rlecut.bmp", "g/pal8.bmp"}, Case{"q/pal8rletrns.bmp", "g/pal8.bmp"},
                          Case{"q/pal4rlecut.bmp", "g/pal4.bmp"}, Case{"q/pal4rletrns.bmp", "g/pal4.bmp"}}) {
        const Bitmap picture = LoadSuite(c.file);
        const Bitmap plain = LoadSuite(c.plain);
        int skipped = 0;
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x) {
                const PackedColor p = picture.GetColor(x, y);
                if (p != plain.GetColor(x, y)) {
                    ASSERT_EQ(p, 0u) << c.file << " at " << x << "," << y;
                    ++skipped;
                }
            }
        EXPECT_GT(skipped, 100) << c.file;
    }
}

TEST(DibSuite, IndicesPastTheTableAreBlack) {
    // The table has 101 entries.
    const Bitmap bad = LoadSuite("b/pal8badindex.bmp");
    const Bitmap pal8 = LoadSuite("g/pal8.bmp");
    int black = 0;
    for (int y = 0; y < bad.Height(); ++y)
        for (int x = 0; x < bad.Width(); ++x)
            if (bad.GetColor(x, y) != pal8.GetColor(x, y)) {
                ASSERT_EQ(bad.GetColor(x, y), 0u);
                ++black;
            }
    EXPECT_GT(black, 100);
}

TEST(DibSuite, RefusedFiles) {
    for (const char* file :
         {"q/pal1huffmsb.bmp", "q/rgb24jpeg.bmp", "q/rgb24png.bmp", "q/rgb24rle24.bmp", "q/rgba64.bmp",
          "b/badbitcount.bmp", "b/badheadersize.bmp", "b/badpalettesize.bmp", "b/badplanes.bmp", "b/badwidth.bmp",
          "b/reallybig.bmp", "b/rletopdown.bmp", "b/shortfile.bmp", "x/ba-bm.bmp"})
        EXPECT_THROW(LoadSuite(file), EInvalidGraphic) << file;
}

// Every BMP we have, and every prefix of it: loads, or is refused as not valid. A prefix
// that loads must give the whole file's picture (only the last row's padding or the final
// end-of-bitmap code may be missing).
TEST(DibFiles, EveryFileAndPrefixLoadsOrIsRefused) {
    std::vector<std::string> files = TestDataFiles("bmpsuite", ".bmp");
    for (const auto& folder : {"jpeg", "photos"})
        for (const auto& f : TestDataFiles(folder, ".bmp")) files.push_back(f);
    ASSERT_GE(files.size(), 100u);
    for (const std::string& file : files) {
        const auto bytes = ReadTestFile(file);
        Bitmap whole;
        try {
            whole = Decode(bytes);
        } catch (const EInvalidGraphic&) {
            continue;
        }
        const std::size_t step = std::max<std::size_t>(1, bytes.size() / 100);
        for (std::size_t n = 0; n < bytes.size(); n += n < 200 ? 1 : step) {
            const std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + n);
            try {
                ASSERT_EQ(Decode(prefix), whole) << file << " cut to " << n;
            } catch (const EInvalidGraphic&) {
            }
        }
    }
}

// ---- Hand-made malformed files ---------------------------------------------------------

namespace {
// A valid 8 x 2, 8-bit BMP with a two-colour table, for patching.
std::vector<std::uint8_t> SmallPal8() {
    std::vector<std::uint8_t> b(14 + 40 + 8 + 16, 0);
    b[0] = 'B', b[1] = 'M';
    Put32(b, 2, std::uint32_t(b.size()));
    Put32(b, 10, 62);
    Put32(b, 14, 40);
    Put32(b, 18, 8);
    Put32(b, 22, 2);
    Put16(b, 26, 1);
    Put16(b, 28, 8);
    Put32(b, 46, 2);                           // colours used
    b[54] = 0x10, b[55] = 0x20, b[56] = 0x30;  // entry 0
    b[58] = 0xFF, b[59] = 0xFF, b[60] = 0xFF;  // entry 1
    for (int i = 0; i < 16; ++i) b[62 + i] = std::uint8_t(i & 1);
    return b;
}
}  // namespace

TEST(DibMalformed, SmallPal8IsValid) {
    const Bitmap b = Decode(SmallPal8());
    EXPECT_EQ(b.Width(), 8);
    EXPECT_EQ(b.GetColor(0, 0), PackColor(0x30, 0x20, 0x10));
    EXPECT_EQ(b.GetColor(1, 1), 0xFFFFFFu);
}

TEST(DibMalformed, BrokenHeadersAreRefused) {
    struct Patch {
        const char* what;
        std::size_t at;
        int bytes;
        std::uint32_t value;
    };
    const Patch patches[] = {
        {"magic", 0, 2, 'B' | 'A' << 8},
        {"offset past the end", 10, 4, 1000},
        {"offset inside the header", 10, 4, 20},
        {"header size 11", 14, 4, 11},
        {"header size 66", 14, 4, 66},
        {"header size past the end", 14, 4, 124},
        {"zero width", 18, 4, 0},
        {"negative width", 18, 4, std::uint32_t(-8)},
        {"zero height", 22, 4, 0},
        {"height -2^31", 22, 4, 0x80000000u},
        {"width past the side bound", 18, 4, 65536},
        {"width 2^31 - 1", 18, 4, 0x7FFFFFFF},
        {"planes", 26, 2, 2},
        {"bit count 3", 28, 2, 3},
        {"bit count 64", 28, 2, 64},
        {"bit fields with 8 bits", 30, 4, 3},
        {"embedded JPEG", 30, 4, 4},
        {"RLE4 with 8 bits", 30, 4, 2},
        {"unknown compression", 30, 4, 99},
        {"absurd colour count", 46, 4, 0x7FFFFFFF},
        {"colour count past the pixel offset", 46, 4, 300},
    };
    for (const Patch& p : patches) {
        std::vector<std::uint8_t> b = SmallPal8();
        if (p.bytes == 2)
            Put16(b, p.at, std::uint16_t(p.value));
        else
            Put32(b, p.at, p.value);
        EXPECT_THROW(Decode(b), EInvalidGraphic) << p.what;
    }
}

TEST(DibMalformed, HugeDeclaredSizeIsRefusedBeforeAllocating) {
    // 65535 x 4097 passes the side bound but not the pixel bound; 16384 x 16384 passes both
    // and is refused because the rows are not there.
    std::vector<std::uint8_t> b = SmallPal8();
    Put32(b, 18, 65535);
    Put32(b, 22, 4097);
    EXPECT_THROW(Decode(b), EInvalidGraphic);
    Put32(b, 18, 16384);
    Put32(b, 22, 16384);
    EXPECT_THROW(Decode(b), EInvalidGraphic);
    EXPECT_THROW(DecodeBmpFile(nullptr, 0), EInvalidGraphic);
    EXPECT_THROW(DecodePackedDib(nullptr, 0), EInvalidGraphic);
}

// ---- Run-length streams ----------------------------------------------------------------

namespace {
// A 4 x 2 RLE8 file whose colour i is (i, i, i) for i < 8, with the given stream.
std::vector<std::uint8_t> Rle8File(const std::vector<std::uint8_t>& stream, int width = 4, int height = 2) {
    std::vector<std::uint8_t> b(14 + 40 + 8 * 4, 0);
    b[0] = 'B', b[1] = 'M';
    Put32(b, 10, std::uint32_t(b.size()));
    Put32(b, 14, 40);
    Put32(b, 18, std::uint32_t(width));
    Put32(b, 22, std::uint32_t(height));
    Put16(b, 26, 1);
    Put16(b, 28, 8);
    Put32(b, 30, 1);
    Put32(b, 46, 8);
    for (int i = 0; i < 8; ++i) b[54 + i * 4] = b[55 + i * 4] = b[56 + i * 4] = std::uint8_t(i * 30);
    b.insert(b.end(), stream.begin(), stream.end());
    Put32(b, 2, std::uint32_t(b.size()));
    return b;
}

// Row y of a decoded picture as grey indices (value / 30).
std::vector<int> GreyRow(const Bitmap& b, int y) {
    std::vector<int> row;
    for (int x = 0; x < b.Width(); ++x) row.push_back(b.Pixel(x, y)[0] / 30);
    return row;
}
}  // namespace

TEST(DibRle, Streams) {
    using Rows = std::vector<std::vector<int>>;  // top row first
    struct Case {
        const char* what;
        std::vector<std::uint8_t> stream;
        Rows rows;
    };
    const Case cases[] = {
        {"runs and a literal", {2, 1, 0, 3, 5, 6, 7, 0, 0, 0, 4, 2, 0, 1}, {{2, 2, 2, 2}, {1, 1, 5, 6}}},
        {"run past the row end is clipped", {9, 3, 0, 0, 1, 4, 0, 1}, {{4, 0, 0, 0}, {3, 3, 3, 3}}},
        {"literal past the row end is clipped", {0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 0, 1}, {{0, 0, 0, 0}, {1, 2, 3, 4}}},
        {"delta skips stay black", {1, 7, 0, 2, 2, 1, 1, 6, 0, 1}, {{0, 0, 0, 6}, {7, 0, 0, 0}}},
        {"early end of bitmap", {1, 7, 0, 1}, {{0, 0, 0, 0}, {7, 0, 0, 0}}},
        {"delta above the top ends the picture", {1, 7, 0, 2, 0, 200, 5, 5}, {{0, 0, 0, 0}, {7, 0, 0, 0}}},
        {"line ends past the last row finish without end code", {1, 1, 0, 0, 1, 2, 0, 0}, {{2, 0, 0, 0}, {1, 0, 0, 0}}},
        {"index past the table is black", {2, 200, 0, 1}, {{0, 0, 0, 0}, {0, 0, 0, 0}}},
    };
    for (const Case& c : cases) {
        const Bitmap b = Decode(Rle8File(c.stream));
        ASSERT_EQ(b.Height(), 2) << c.what;
        for (int y = 0; y < 2; ++y) EXPECT_EQ(GreyRow(b, y), c.rows[y]) << c.what << " row " << y;
    }
}

TEST(DibRle, BrokenStreamsAreRefused) {
    const std::vector<std::vector<std::uint8_t>> streams = {
        {},               // nothing
        {2, 1},           // ends before the picture is complete
        {2, 1, 0},        // half a code
        {0, 2, 1},        // delta without its offsets
        {0, 6, 1, 2, 3},  // literal longer than the data
    };
    for (const auto& s : streams) EXPECT_THROW(Decode(Rle8File(s)), EInvalidGraphic);
}

TEST(DibRle, Rle4Nibbles) {
    std::vector<std::uint8_t> b = Rle8File({5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1});
    Put16(b, 28, 4);
    Put32(b, 30, 2);
    const Bitmap picture = Decode(b);
    EXPECT_EQ(GreyRow(picture, 1), (std::vector<int>{1, 2, 1, 2}));
    EXPECT_EQ(GreyRow(picture, 0), (std::vector<int>{3, 4, 5, 0}));
}

// ---- Packed DIBs and writing ---------------------------------------------------------

TEST(DibPacked, IsTheFileWithoutItsFileHeader) {
    // Files whose pixels follow the table directly, as in a packed DIB: core, info, V5
    // headers, masks after a 40-byte header, RLE.
    for (const char* file : {"g/pal8.bmp", "g/pal8os2.bmp", "g/pal8v5.bmp", "g/pal4rle.bmp", "g/rgb16-565.bmp",
                             "g/rgb16-565pal.bmp", "g/rgb32bf.bmp", "g/rgb24.bmp", "g/pal1.bmp"}) {
        const auto bytes = ReadTestFile(std::string("bmpsuite/") + file);
        EXPECT_EQ(DecodePackedDib(bytes.data() + 14, bytes.size() - 14), LoadSuite(file)) << file;
    }
}

TEST(DibPacked, RefusesATableRunningPastTheEnd) {
    const auto bytes = ReadTestFile("bmpsuite/g/pal8.bmp");
    EXPECT_THROW(DecodePackedDib(bytes.data() + 14, 40 + 252 * 4 - 1), EInvalidGraphic);
}

// Every depth at widths whose rows end on, and just past, a byte and a 4-byte boundary.
TEST(DibExtent, RowsArePaddedToFourBytesAfterTheTable) {
    const struct {
        std::uint64_t width, height, bits, tableStart, colours, entrySize;
        DibExtent want;  // PixelOffset, Stride, ImageSize, RowsNeeded
    } cases[] = {
        // clang-format off
        {1,  3, 1,  40, 2,   4, {48, 4, 12, 9}},
        {32, 2, 1,  40, 2,   4, {48, 4, 8, 8}},
        {33, 2, 1,  40, 0,   4, {40, 8, 16, 13}},
        {3,  2, 4,  12, 16,  3, {60, 4, 8, 6}},
        {8,  1, 4,  40, 16,  4, {104, 4, 4, 4}},
        {5,  2, 8,  40, 256, 4, {1064, 8, 16, 13}},
        {3,  2, 16, 52, 0,   4, {52, 8, 16, 14}},
        {1,  2, 24, 40, 0,   4, {40, 4, 8, 7}},
        {4,  2, 24, 40, 0,   4, {40, 12, 24, 24}},
        {1,  2, 32, 56, 0,   4, {56, 4, 8, 8}},
        {7,  0, 24, 40, 0,   4, {40, 24, 0, 0}},
        // clang-format on
    };
    for (const auto& c : cases) {
        const DibExtent got = DibExtentOf(c.width, c.height, c.bits, c.tableStart, c.colours, c.entrySize);
        const std::string name =
            std::to_string(c.width) + "x" + std::to_string(c.height) + " at " + std::to_string(c.bits) + " bits";
        EXPECT_EQ(got.PixelOffset, c.want.PixelOffset) << name;
        EXPECT_EQ(got.Stride, c.want.Stride) << name;
        EXPECT_EQ(got.ImageSize, c.want.ImageSize) << name;
        EXPECT_EQ(got.RowsNeeded, c.want.RowsNeeded) << name;
        EXPECT_EQ(got.End(), c.want.PixelOffset + c.want.ImageSize) << name;
    }
}

TEST(DibWrite, RoundTripsEveryPaddingCase) {
    for (int width = 1; width <= 5; ++width)
        for (int height : {1, 2, 3, 5}) {
            const Bitmap picture = Numbered(width, height);
            const auto file = EncodeBmpFile(picture);
            EXPECT_EQ(Decode(file), picture) << width << "x" << height;
            const auto packed = EncodePackedDib(picture);
            EXPECT_EQ(packed.size(), file.size() - 14);
            EXPECT_EQ(DecodePackedDib(packed.data(), packed.size()), picture) << width << "x" << height;
        }
}

TEST(DibWrite, HeaderFields) {
    const auto file = EncodeBmpFile(Numbered(5, 3));  // rows of 15 bytes padded to 16
    ASSERT_EQ(file.size(), 54u + 16 * 3);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Get32(file, 2), file.size());   // bfSize
    EXPECT_EQ(Get32(file, 6), 0u);            // reserved
    EXPECT_EQ(Get32(file, 10), 54u);          // bfOffBits
    EXPECT_EQ(Get32(file, 14), 40u);          // biSize
    EXPECT_EQ(Get32(file, 18), 5u);           // biWidth
    EXPECT_EQ(Get32(file, 22), 3u);           // biHeight: positive, bottom-up
    EXPECT_EQ(file[26] | file[27] << 8, 1);   // biPlanes
    EXPECT_EQ(file[28] | file[29] << 8, 24);  // biBitCount
    EXPECT_EQ(Get32(file, 30), 0u);           // BI_RGB
    EXPECT_EQ(Get32(file, 34), 16u * 3);      // biSizeImage
    EXPECT_EQ(Get32(file, 46), 0u);           // biClrUsed
    // The bottom row comes first, its padding byte zero.
    const Bitmap picture = Numbered(5, 3);
    EXPECT_EQ(std::memcmp(file.data() + 54, picture.Row(2), 15), 0);
    EXPECT_EQ(file[54 + 15], 0);
}
