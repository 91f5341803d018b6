// TIFF through libtiff: the sample variants of one picture, files made here for the layouts a
// scanner hands over, pages, broken and hostile files, and what the writer produces.
#include "image/Tiff.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/Errors.h"
#include "image/ExifUpright.h"
#include "SampleFiles.h"
#include "image/SampleRows.h"
#include "image/WhiteBackground.h"

namespace {
double MeanDifference(const Bitmap& a, const Bitmap& b) {
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (std::size_t i = 0; i < a.RowBytes(); ++i) sum += std::abs(a.Row(y)[i] - b.Row(y)[i]);
    return sum / (double(a.Width()) * a.Height() * 3);
}

Bitmap ReadSampleTiff(const std::string& name) {
    const std::vector<std::uint8_t> bytes = ReadSample(name);
    return ReadTiff(bytes.data(), bytes.size()).Picture;
}

// A TIFF made with libtiff itself, one strip per page, rows packed as the depth needs.
struct TiffSpec {
    std::uint32_t width, height;
    std::uint16_t bits, samples, photometric;
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint16_t> colourMap;  // red, green, blue: 2^bits entries each
    std::uint16_t extraSample = 0xFFFF;    // EXTRASAMPLE_* for a fourth or second sample
};

std::vector<std::uint8_t> WriteTiff(const TiffSpec& spec, int pages = 1) {
    ScratchFolder scratch;
    const std::string path = scratch / "made.tif";
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    for (int page = 0; page < pages; ++page) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, spec.width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, spec.height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, spec.bits);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spec.samples);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, spec.photometric);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, spec.height);
        if (!spec.colourMap.empty()) {
            const std::size_t n = spec.colourMap.size() / 3;
            TIFFSetField(tif, TIFFTAG_COLORMAP, spec.colourMap.data(), spec.colourMap.data() + n,
                         spec.colourMap.data() + 2 * n);
        }
        if (spec.extraSample != 0xFFFF) TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &spec.extraSample);
        std::vector<std::uint8_t> pixels = spec.pixels;
        pixels[0] = std::uint8_t(pixels[0] + page);  // each page its own first byte
        TIFFWriteEncodedStrip(tif, 0, pixels.data(), tmsize_t(pixels.size()));
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return ReadWholeFile(path);
}

Bitmap DecodeSpec(const TiffSpec& spec) {
    const std::vector<std::uint8_t> bytes = WriteTiff(spec);
    return DecodeTiff(bytes.data(), bytes.size());
}

// A little-endian TIFF of one grey 8-bit strip, written byte by byte, so that the fields can
// say what libtiff would never write: a huge size, or a next page that is the same page.
std::vector<std::uint8_t> HandMadeTiff(std::uint32_t width, std::uint32_t height, std::uint32_t nextPage) {
    std::vector<std::uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto u16 = [&](unsigned v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    const std::uint32_t entries = 7, pixelsAt = 8 + 2 + entries * 12 + 4;
    u16(entries);
    auto entry = [&](unsigned tag, unsigned type, std::uint32_t value) { u16(tag), u16(type), u32(1), u32(value); };
    entry(256, 4, width);           // ImageWidth
    entry(257, 4, height);          // ImageLength
    entry(258, 3, 8);               // BitsPerSample
    entry(262, 3, 1);               // Photometric: min-is-black
    entry(273, 4, pixelsAt);        // StripOffsets
    entry(278, 4, height);          // RowsPerStrip
    entry(279, 4, width * height);  // StripByteCounts
    u32(nextPage);
    b.insert(b.end(), {77, 0, 0, 0});
    return b;
}

struct TiffFileCase {
    const char* name;
    double largestMeanDifference;  // from the uncompressed RGB file
};
}  // namespace

class TiffVariant : public testing::TestWithParam<TiffFileCase> {};

