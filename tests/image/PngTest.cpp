// PNG through libpng: every file of PngSuite, the sample-depth and alpha rules on files made
// here, and broken files.
#include "image/Png.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <csetjmp>
#include <cstring>

#include "common/Errors.h"
#include "image/MemoryCheck.h"
#include "SampleFiles.h"

namespace {
std::uint32_t BigEndian32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// A PNG made with libpng itself: rows already packed as the colour type and depth need
// (16-bit samples big-endian, as in the file).
struct PngSpec {
    int width, height, colourType, bitDepth;
    std::vector<std::uint8_t> rows;
    std::vector<png_color> palette;
    std::vector<std::uint8_t> transparency;  // tRNS: palette alphas
    int transparentGrey = -1;                // tRNS: the grey level that is transparent
};

void AppendBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

bool WritePng(const PngSpec& spec, std::vector<std::uint8_t>& out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, AppendBytes, nullptr);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty()) png_set_PLTE(png, info, spec.palette.data(), int(spec.palette.size()));
    if (!spec.transparency.empty())
        png_set_tRNS(png, info, spec.transparency.data(), int(spec.transparency.size()), nullptr);
    png_color_16 grey{};
    grey.gray = png_uint_16(spec.transparentGrey);
    if (spec.transparentGrey >= 0) png_set_tRNS(png, info, nullptr, 0, &grey);
    png_write_info(png, info);
    const std::size_t rowBytes = spec.rows.size() / spec.height;
    for (int y = 0; y < spec.height; ++y) png_write_row(png, spec.rows.data() + y * rowBytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

Bitmap DecodeSpec(const PngSpec& spec) {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(WritePng(spec, bytes));
    return DecodePng(bytes.data(), bytes.size());
}

std::vector<std::uint8_t> Samples16(std::initializer_list<unsigned> values) {
    std::vector<std::uint8_t> bytes;
    for (unsigned v : values) bytes.insert(bytes.end(), {std::uint8_t(v >> 8), std::uint8_t(v & 255)});
    return bytes;
}

// Over white, computed the long way.
std::uint8_t ExpectedOverWhite(double value, double alpha) {
    return std::uint8_t(std::lround((value * alpha + 255.0 * (255.0 - alpha)) / 255.0));
}

// Rewrites IHDR's size and its CRC, so that only the size is wrong.
std::vector<std::uint8_t> WithDeclaredSize(std::vector<std::uint8_t> png, std::uint32_t width, std::uint32_t height) {
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = std::uint8_t(width >> (24 - 8 * i));
        png[20 + i] = std::uint8_t(height >> (24 - 8 * i));
    }
    const std::uint32_t crc = std::uint32_t(crc32(0, png.data() + 12, 17));
    for (int i = 0; i < 4; ++i) png[29 + i] = std::uint8_t(crc >> (24 - 8 * i));
    return png;
}
}  // namespace

class PngSuiteFile : public testing::TestWithParam<std::string> {};

// Files starting with "x" are broken on purpose and must be refused cleanly; every other
// one decodes at the size its header declares.
TEST_P(PngSuiteFile, DecodesAtItsSizeOrIsRefused) {
    const std::string name = GetParam();
    const std::vector<std::uint8_t> bytes = ReadSample(name);
    if (std::filesystem::path(name).filename().string()[0] == 'x') {
        EXPECT_THROW(DecodePng(bytes.data(), bytes.size()), EInvalidGraphic);
        return;
    }
    ASSERT_GE(bytes.size(), 24u);
    const Bitmap picture = DecodePng(bytes.data(), bytes.size());
    EXPECT_EQ(std::uint32_t(picture.Width()), BigEndian32(&bytes[16]));
    EXPECT_EQ(std::uint32_t(picture.Height()), BigEndian32(&bytes[20]));
}

INSTANTIATE_TEST_SUITE_P(Suite, PngSuiteFile, testing::ValuesIn(SampleFiles("png", ".png")),
                         [](const auto& info) { return SampleTestName(info.param); });

