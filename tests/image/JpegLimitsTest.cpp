// The JPEG codec's limits and fixed choices: the scan limit, the largest side, the quality
// pictures are saved at, and damaged data read as grey.
#include <gtest/gtest.h>

#include <cstdio>  // jerror.h and jpeglib.h need FILE
#include <filesystem>
#include <jerror.h>
#include <jpeglib.h>
#include <unistd.h>

#include "CraftedSegments.h"
#include "common/Errors.h"
#include "image/Jpeg.h"
#include "TestData.h"
#include "ScratchFolder.h"

namespace {
// A progressive file whose scans are headers without data: `scans` AC scans of the first
// component, or DC scans of all of them, over a side x side picture. Tiny whatever the side.
std::vector<std::uint8_t> ScanBomb(int side, std::uint8_t components, bool dc, int scans) {
    std::vector<std::uint8_t> ones(65, 1), tables(36, 0);  // quantisation; a DC and an AC code
    ones[0] = 0;
    tables[1] = tables[19] = 1, tables[18] = 0x10;
    const auto s0 = std::uint8_t(side >> 8), s1 = std::uint8_t(side);
    std::vector<std::uint8_t> frame{8, s0, s1, s0, s1, components}, scan{std::uint8_t(dc ? components : 1)};
    for (std::uint8_t c = 1; c <= components; ++c) frame.insert(frame.end(), {c, 0x11, 0});
    for (std::uint8_t c = 1; c <= scan[0]; ++c) scan.insert(scan.end(), {c, 0});
    scan.insert(scan.end(), {std::uint8_t(dc ? 0 : 1), std::uint8_t(dc ? 0 : 63), 0});
    std::vector<MetadataSegment> segments{{0xDB, ones}, {0xC4, tables}, {0xC2, frame}};
    segments.resize(3 + std::size_t(scans), {0xDA, scan});
    return WithSegments({0xFF, 0xD8, 0xFF, 0xD9}, segments);
}

// testorig.jpg with `count` comments of `size` bytes in front of its other segments.
std::vector<std::uint8_t> WithComments(std::size_t count, std::size_t size) {
    std::vector<MetadataSegment> comments;
    for (std::size_t i = 0; i < count; ++i)
        comments.push_back({MarkerComment, std::vector<std::uint8_t>(size, std::uint8_t('a' + i % 26))});
    return WithSegments(ReadTestFile("jpeg/testorig.jpg"), comments);
}

// The sum of the 64 entries of each quantisation table in a baseline file, in table order.
std::vector<int> QuantisationSums(const std::vector<std::uint8_t>& bytes) {
    std::vector<int> sums;
    for (std::size_t i = 2; i + 4 < bytes.size() && !(bytes[i] == 0xFF && bytes[i + 1] == 0xDA);) {
        const std::size_t length = std::size_t(bytes[i + 2]) << 8 | bytes[i + 3];
        if (bytes[i + 1] == 0xDB)
            for (std::size_t t = i + 4; t + 64 < i + 2 + length + 1; t += 65) {
                int sum = 0;
                for (int k = 1; k <= 64; ++k) sum += bytes[t + std::size_t(k)];
                sums.push_back(sum);
            }
        i += 2 + length;
    }
    return sums;
}

// libjpeg's tables for a quality (Annex K's tables, scaled as jpeg_set_quality does).
std::vector<int> ExpectedSums(int quality) {
    static const int luminance[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                      14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                      18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                      49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    static const int chrominance[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                        24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                        99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                        99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
    const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    std::vector<int> sums;
    for (const int* table : {luminance, chrominance}) {
        int sum = 0;
        for (int k = 0; k < 64; ++k) sum += std::clamp((table[k] * scale + 50) / 100, 1, 255);
        sums.push_back(sum);
    }
    return sums;
}
}  // namespace

// Scans that visit far more blocks than the file holds data for are refused before they are
// decoded, however few they are; a pass over a small picture is free.
TEST(JpegLimits, ScansTheFileDoesNotPayForAreRefused) {
    const std::string work =
        "The JPEG file's scans ask for far more decoding than its size holds data for; "
        "it is refused as damaged.";
    const std::string count = "The JPEG file has more than 100 scans; it is refused as damaged.";
    const struct {
        int side;
        std::uint8_t components;
        bool dc;
        int scans;
        const std::string* refusal;
    } cases[] = {
        {4096, 1, false, 1000, &work}, {4096, 1, false, 499, &work}, {4096, 3, true, 30, &work},
        {4096, 3, true, 2, &work},     {8192, 3, true, 1, &work},    {64, 1, false, 101, &count},
        {256, 3, true, 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.side << " x " << c.scans << " scans of " << int(c.components));
        const auto bytes = ScanBomb(c.side, c.components, c.dc, c.scans);
        if (!c.refusal) {
            EXPECT_EQ(DecodeJpeg(bytes.data(), bytes.size()).Width(), c.side);
            continue;
        }
        try {
            DecodeJpeg(bytes.data(), bytes.size());
            ADD_FAILURE() << "decoded";
        } catch (const EInvalidGraphic& error) {
            EXPECT_EQ(error.what(), *c.refusal);
        }
    }
}

// Thousands of segments are read in one pass; past 1024 segments or 32 MB the rest is left
// out and said.
TEST(JpegLimits, KeptMetadataIsCappedAndWhatIsLeftOutIsSaid) {
    const struct { std::size_t count, size, kept; } cases[] = {{100000, 0, 1024}, {600, 65533, 512}, {7, 300, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " of " << c.size << " bytes");
        const auto bytes = WithComments(c.count, c.size);
        PictureMetadata metadata;
        MetadataWarnings warnings;
        EXPECT_EQ(DecodeJpeg(bytes.data(), bytes.size(), metadata, {}, &warnings).Width(), 227);
        ASSERT_EQ(metadata.Segments.size(), c.kept);
        EXPECT_EQ(metadata.Segments.back().Bytes,
                  std::vector<std::uint8_t>(c.size, std::uint8_t('a' + (c.kept - 1) % 26)));
        if (c.kept == c.count) {
            EXPECT_TRUE(warnings.empty());
            continue;
        }
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0].rfind(std::to_string(c.count - c.kept) + " metadata segments (", 0), 0u) << warnings[0];
    }
}