// Every variant shows the same picture as the plain uncompressed one; lossless ones exactly.
TEST_P(TiffVariant, ShowsThePlainPicture) {
    const Bitmap plain = ReadSampleTiff("tiff/rgb8_none_strips.tif");
    const Bitmap picture = ReadSampleTiff(std::string("tiff/") + GetParam().name);
    ASSERT_EQ(picture.Width(), 320);
    ASSERT_EQ(picture.Height(), 240);
    EXPECT_LE(MeanDifference(picture, plain), GetParam().largestMeanDifference);
    if (GetParam().largestMeanDifference == 0) EXPECT_EQ(picture, plain);
}

INSTANTIATE_TEST_SUITE_P(Samples, TiffVariant,
                         testing::Values(TiffFileCase{"rgb8_lzw.tif", 0}, TiffFileCase{"rgb8_deflate.tif", 0},
                                         TiffFileCase{"rgb8_packbits.tif", 0},
                                         TiffFileCase{"rgb8_deflate_tiled.tif", 0},
                                         TiffFileCase{"rgb8_lzw_planar.tif", 0},
                                         TiffFileCase{"rgb8_lzw_bigendian.tif", 0},
                                         TiffFileCase{"multipage3_lzw.tif", 0}, TiffFileCase{"rgb16_deflate.tif", 0},
                                         TiffFileCase{"rgb8_jpeg.tif", 3}, TiffFileCase{"palette8_lzw.tif", 6},
                                         TiffFileCase{"grey8_lzw.tif", 40}, TiffFileCase{"grey16_none.tif", 40},
                                         TiffFileCase{"bilevel_g4.tif", 128}, TiffFileCase{"rgba8_deflate.tif", 128}),
                         [](const auto& info) { return SampleTestName(info.param.name); });

TEST(Tiff, GreyDepthsAgreeAndStayGrey) {
    const Bitmap grey8 = ReadSampleTiff("tiff/grey8_lzw.tif"), grey16 = ReadSampleTiff("tiff/grey16_none.tif");
    EXPECT_LE(MeanDifference(grey8, grey16), 1.0);
    const Bitmap bilevel = ReadSampleTiff("tiff/bilevel_g4.tif");
    for (const Bitmap* picture : {&grey8, &grey16, &bilevel}) {
        const PackedColor c = picture->GetColor(100, 100);
        EXPECT_EQ(RedOf(c), GreenOf(c));
        EXPECT_EQ(GreenOf(c), BlueOf(c));
    }
}

// Grey tiles of 16 x 16 holding a picture of 20 x 18 samples, so that the tiles along the
// right and bottom edges reach past it: sample (x, y) is `value(x, y)`, packed at `bits`.
template <typename Value>
std::vector<std::uint8_t> WriteGreyTiles(std::uint16_t bits, Value value) {
    constexpr std::uint32_t Width = 20, Height = 18, Side = 16;
    ScratchFolder scratch;
    const std::string path = scratch / "tiles.tif";
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, Width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, Height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, Side);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, Side);
    std::vector<std::uint8_t> tile(std::size_t(TIFFTileSize(tif)));
    const std::size_t rowBytes = tile.size() / Side;
    for (std::uint32_t ty = 0; ty < Height; ty += Side)
        for (std::uint32_t tx = 0; tx < Width; tx += Side) {
            std::fill(tile.begin(), tile.end(), 0xA5);  // past the picture: anything
            for (std::uint32_t y = 0; y < Side && ty + y < Height; ++y)
                for (std::uint32_t x = 0; x < Side && tx + x < Width; ++x) {
                    const unsigned v = value(tx + x, ty + y);
                    std::uint8_t* row = tile.data() + y * rowBytes;
                    if (bits == 16) {
                        std::memcpy(row + 2 * x, &v, 2);  // libtiff writes samples in the machine's order
                    } else {
                        const unsigned bit = x * bits, shift = 8 - bits - bit % 8;
                        row[bit / 8] = std::uint8_t((row[bit / 8] & ~(((1u << bits) - 1) << shift)) | v << shift);
                    }
                }
            TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, tx, ty, 0, 0), tile.data(), tmsize_t(tile.size()));
        }
    TIFFClose(tif);
    return ReadWholeFile(path);
}

