#include "image/Jpeg.h"

#include <gtest/gtest.h>

#include <cstdio>  // jerror.h and jpeglib.h need FILE
#include <jerror.h>
#include <jpeglib.h>

#include "common/Errors.h"
#include "TestData.h"

namespace {
Bitmap LoadJpeg(const std::string& relative) {
    const auto bytes = ReadTestFile(relative);
    return DecodeJpeg(bytes.data(), bytes.size());
}

int JpegErrorCode(const std::vector<std::uint8_t>& bytes) {
    try {
        DecodeJpeg(bytes.data(), bytes.size());
    } catch (const EJpegError& e) {
        return e.Code;
    }
    return -1;
}

bool IsGrey(const Bitmap& b) {
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const std::uint8_t* p = b.Pixel(x, y);
            if (p[0] != p[1] || p[1] != p[2]) return false;
        }
    return true;
}

// Offset of the first marker 0xFF `code` in a JPEG stream, or npos.
std::size_t FindMarker(const std::vector<std::uint8_t>& bytes, std::uint8_t code) {
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == code) return i;
    return std::string::npos;
}

// stb's test letter: a 6 x 5 "F", red on blue, asymmetric in every direction; each cell
// `scale` pixels wide.
Bitmap LetterF(int scale = 1) {
    const char* rows[] = {".****.", ".*....", ".***..", ".*....", ".*...."};
    Bitmap b(6 * scale, 5 * scale);
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            b.SetColor(x, y, rows[y / scale][x / scale] == '*' ? PackColor(255, 0, 0) : PackColor(0, 0, 255));
    return b;
}

int Luma(PackedColor c) { return (RedOf(c) * 299 + GreenOf(c) * 587 + BlueOf(c) * 114) / 1000; }

Bitmap Gradient(int width, int height) {
    Bitmap b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.SetColor(x, y,
                       PackColor(x * 255 / (width - 1), y * 255 / (height - 1), (x + y) * 255 / (width + height - 2)));
    return b;
}
}  // namespace

// ---- Real files ------------------------------------------------------------------------

class JpegFile : public testing::TestWithParam<std::string> {};

// Every JPEG of the sample folders loads, except the 12-bit ones, which this 8-bit build of
// libjpeg refuses with "Unsupported JPEG data precision" (no crash, nothing leaked).
TEST_P(JpegFile, LoadsOrGivesALibraryError) {
    const std::string& file = GetParam();
    const auto bytes = ReadTestFile(file);
    if (file.find("12.jpg") != std::string::npos) {
        EXPECT_EQ(JpegErrorCode(bytes), JERR_BAD_PRECISION);
        return;
    }
    const Bitmap picture = DecodeJpeg(bytes.data(), bytes.size());
    EXPECT_FALSE(picture.Empty());
}

INSTANTIATE_TEST_SUITE_P(Jpeg, JpegFile, testing::ValuesIn([] {
                             std::vector<std::string> files = TestDataFiles("jpeg", ".jpg");
                             for (const auto& f : TestDataFiles("photos", ".jpg")) files.push_back(f);
                             return files;
                         }()),
                         [](const auto& info) { return TestNameOfPath(info.param); });

TEST(Jpeg, SizesAndKinds) {
    struct Case {
        const char* file;
        int width, height;
        bool grey;
    };
    for (const Case& c :
         {Case{"jpeg/testorig.jpg", 227, 149, false}, Case{"jpeg/testimgcrop.jpg", 124, 92, false},
          Case{"jpeg/testimggray.jpg", 227, 149, true}, Case{"photos/jpeg-decoder/grayscale_long.jpg", 1, 1000, true},
          Case{"photos/jpeg-decoder/jpg-size-1x1.jpg", 1, 1, false},
          Case{"photos/jpeg-decoder/restarts.jpg", 33, 33, false}, Case{"photos/pillow/iptc.jpg", 640, 480, false},
          Case{"photos/pillow/junk_jpeg_header.jpg", 1024, 768, false},
          Case{"photos/pillow/truncated_jpeg.jpg", 100, 100, false}}) {
        const Bitmap picture = LoadJpeg(c.file);
        EXPECT_EQ(picture.Width(), c.width) << c.file;
        EXPECT_EQ(picture.Height(), c.height) << c.file;
        EXPECT_EQ(IsGrey(picture), c.grey) << c.file;
    }
}