TEST(JpegLimits, ACutFileLoadsWithGreyWhereTheDataIsMissing) {
    std::vector<std::uint8_t> bytes = ReadTestFile("jpeg/testorig.jpg");
    bytes.resize(bytes.size() / 2);
    const Bitmap picture = DecodeJpeg(bytes.data(), bytes.size());
    ASSERT_EQ(picture.Width(), 227);
    ASSERT_EQ(picture.Height(), 149);
    for (const auto& [x, y] : {std::pair{226, 148}, {0, 148}, {113, 140}})
        EXPECT_EQ(picture.GetColor(x, y), PackColor(128, 128, 128)) << x << "," << y;
    EXPECT_NE(picture.GetColor(0, 0), PackColor(128, 128, 128));
}

TEST(JpegLimits, SidesPast65500AreRefusedInWords) {
    const std::string words = "A JPEG file cannot be wider or higher than 65500 pixels.";
    for (const auto& [width, height] : {std::pair{65501, 1}, {1, 65501}, {65535, 2}}) {
        try {
            EncodeJpeg(Bitmap(width, height));
            ADD_FAILURE() << width << " x " << height << " encoded";
        } catch (const EJpegError& error) {
            EXPECT_EQ(error.what(), words);
            EXPECT_EQ(error.Code, JERR_IMAGE_TOO_BIG);
        }
    }
    EXPECT_FALSE(EncodeJpeg(Bitmap(65500, 1)).empty());
    EXPECT_FALSE(EncodeJpeg(Bitmap(1, 65500)).empty());
    // A file that declares such a side gets the same words.
    std::vector<std::uint8_t> bytes = ReadTestFile("jpeg/testorig.jpg");
    std::size_t sof = 2;
    while (!(bytes[sof] == 0xFF && bytes[sof + 1] == 0xC0)) ++sof;
    bytes[sof + 7] = 0xFF, bytes[sof + 8] = 0xFF;  // 65535 wide
    try {
        DecodeJpeg(bytes.data(), bytes.size());
        ADD_FAILURE() << "decoded";
    } catch (const EJpegError& error) {
        EXPECT_EQ(error.what(), words);
    }
}