// Tiles of every depth: each level spread evenly over 0 to 255, 16-bit samples rounded, the
// edge tiles cut to the picture.
TEST(Tiff, GreyTilesOfEveryDepthDecodeExactly) {
    const auto check = [](std::uint16_t bits, auto value, auto expected) {
        const std::vector<std::uint8_t> bytes = WriteGreyTiles(bits, value);
        const Bitmap picture = DecodeTiff(bytes.data(), bytes.size());
        ASSERT_EQ(picture.Width(), 20) << bits;
        ASSERT_EQ(picture.Height(), 18) << bits;
        for (std::uint32_t y = 0; y < 18; ++y)
            for (std::uint32_t x = 0; x < 20; ++x) {
                const unsigned e = expected(value(x, y));
                ASSERT_EQ(picture.GetColor(int(x), int(y)), PackColor(e, e, e))
                    << bits << " bits at " << x << ", " << y;
            }
    };
    for (const std::uint16_t bits : {1, 2, 4, 8}) {
        const unsigned top = (1u << bits) - 1;
        check(
            bits, [=](std::uint32_t x, std::uint32_t y) { return (x * 3 + y * 5) & top; },
            [=](unsigned level) { return level * 255 / top; });
    }
    // Values around the points where rounding and cutting off the low byte disagree.
    check(
        16, [](std::uint32_t x, std::uint32_t y) { return (x * 257 + 128 + (y & 1)) * ((y % 3) + 1) & 0xFFFF; },
        [](unsigned v) { return (v + 128) / 257; });
}

// Tiles show what the same picture shows in strips.
TEST(Tiff, SixteenBitTilesShowTheStripPicture) {
    EXPECT_EQ(ReadSampleTiff("tiff/grey16_deflate_tiled.tif"), ReadSampleTiff("tiff/grey16_none.tif"));
    EXPECT_EQ(ReadSampleTiff("tiff/rgb16_deflate_tiled.tif"), ReadSampleTiff("tiff/rgb16_deflate.tif"));
}

TEST(Tiff, AlphaRampGoesFromWhiteToThePicture) {
    const Bitmap plain = ReadSampleTiff("tiff/rgb8_none_strips.tif");
    const Bitmap ramp = ReadSampleTiff("tiff/rgba8_deflate.tif");
    for (int y = 0; y < ramp.Height(); y += 37) {
        EXPECT_EQ(ramp.GetColor(0, y), PackColor(255, 255, 255)) << y;
        const PackedColor right = ramp.GetColor(319, y), original = plain.GetColor(319, y);
        EXPECT_LE(std::abs(RedOf(right) - RedOf(original)), 2) << y;
    }
}

TEST(Tiff, OrientationTagIsTurnedUpright) {
    const Bitmap plain = ReadSampleTiff("tiff/rgb8_lzw.tif");
    const std::vector<std::uint8_t> bytes = ReadSample("tiff/rgb8_lzw_orientation6.tif");
    const StoredTiff stored = ReadTiff(bytes.data(), bytes.size());
    EXPECT_EQ(stored.Orientation, 6);
    EXPECT_EQ(stored.Picture, plain);
    const Bitmap upright = DecodeTiff(bytes.data(), bytes.size());
    EXPECT_EQ(upright.Width(), 240);
    EXPECT_EQ(upright, UprightPicture(plain, 6));
    EXPECT_EQ(LoadPictureFile(SamplePath("tiff/rgb8_lzw_orientation6.tif"), PictureFormat::Tiff).Picture, upright);
    EXPECT_EQ(
        LoadPictureFile(SamplePath("tiff/rgb8_lzw_orientation6.tif"), PictureFormat::Tiff, OrientationRule::AsStored)
            .Picture,
        plain);
}