// The same picture coded progressively or with arithmetic coding decodes to the same pixels;
// other DCTs, 4:4:4 and quality 100 stay close.
TEST(Jpeg, CodingVariantsAgree) {
    const Bitmap reference = LoadJpeg("jpeg/testimgint.jpg");
    struct Case {
        const char* file;
        int maxDiff;
        double meanDiff;
    };
    for (const Case& c :
         {Case{"jpeg/testimgp.jpg", 0, 0}, Case{"jpeg/testimgari.jpg", 0, 0}, Case{"jpeg/testimgpa.jpg", 25, 1.5},
          Case{"jpeg/testimgfst.jpg", 8, 0.2}, Case{"jpeg/testimgflt.jpg", 8, 0.2},
          Case{"jpeg/testimgfst100.jpg", 20, 1.5}, Case{"jpeg/testorig.jpg", 20, 0.5}}) {
        const Bitmap picture = LoadJpeg(c.file);
        ASSERT_EQ(picture.Width(), reference.Width()) << c.file;
        ASSERT_EQ(picture.Height(), reference.Height()) << c.file;
        EXPECT_LE(MaxChannelDifference(picture, reference), c.maxDiff) << c.file;
        EXPECT_LE(MeanChannelDifference(picture, reference), c.meanDiff) << c.file;
    }
}

// CMYK (Adobe, inverted) and YCCK become colour: the values were checked against djpeg.
TEST(Jpeg, CmykAndYcckBecomeColour) {
    const Bitmap ycck = LoadJpeg("photos/pillow/pil_sample_cmyk.jpg");
    EXPECT_EQ(ycck.GetColor(0, 0), PackColor(0xFF, 0x0D, 0x19));
    EXPECT_EQ(ycck.GetColor(50, 50), PackColor(0x01, 0x04, 0x05));
    const Bitmap cmyk = LoadJpeg("photos/jpeg-decoder/jpg-cmyk-2.jpg");
    EXPECT_EQ(cmyk.GetColor(0, 0), PackColor(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(cmyk.GetColor(128, 128), PackColor(0xAA, 0x59, 0xB4));
}

// ---- Damaged input ---------------------------------------------------------------------

TEST(Jpeg, NotAJpegGivesTheLibraryErrorCode) {
    EXPECT_EQ(JpegErrorCode({}), JERR_INPUT_EMPTY);
    EXPECT_EQ(JpegErrorCode({'B', 'M', 0, 0, 0, 0}), JERR_NO_SOI);
    const auto bmp = ReadTestFile("jpeg/testimg.bmp");
    EXPECT_EQ(JpegErrorCode(bmp), JERR_NO_SOI);
    EXPECT_STREQ(EJpegError(JERR_NO_SOI).what(), ("JPEG error #" + std::to_string(JERR_NO_SOI)).c_str());
}

TEST(Jpeg, DeclaredSizePastTheBoundIsRefusedBeforeDecoding) {
    std::vector<std::uint8_t> bytes = ReadTestFile("jpeg/testorig.jpg");
    const std::size_t sof = FindMarker(bytes, 0xC0);
    ASSERT_NE(sof, std::string::npos);
    auto setSize = [&](int width, int height) {
        bytes[sof + 5] = std::uint8_t(height >> 8), bytes[sof + 6] = std::uint8_t(height);
        bytes[sof + 7] = std::uint8_t(width >> 8), bytes[sof + 8] = std::uint8_t(width);
    };
    setSize(60000, 60000);
    EXPECT_THROW(DecodeJpeg(bytes.data(), bytes.size()), EPictureTooLarge);
    setSize(60000, 4474);  // just over 2^28 pixels
    try {
        DecodeJpeg(bytes.data(), bytes.size());
        FAIL() << "decoded";
    } catch (const EPictureTooLarge& error) {
        EXPECT_STREQ(error.what(), "The picture is too large: 60000 \u00D7 4474 pixels.");
    }
    setSize(65535, 1);  // past libjpeg's own limit of 65500
    EXPECT_THROW(DecodeJpeg(bytes.data(), bytes.size()), EJpegError);
}

// Cut anywhere, or with damaged bytes, a file loads (libjpeg fills what is missing and warns)
// or gives a library error; never a crash or a leak.
TEST(Jpeg, CutAndDamagedFilesLoadOrFail) {
    for (const char* file : {"jpeg/testorig.jpg", "jpeg/testimgp.jpg", "jpeg/testimgari.jpg"}) {
        const auto bytes = ReadTestFile(file);
        for (std::size_t n = 0; n < bytes.size(); n += n < 700 ? 37 : 997) {
            const std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + n);
            try {
                const Bitmap picture = DecodeJpeg(prefix.data(), prefix.size());
                EXPECT_EQ(picture.Width(), 227);
            } catch (const EJpegError&) {
            }
            std::vector<std::uint8_t> damaged = bytes;
            for (std::size_t i = n; i < damaged.size(); i += 101) damaged[i] ^= 0x5A;
            try {
                DecodeJpeg(damaged.data(), damaged.size());
            } catch (const EJpegError&) {
            } catch (const EInvalidGraphic&) {  // a damaged frame header may declare any size
            }
        }
    }
}

// ---- Writing ---------------------------------------------------------------------------

TEST(JpegWrite, BaselineJfifColour) {
    const auto bytes = EncodeJpeg(Gradient(64, 48));
    ASSERT_GT(bytes.size(), 20u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_EQ(FindMarker(bytes, 0xE0), 2u);  // APP0
    EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 11), std::string("JFIF\0", 5));
    const std::size_t sof = FindMarker(bytes, 0xC0);  // baseline frame, not progressive (C2)
    ASSERT_NE(sof, std::string::npos);
    EXPECT_EQ(FindMarker(bytes, 0xC2), std::string::npos);
    EXPECT_EQ(bytes[sof + 9], 3);  // colour: three components
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xD9);
}

