// HEIF (HEIC and AVIF), WebP and JPEG XL over the files of tests/data/modern, all made from
// modern/source.png (79 x 53) and modern/alpha.png (the same with an alpha ramp): pixels,
// orientation, metadata, refusals, and WebP saved and read back.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/Errors.h"
#include "image/Exif.h"
#include "image/ExifUpright.h"
#include "image/Heif.h"
#include "image/Jpeg.h"
#include "image/Jxl.h"
#include "image/MemoryCheck.h"
#include "image/MetadataBlocks.h"
#include "image/Png.h"
#include "SampleFiles.h"
#include "image/WebP.h"

namespace {
enum class Format { Heif, WebP, Jxl };

Bitmap Decode(Format format, const std::vector<std::uint8_t>& bytes, PictureMetadata* metadata = nullptr,
              const ProgressCallback& progress = {}) {
    switch (format) {
        case Format::Heif: return DecodeHeif(bytes.data(), bytes.size(), metadata, progress);
        case Format::WebP: return DecodeWebP(bytes.data(), bytes.size(), metadata, progress);
        default: return DecodeJxl(bytes.data(), bytes.size(), metadata, progress);
    }
}

// The picture as the loader shows it: a WebP is turned by its EXIF orientation, as a JPEG is;
// HEIF and JPEG XL files are turned by the library, and their EXIF must not turn them again.
Bitmap Shown(Format format, Bitmap picture, const PictureMetadata& metadata) {
    return format == Format::WebP ? UprightPicture(std::move(picture), ExifOrientation(metadata)) : picture;
}

Bitmap Png(const std::string& name) {
    const std::vector<std::uint8_t> bytes = ReadSample("modern/" + name);
    return DecodePng(bytes.data(), bytes.size());  // alpha over white, the rule under test
}

double RootMeanSquare(const Bitmap& a, const Bitmap& b) {
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (std::size_t i = 0; i < a.RowBytes(); ++i) sum += std::pow(double(a.Row(y)[i]) - b.Row(y)[i], 2);
    return std::sqrt(sum / (double(a.RowBytes()) * a.Height()));
}

std::vector<std::uint8_t> CatProfile() {
    const std::vector<std::uint8_t> cat = ReadSample("photos/cat.jpg");
    PictureMetadata metadata;
    DecodeJpeg(cat.data(), cat.size(), metadata);
    return IccProfileOf(metadata);
}

const char* FormatWord(const std::string& file) {
    if (file.ends_with(".heic")) return "HEIF";
    if (file.ends_with(".avif")) return "AVIF";
    return file.ends_with(".webp") ? "WebP" : "JPEG XL";
}

// Lossless files must give their source back within rounding. Lossy ones are held to 2 levels
// of the decoding by the encoder's own tool (heif-convert, avifdec, dwebp, djxl; `tool`), and
// to the source only as loosely as their loss allows, which still catches a colour mix-up.
struct Sample {
    const char* file;
    Format format;
    const char* source;  // source.png or alpha.png
    double sourceBound;
    const char* tool;     // the tool's decoding, or nullptr
    int exifOrientation;  // what the EXIF block says; 0 for no EXIF
    bool icc, xmp;        // whether they carry cat.jpg's ICC profile, an XMP packet
};

const Sample Samples[] = {
    {"heic-q90.heic", Format::Heif, "source.png", 6, "heic-q90.ref.png", 0, true, false},
    {"heic-alpha.heic", Format::Heif, "alpha.png", 6, "heic-alpha.ref.png", 0, false, false},
    {"heic-10bit.heic", Format::Heif, "source.png", 6, "heic-10bit.ref.png", 0, false, false},
    // Stored on its side with a rotation property and an EXIF orientation of 6, as phones do.
    {"avif-rotated.avif", Format::Heif, "source.png", 0.5, nullptr, 6, false, false},
    {"avif-10bit.avif", Format::Heif, "source.png", 0.5, nullptr, 0, false, false},
    {"avif-alpha.avif", Format::Heif, "alpha.png", 0.5, nullptr, 0, false, false},
    // Its rotation property made by the encoder from the EXIF orientation.
    {"avif-lossy.avif", Format::Heif, "source.png", 6, "avif-lossy.ref.png", 6, true, true},
    {"webp-lossy.webp", Format::WebP, "source.png", 6, "webp-lossy.ref.png", 0, false, false},
    {"webp-lossless.webp", Format::WebP, "source.png", 0, nullptr, 0, false, false},
    {"webp-alpha.webp", Format::WebP, "alpha.png", 0, nullptr, 0, false, false},
    // Stored on its side, turned upright only by its EXIF chunk.
    {"webp-exif6.webp", Format::WebP, "source.png", 0, nullptr, 6, true, true},
    {"webp-animated.webp", Format::WebP, "source.png", 0, nullptr, 0, false, false},
    {"jxl-lossless.jxl", Format::Jxl, "source.png", 0, nullptr, 0, true, false},
    {"jxl-alpha.jxl", Format::Jxl, "alpha.png", 0, nullptr, 0, false, false},
    {"jxl-lossy.jxl", Format::Jxl, "source.png", 6, "jxl-lossy.ref.png", 0, false, false},
    // A JPEG of the picture stored on its side, with EXIF orientation 6, recompressed: the
    // orientation is the codestream's, and libjxl turns the picture; the EXIF comes from its
    // Brotli-compressed box.
    {"jxl-exif6.jxl", Format::Jxl, "source.png", 6, nullptr, 6, false, false},
};

class ModernFile : public ::testing::TestWithParam<Sample> {
protected:
    std::vector<std::uint8_t> bytes = ReadSample(std::string("modern/") + GetParam().file);
};

TEST_P(ModernFile, DecodesUprightCloseToItsSourceWithItsMetadata) {
    const Sample& s = GetParam();
    PictureMetadata metadata;
    const Bitmap shown = Shown(s.format, Decode(s.format, bytes, &metadata), metadata);
    const Bitmap source = Png(s.source);
    ASSERT_EQ(shown.Width(), source.Width());
    ASSERT_EQ(shown.Height(), source.Height());
    EXPECT_LE(RootMeanSquare(shown, source), s.sourceBound);
    if (s.tool) {
        EXPECT_LE(RootMeanSquare(shown, Png(s.tool)), 2.0);
    }
    EXPECT_EQ(s.exifOrientation ? ExifOrientation(metadata) : 0, s.exifOrientation);
    EXPECT_EQ(!ExifTiffOf(metadata).empty(), s.exifOrientation != 0);
    EXPECT_EQ(IccProfileOf(metadata) == CatProfile(), s.icc);
    EXPECT_EQ(XmpPacketOf(metadata).empty(), !s.xmp);
}

TEST_P(ModernFile, CutShortIsRefusedNamingTheFormat) {
    for (std::size_t keep : {std::size_t(0), std::size_t(16), bytes.size() / 2}) {
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + keep);
        try {
            Decode(GetParam().format, cut);
            ADD_FAILURE() << keep << " bytes decoded";
        } catch (const EPictureFileInvalid& e) {
            EXPECT_NE(std::string(e.what()).find(FormatWord(GetParam().file)), std::string::npos) << e.what();
        }
    }
}