// The layouts a scanner's native transfer hands over in memory: uncompressed strips of 1, 8
// and 24 bits, grey, palette and colour.
TEST(Tiff, ScannerLayoutsDecodeExactly) {
    const struct {
        const char* what;
        TiffSpec spec;
        std::vector<PackedColor> expected;
    } cases[] = {
        {"bilevel, min-is-black",
         {3, 1, 1, 1, PHOTOMETRIC_MINISBLACK, {0b10100000}, {}},
         {PackColor(255, 255, 255), PackColor(0, 0, 0), PackColor(255, 255, 255)}},
        {"bilevel, min-is-white",
         {3, 1, 1, 1, PHOTOMETRIC_MINISWHITE, {0b10100000}, {}},
         {PackColor(0, 0, 0), PackColor(255, 255, 255), PackColor(0, 0, 0)}},
        {"grey 8",
         {3, 1, 8, 1, PHOTOMETRIC_MINISBLACK, {0, 77, 255}, {}},
         {PackColor(0, 0, 0), PackColor(77, 77, 77), PackColor(255, 255, 255)}},
        {"palette 8",
         {2,
          1,
          8,
          1,
          PHOTOMETRIC_PALETTE,
          {1, 0},
          [] {
              std::vector<std::uint16_t> map(3 * 256, 0);
              map[0] = 0xFFFF;        // entry 0: red
              map[256 + 1] = 0x8080;  // entry 1: green 128
              map[512 + 1] = 0x4040;  // and blue 64
              return map;
          }()},
         {PackColor(0, 128, 64), PackColor(255, 0, 0)}},
        {"RGB 24",
         {2, 1, 8, 3, PHOTOMETRIC_RGB, {1, 2, 3, 250, 251, 252}, {}},
         {PackColor(1, 2, 3), PackColor(250, 251, 252)}},
        {"grey 16, rounded",
         {3, 1, 16, 1, PHOTOMETRIC_MINISBLACK, {128, 0, 129, 0, 0x80, 0x80}, {}},
         {PackColor(0, 0, 0), PackColor(1, 1, 1), PackColor(128, 128, 128)}},
        {"RGBA, straight alpha",
         {2, 1, 8, 4, PHOTOMETRIC_RGB, {200, 100, 50, 128, 9, 9, 9, 0}, {}, EXTRASAMPLE_UNASSALPHA},
         {PackColor(227, 177, 152), PackColor(255, 255, 255)}},
        {"RGBA, premultiplied",
         {1, 1, 8, 4, PHOTOMETRIC_RGB, {100, 50, 25, 128}, {}, EXTRASAMPLE_ASSOCALPHA},
         {PackColor(227, 177, 152)}},
    };
    for (const auto& c : cases) {
        const Bitmap picture = DecodeSpec(c.spec);
        ASSERT_EQ(picture.Width(), int(c.expected.size())) << c.what;
        for (int x = 0; x < picture.Width(); ++x)
            EXPECT_EQ(picture.GetColor(x, 0), c.expected[x]) << c.what << " x=" << x;
    }
}

// Strips are read whole, except one too large to hold beside the picture (16 MB), which is
// read a row at a time: that way gives the same picture, compressed or not. (Every other TIFF
// test reads whole strips.)
TEST(Tiff, LargeStripsAreReadByRowsAlike) {
    ScratchFolder scratch;
    Bitmap picture(2400, 2400);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            picture.SetColor(x, y,
                             PackColor(std::uint8_t(x * 7 + y), std::uint8_t(y * 3), std::uint8_t((x ^ y) & 255)));
    for (const std::uint16_t compression :
         {std::uint16_t(COMPRESSION_NONE), std::uint16_t(COMPRESSION_ADOBE_DEFLATE)}) {
        for (const std::uint32_t rowsPerStrip : {2400u}) {
            const std::string path = scratch / "strips.tif";
            TIFF* tif = TIFFOpen(path.c_str(), "w");
            ASSERT_NE(tif, nullptr);
            TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 2400);
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2400);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
            TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
            std::vector<std::uint8_t> row(2400 * 3);
            for (std::uint32_t y = 0; y < 2400; ++y) {
                for (int x = 0; x < 2400; ++x) {
                    const PackedColor c = picture.GetColor(x, int(y));
                    row[x * 3] = RedOf(c), row[x * 3 + 1] = GreenOf(c), row[x * 3 + 2] = BlueOf(c);
                }
                TIFFWriteScanline(tif, row.data(), y, 0);
            }
            TIFFClose(tif);
            EXPECT_EQ(LoadPicture(path, PictureFormat::Tiff), picture) << compression << " " << rowsPerStrip;
        }
    }
}