TEST(JpegWrite, RoundTripKeepsSizeAndColours) {
    const Bitmap f = LetterF();
    const auto bytes = EncodeJpeg(f);
    const Bitmap back = DecodeJpeg(bytes.data(), bytes.size());
    ASSERT_EQ(back.Width(), 6);
    ASSERT_EQ(back.Height(), 5);
    // Colour is stored at half resolution, so one-pixel strokes lose their hue, but the
    // brightness (red 76, blue 29) keeps every pixel on its side: no flip, turn or swap.
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(Luma(back.GetColor(x, y)) > 52, RedOf(f.GetColor(x, y)) == 255) << x << "," << y;
    // With strokes 8 pixels wide the colours come back too.
    const Bitmap bigF = LetterF(8);
    const auto bigBytes = EncodeJpeg(bigF);
    const Bitmap bigBack = DecodeJpeg(bigBytes.data(), bigBytes.size());
    ASSERT_EQ(bigBack.Width(), 48);
    ASSERT_EQ(bigBack.Height(), 40);
    EXPECT_LT(MeanChannelDifference(bigBack, bigF), 10);  // ringing at the sharp edges
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const PackedColor c = bigBack.GetColor(x * 8 + 4, y * 8 + 4);
            EXPECT_EQ(RedOf(c) > 200 && BlueOf(c) < 55, RedOf(f.GetColor(x, y)) == 255) << x << "," << y;
        }

    const Bitmap gradient = Gradient(320, 200);
    const auto gradientBytes = EncodeJpeg(gradient);
    const Bitmap gradientBack = DecodeJpeg(gradientBytes.data(), gradientBytes.size());
    ASSERT_EQ(gradientBack.Width(), 320);
    ASSERT_EQ(gradientBack.Height(), 200);
    EXPECT_LT(MeanChannelDifference(gradientBack, gradient), 1.5);
    EXPECT_LE(MaxChannelDifference(gradientBack, gradient), 8);
}

TEST(JpegWrite, EmptyPictureGivesALibraryError) { EXPECT_THROW(EncodeJpeg(Bitmap()), EJpegError); }
