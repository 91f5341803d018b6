// The JPEG codec's limits and fixed choices: the scan limit, the largest side, the quality
// pictures are saved at, and damaged data read as grey.
#include <gtest/gtest.h>

#include <cstdio>  // jerror.h and jpeglib.h need FILE
#include <filesystem>
#include <jerror.h>
#include <jpeglib.h>
#include <unistd.h>

#include "Errors.h"
#include "Jpeg.h"
#include "TestData.h"

namespace {
// The offset of the last marker 0xFF `code`, or npos.
std::size_t LastMarker(const std::vector<std::uint8_t>& bytes, std::uint8_t code) {
    for (std::size_t i = bytes.size() - 1; i-- > 0;)
        if (bytes[i] == 0xFF && bytes[i + 1] == code) return i;
    return std::string::npos;
}

// The progressive sample with its last scan repeated `copies` more times before the end.
std::vector<std::uint8_t> WithRepeatedScan(int copies) {
    std::vector<std::uint8_t> bytes = ReadTestFile("jpeg/testimgp.jpg");
    const std::size_t scan = LastMarker(bytes, 0xDA), end = LastMarker(bytes, 0xD9);
    EXPECT_LT(scan, end);
    const std::vector<std::uint8_t> segment(bytes.begin() + std::ptrdiff_t(scan), bytes.begin() + std::ptrdiff_t(end));
    std::vector<std::uint8_t> repeated(bytes.begin(), bytes.begin() + std::ptrdiff_t(end));
    for (int i = 0; i < copies; ++i) repeated.insert(repeated.end(), segment.begin(), segment.end());
    repeated.insert(repeated.end(), {0xFF, 0xD9});
    return repeated;
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

TEST(JpegLimits, ThousandsOfScansAreRefusedAndAFewHundredLoad) {
    for (const int copies : {50, 480}) {
        const auto bytes = WithRepeatedScan(copies);
        EXPECT_EQ(DecodeJpeg(bytes.data(), bytes.size()).Width(), 227) << copies;
    }
    for (const int copies : {500, 3000}) {
        const auto bytes = WithRepeatedScan(copies);
        try {
            DecodeJpeg(bytes.data(), bytes.size());
            ADD_FAILURE() << copies << " scans decoded";
        } catch (const EInvalidGraphic& error) {
            EXPECT_STREQ(error.what(), "The JPEG file has more than 500 scans; it is refused as damaged.");
        }
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
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("corvalux-quality-" + std::to_string(::getpid()) + ".jpg");
    SavePicture(file.string(), Bitmap(16, 16), PictureFormat::Jpeg);
    EXPECT_EQ(QuantisationSums(ReadWholeFile(file.string())), ExpectedSums(90));
    std::filesystem::remove(file);
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