TEST(Tiff, OnlyTheFirstOfManyPagesIsRead) {
    const TiffSpec spec{1, 1, 8, 1, PHOTOMETRIC_MINISBLACK, {10}, {}};
    const std::vector<std::uint8_t> bytes = WriteTiff(spec, 1000);
    EXPECT_EQ(DecodeTiff(bytes.data(), bytes.size()).GetColor(0, 0), PackColor(10, 10, 10));

    // A page chain that comes back to its first page is never followed.
    const std::vector<std::uint8_t> loop = HandMadeTiff(1, 1, 8);
    EXPECT_EQ(DecodeTiff(loop.data(), loop.size()).GetColor(0, 0), PackColor(77, 77, 77));
}

TEST(Tiff, BrokenAndHostileFilesAreRefused) {
    for (const char* name : {"tiff/rgb8_deflate.tif", "tiff/rgb8_deflate_tiled.tif", "tiff/grey16_deflate_tiled.tif"}) {
        const std::vector<std::uint8_t> whole = ReadSample(name);
        for (const std::size_t cut : {std::size_t(0), std::size_t(4), std::size_t(100), whole.size() / 2}) {
            const std::vector<std::uint8_t> bytes(whole.begin(), whole.begin() + std::ptrdiff_t(cut));
            EXPECT_THROW(DecodeTiff(bytes.data(), bytes.size()), EInvalidGraphic) << name << " cut at " << cut;
        }
        // The directory is at the end: the pixels themselves are damaged.
        std::vector<std::uint8_t> scrambled = whole;
        for (std::size_t i = 1000; i < 60000; ++i) scrambled[i] = std::uint8_t(i * 131 >> 3);
        EXPECT_THROW(DecodeTiff(scrambled.data(), scrambled.size()), EInvalidGraphic) << name << " scrambled";
    }
    const std::vector<std::uint8_t> good = ReadSample("tiff/rgb8_deflate.tif");
    const std::string text = "II*\0 this is not a picture";
    EXPECT_THROW(DecodeTiff(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), EInvalidGraphic);

    for (const auto& [width, height] : {std::pair{60000u, 60000u}, std::pair{70000u, 1u}}) {
        const std::vector<std::uint8_t> huge = HandMadeTiff(width, height, 0);
        EXPECT_THROW(DecodeTiff(huge.data(), huge.size()), EPictureTooLarge) << width << " x " << height;
    }
    const std::vector<std::uint8_t> empty = HandMadeTiff(0, 5, 0);
    EXPECT_THROW(DecodeTiff(empty.data(), empty.size()), EInvalidGraphic);
    try {
        DecodeTiff(good.data(), 100);
    } catch (const EInvalidGraphic& error) {
        EXPECT_NE(std::string(error.what()).find("TIFF"), std::string::npos) << error.what();
    }
}