TEST_P(ModernFile, SizeIsCheckedAgainstFreeMemoryBeforeDecoding) {
    SetAvailableMemorySource([] { return std::optional<std::int64_t>(1000); });
    EXPECT_THROW(Decode(GetParam().format, bytes), ENotEnoughMemory);
    SetAvailableMemorySource(nullptr);
}

TEST_P(ModernFile, ProgressRisesAndCancelStops) {
    std::int64_t last = -1, total = 0;
    const ProgressCallback watch{[&](std::int64_t done, std::int64_t all) {
        EXPECT_GT(done, last);
        last = done, total = all;
        return true;
    }};
    Decode(GetParam().format, bytes, nullptr, watch);
    EXPECT_EQ(last, total);
    const ProgressCallback cancel{[](std::int64_t, std::int64_t) { return false; }};
    EXPECT_THROW(Decode(GetParam().format, bytes, nullptr, cancel), ECancelled);
}

INSTANTIATE_TEST_SUITE_P(Samples, ModernFile, ::testing::ValuesIn(Samples),
                         [](const auto& info) { return SampleTestName(info.param.file); });

// A WebP save keeps the picture and its metadata: EXIF (made to say upright), ICC and XMP.
struct WebPSave {
    WebPCompression compression;
    double bound;  // lossy at quality 90 loses a little of this small photo's detail
};

class WebPRoundTrip : public ::testing::TestWithParam<WebPSave> {};

TEST_P(WebPRoundTrip, KeepsPictureAndMetadata) {
    const std::vector<std::uint8_t> stored = ReadSample("modern/webp-exif6.webp");
    PictureMetadata metadata;
    const Bitmap upright = Shown(Format::WebP, DecodeWebP(stored.data(), stored.size(), &metadata), metadata);
    const std::vector<std::uint8_t> saved = EncodeWebP(upright, metadata, GetParam().compression);
    PictureMetadata again;
    const Bitmap back = DecodeWebP(saved.data(), saved.size(), &again);
    EXPECT_LE(RootMeanSquare(back, upright), GetParam().bound);
    EXPECT_EQ(ExifOrientation(again), 1);
    EXPECT_EQ(IccProfileOf(again), CatProfile());
    EXPECT_EQ(XmpPacketOf(again), XmpPacketOf(metadata));
}

INSTANTIATE_TEST_SUITE_P(Compressions, WebPRoundTrip,
                         ::testing::Values(WebPSave{WebPCompression::Lossless, 0},
                                           WebPSave{WebPCompression::Lossy, 4}));

TEST(WebPSaveLimits, PastTheFormatsSideIsRefusedSayingSo) {
    try {
        EncodeWebP(Bitmap(MaxWebPSide + 1, 1));
        ADD_FAILURE() << "encoded";
    } catch (const EPictureFileInvalid& e) {
        EXPECT_NE(std::string(e.what()).find("16383"), std::string::npos) << e.what();
    }
}
}  // namespace