TEST(Png, InterlacedFilesEqualTheirPlainTwins) {
    int pairs = 0;
    for (const std::string& interlaced : SampleFiles("png", ".png")) {
        const std::string file = std::filesystem::path(interlaced).filename().string();
        if (file.rfind("basi", 0) != 0) continue;
        const std::vector<std::uint8_t> a = ReadSample(interlaced), b = ReadSample("png/basn" + file.substr(4));
        EXPECT_EQ(DecodePng(a.data(), a.size()), DecodePng(b.data(), b.size())) << file;
        ++pairs;
    }
    EXPECT_GE(pairs, 15);
}

TEST(Png, SixteenBitSamplesAreRoundedToEightBits) {
    const struct {
        unsigned sample;
        std::uint8_t level;
    } cases[] = {{0, 0},       {128, 0},     {129, 1},     {385, 1},    {386, 2},
                 {32896, 128}, {65406, 254}, {65407, 255}, {65535, 255}};
    PngSpec grey{int(std::size(cases)), 1, PNG_COLOR_TYPE_GRAY, 16, {}, {}, {}};
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> s = Samples16({c.sample});
        grey.rows.insert(grey.rows.end(), s.begin(), s.end());
    }
    const Bitmap picture = DecodeSpec(grey);
    for (int x = 0; x < picture.Width(); ++x)
        EXPECT_EQ(picture.GetColor(x, 0), PackColor(cases[x].level, cases[x].level, cases[x].level)) << cases[x].sample;

    // Each channel keeps its place.
    const PngSpec rgb{1, 1, PNG_COLOR_TYPE_RGB, 16, Samples16({129, 32896, 65535}), {}, {}};
    EXPECT_EQ(DecodeSpec(rgb).GetColor(0, 0), PackColor(1, 128, 255));
}

TEST(Png, AlphaIsCompositedOverWhite) {
    // RGBA, 8 bits: opaque, transparent, half, nearly transparent.
    const PngSpec rgba{
        4, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {10, 20, 30, 255, 10, 20, 30, 0, 200, 100, 50, 128, 0, 0, 0, 1}, {}, {}};
    const Bitmap a = DecodeSpec(rgba);
    EXPECT_EQ(a.GetColor(0, 0), PackColor(10, 20, 30));
    EXPECT_EQ(a.GetColor(1, 0), PackColor(255, 255, 255));
    EXPECT_EQ(a.GetColor(2, 0),
              PackColor(ExpectedOverWhite(200, 128), ExpectedOverWhite(100, 128), ExpectedOverWhite(50, 128)));
    EXPECT_EQ(a.GetColor(3, 0), PackColor(254, 254, 254));

    const PngSpec greyAlpha{1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0, 64}, {}, {}};
    EXPECT_EQ(DecodeSpec(greyAlpha).GetColor(0, 0), PackColor(191, 191, 191));

    // 16 bits: reduced first (32896 -> 128, 65535 -> 255), then over white.
    const PngSpec rgba16{1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, Samples16({0, 32896, 65535, 32896}), {}, {}};
    EXPECT_EQ(DecodeSpec(rgba16).GetColor(0, 0),
              PackColor(ExpectedOverWhite(0, 128), ExpectedOverWhite(128, 128), 255));

    // A palette with alphas, and a grey level marked transparent.
    const PngSpec palette{2, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1}, {{255, 0, 0}, {0, 0, 255}}, {0, 255}};
    const Bitmap p = DecodeSpec(palette);
    EXPECT_EQ(p.GetColor(0, 0), PackColor(255, 255, 255));
    EXPECT_EQ(p.GetColor(1, 0), PackColor(0, 0, 255));
    PngSpec keyed{2, 1, PNG_COLOR_TYPE_GRAY, 8, {7, 8}, {}, {}};
    keyed.transparentGrey = 7;
    const Bitmap k = DecodeSpec(keyed);
    EXPECT_EQ(k.GetColor(0, 0), PackColor(255, 255, 255));
    EXPECT_EQ(k.GetColor(1, 0), PackColor(8, 8, 8));
}