TEST(JpegLimits, PicturesAreSavedAtQuality90) {
    EXPECT_EQ(QuantisationSums(EncodeJpeg(Bitmap(16, 16), 50)), ExpectedSums(50));  // the reading is right
    EXPECT_NE(ExpectedSums(90), ExpectedSums(89));
    EXPECT_NE(ExpectedSums(90), ExpectedSums(91));
    EXPECT_EQ(QuantisationSums(EncodeJpeg(Bitmap(16, 16))), ExpectedSums(90));
    const TScratchFolder scratch("corvalux-quality");
    const std::filesystem::path file = scratch / "saved.jpg";
    SavePicture(file.string(), Bitmap(16, 16), PictureFormat::Jpeg);
    EXPECT_EQ(QuantisationSums(ReadWholeFile(file.string())), ExpectedSums(90));
}

// A CMYK file without Adobe's marker stores ink as plain values (0 = no ink); with the
// marker, inverted (255 = no ink). The sample has the marker: without it, its white corner
// (inverted "no ink") reads as full ink, black.
TEST(JpegLimits, CmykWithoutAdobeMarkerIsNotInverted) {
    std::vector<std::uint8_t> bytes = ReadTestFile("photos/jpeg-decoder/jpg-cmyk-2.jpg");
    std::size_t adobe = 2;
    while (adobe + 4 < bytes.size() && !(bytes[adobe] == 0xFF && bytes[adobe + 1] == 0xEE)) ++adobe;
    ASSERT_LT(adobe + 4, bytes.size());
    const std::size_t length = std::size_t(bytes[adobe + 2]) << 8 | bytes[adobe + 3];
    bytes.erase(bytes.begin() + std::ptrdiff_t(adobe), bytes.begin() + std::ptrdiff_t(adobe + 2 + length));
    const Bitmap plain = DecodeJpeg(bytes.data(), bytes.size());
    const auto original = ReadTestFile("photos/jpeg-decoder/jpg-cmyk-2.jpg");
    const Bitmap inverted = DecodeJpeg(original.data(), original.size());
    EXPECT_EQ(inverted.GetColor(0, 0), PackColor(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(plain.GetColor(0, 0), PackColor(0, 0, 0));
    // Each channel is (255 - c)(255 - k) / 255 of the stored values instead of c k / 255.
    EXPECT_EQ(inverted.GetColor(128, 128), PackColor(0xAA, 0x59, 0xB4));
    EXPECT_EQ(plain.GetColor(128, 128), PackColor(0x08, 0x15, 0x06));
}

// Noise does not compress: the encoder's buffer must grow past its first guess of half a
// byte a pixel.
TEST(JpegLimits, AnIncompressiblePictureStillEncodes) {
    Bitmap noise(256, 192);
    std::uint32_t state = 12345;
    for (int y = 0; y < noise.Height(); ++y)
        for (std::size_t i = 0; i < noise.RowBytes(); ++i)
            noise.Row(y)[i] = std::uint8_t((state = state * 1103515245 + 12345) >> 23);
    const auto bytes = EncodeJpeg(noise);
    EXPECT_GT(bytes.size(), std::size_t(256 * 192 / 2 + 4096));
    const Bitmap decoded = DecodeJpeg(bytes.data(), bytes.size());
    EXPECT_EQ(decoded.Width(), 256);
    EXPECT_EQ(decoded.Height(), 192);
}