TEST(Tiff, WritesDeflateRgbAtTheResolution) {
    ScratchFolder scratch;
    const Bitmap picture = AsymmetricPicture();
    PictureMetadata metadata;
    metadata.ResolutionX = 300;
    metadata.ResolutionY = 200;
    for (const bool withResolution : {true, false}) {
        const std::string path = scratch / "written.tif";
        SavePicture(path, picture, PictureFormat::Tiff, withResolution ? metadata : PictureMetadata{});
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        std::uint16_t compression = 0, bits = 0, samples = 0, photometric = 0;
        float x = 0, y = 0;
        TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        EXPECT_EQ(compression, COMPRESSION_ADOBE_DEFLATE);
        EXPECT_EQ(bits, 8);
        EXPECT_EQ(samples, 3);
        EXPECT_EQ(photometric, PHOTOMETRIC_RGB);
        EXPECT_EQ(TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) == 1, withResolution);
        if (withResolution) {
            TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y);
            EXPECT_EQ(x, 300);
            EXPECT_EQ(y, 200);
        }
        TIFFClose(tif);
        const LoadedPicture loaded = LoadPictureFile(path, PictureFormat::Tiff);
        EXPECT_EQ(loaded.Picture, picture);
        EXPECT_EQ(loaded.Metadata.ResolutionX, withResolution ? 300 : 0);
    }
}

// The one converter the TIFF, PNG and modern decoders share gives exactly the plain rule
// (Reduce16To8, OverWhite, PremultipliedOverWhite) for every sample value and every value
// with every alpha, in each layout they hand it: 16 bits, either colour order, extra samples.
TEST(SampleRows, EveryValueGivesThePlainRule) {
    const SampleLayout layouts[] = {
        {1, false, AlphaKind::None, 16},          {3, false, AlphaKind::Straight, 16},
        {3, true, AlphaKind::Straight, 8},        {3, false, AlphaKind::Premultiplied, 8, 2},
        {1, false, AlphaKind::Premultiplied, 16, 1},
    };
    for (const SampleLayout& layout : layouts) {
        const bool wide = layout.Bits > 8;
        const std::size_t width = 65536, samples = std::size_t(layout.Samples());
        auto level = [&](unsigned v) { return wide ? unsigned(Reduce16To8(v)) : v; };
        std::vector<std::uint16_t> in(width * samples, 0xABCD);
        std::vector<std::uint8_t> expected(width * 3);
        for (std::size_t x = 0; x < width; ++x) {
            // Every 16-bit value against a falling alpha; every byte with every alpha.
            const unsigned v = wide ? unsigned(x) : x & 255, a = wide ? unsigned(65535 - x) : unsigned(x >> 8);
            const unsigned colour[3] = {v, (v * 7 + 3) % (wide ? 65536 : 256), v ^ (wide ? 0xFFFF : 0xFF)};
            std::uint16_t* pixel = &in[x * samples];
            for (int c = 0; c < layout.Colours; ++c) pixel[c] = std::uint16_t(colour[c]);
            if (layout.Alpha != AlphaKind::None) pixel[layout.Colours] = std::uint16_t(a);
            const unsigned first = level(colour[0]), second = level(colour[layout.Colours == 3 ? 1 : 0]),
                           third = level(colour[layout.Colours == 3 ? 2 : 0]);
            const unsigned bgr[3] = {layout.BlueFirst ? first : third, second, layout.BlueFirst ? third : first};
            for (int c = 0; c < 3; ++c)
                expected[x * 3 + c] = layout.Alpha == AlphaKind::None       ? std::uint8_t(bgr[c])
                                      : layout.Alpha == AlphaKind::Straight ? OverWhite(bgr[c], level(a))
                                                                            : PremultipliedOverWhite(bgr[c], level(a));
        }
        const std::vector<std::uint8_t> bytes(in.begin(), in.end());  // 8-bit samples, one a byte
        std::vector<std::uint8_t> out(width * 3);
        SampleRowConverter(layout).Convert(wide ? static_cast<const void*>(in.data()) : bytes.data(), out.data(), width);
        EXPECT_EQ(out, expected) << layout.Colours << " colours, " << layout.Bits << " bits, extra " << layout.Extra;
    }
}