TEST(Png, InterlacedWithAlphaMatchesPlain) {
    const std::vector<std::uint8_t> a = ReadSample("png/basi6a08.png"), b = ReadSample("png/basn6a08.png");
    const Bitmap interlaced = DecodePng(a.data(), a.size());
    EXPECT_EQ(interlaced, DecodePng(b.data(), b.size()));
    // The suite's picture fades to transparent: its corner shows the white behind.
    EXPECT_FALSE(interlaced.Empty());
}

TEST(Png, BrokenFilesAreRefused) {
    const std::vector<std::uint8_t> good = ReadSample("png/basn2c08.png");
    for (const std::size_t cut : {std::size_t(0), std::size_t(7), std::size_t(20), std::size_t(40), good.size() / 2}) {
        const std::vector<std::uint8_t> bytes(good.begin(), good.begin() + std::ptrdiff_t(cut));
        EXPECT_THROW(DecodePng(bytes.data(), bytes.size()), EInvalidGraphic) << "cut at " << cut;
    }
    std::vector<std::uint8_t> badCrc = good;
    badCrc[30] ^= 0xFF;
    try {
        DecodePng(badCrc.data(), badCrc.size());
        ADD_FAILURE() << "a bad IHDR checksum was accepted";
    } catch (const EInvalidGraphic& error) {
        EXPECT_NE(std::string(error.what()).find("PNG"), std::string::npos) << error.what();
    }
}

TEST(Png, HugeDeclaredSizesAreRefusedBeforeAllocating) {
    const std::vector<std::uint8_t> good = ReadSample("png/basn0g01.png");
    for (const auto& [width, height] : {std::pair{60000u, 60000u}, std::pair{70000u, 10u}, std::pair{10u, 70000u}}) {
        const std::vector<std::uint8_t> bytes = WithDeclaredSize(good, width, height);
        EXPECT_THROW(DecodePng(bytes.data(), bytes.size()), EPictureTooLarge) << width << " x " << height;
    }
}

TEST(Png, WritesPlainRgbWithTheResolution) {
    const Bitmap picture = AsymmetricPicture();
    PictureMetadata metadata;
    metadata.ResolutionX = 300;
    metadata.ResolutionY = 150;
    const std::vector<std::uint8_t> bytes = EncodePng(picture, metadata);
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(bytes[24], 8);  // bit depth
    EXPECT_EQ(bytes[25], 2);  // colour type: RGB
    EXPECT_EQ(bytes[28], 0);  // not interlaced
    PictureMetadata read;
    EXPECT_EQ(DecodePng(bytes.data(), bytes.size(), &read), picture);
    // Dots per metre are whole numbers: a resolution comes back within 0.0254 dpi.
    EXPECT_NEAR(read.ResolutionX, 300, 0.03);
    EXPECT_NEAR(read.ResolutionY, 150, 0.03);
    PictureMetadata none;
    const std::vector<std::uint8_t> plain = EncodePng(picture);
    DecodePng(plain.data(), plain.size(), &none);
    EXPECT_EQ(none.ResolutionX, 0);
}

// A 100-megapixel open stops within its first rows. One bit per pixel keeps the file small.
TEST(Png, AHundredMegapixelLoadStopsWithinItsFirstRows) {
    const PngSpec spec{10000, 10000, PNG_COLOR_TYPE_GRAY, 1, std::vector<std::uint8_t>(1250 * 10000, 0x5A), {}, {}};
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(WritePng(spec, bytes));
    const ScratchFolder scratch;
    WriteFileAtomically(scratch / "huge.png", bytes);
    std::vector<std::int64_t> done;
    std::int64_t total = 0;
    const ProgressCallback stopAtThird{[&](std::int64_t now, std::int64_t of) {
        done.push_back(now);
        total = of;
        return done.size() < 3;
    }};
    SetAvailableMemorySource([] { return std::optional<std::int64_t>(); });  // the same on any machine
    EXPECT_THROW(LoadPictureFile(scratch / "huge.png", PictureFormat::Png, OrientationRule::Upright, stopAtThird),
                 ECancelled);
    SetAvailableMemorySource(nullptr);
    ASSERT_EQ(done.size(), 3u);
    EXPECT_LT(done.back() * 1000, total);
}
