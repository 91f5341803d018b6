// The one size bound for every picture: refused with a clear message before any allocation.
#include <gtest/gtest.h>

#include "image/Bitmap.h"
#include "image/DecoderPicture.h"
#include "image/Dib.h"
#include "common/Errors.h"
#include "image/MemoryCheck.h"

TEST(SizeBound, NewPicturesPastTheBoundAreRefused) {
    // The bound alone, whatever memory this machine has free.
    SetAvailableMemorySource([] { return std::optional<std::int64_t>(); });
    struct Case {
        int width, height;
        bool allowed;
    } cases[] = {
        {65535, 1, true},      {65536, 1, false},     {1, 65536, false}, {16384, 16384, true},  // 2^28 exactly
        {16385, 16384, false}, {30000, 30000, false}, {0, 0, true},
    };
    for (const Case& c : cases) {
        Bitmap picture(3, 2);
        if (c.allowed) {
            EXPECT_NO_THROW(CheckPictureSize(c.width, c.height));
            continue;
        }
        try {
            picture.SetSize(c.width, c.height);
            ADD_FAILURE() << c.width << "x" << c.height << " was made";
        } catch (const EPictureTooLarge& error) {
            EXPECT_EQ(std::string(error.what()), "The picture is too large: " + std::to_string(c.width) + " \u00D7 " +
                                                     std::to_string(c.height) + " pixels.");
        }
        EXPECT_EQ(picture.Width(), 3) << "the picture stays as it was";
    }
    Bitmap picture;
    EXPECT_THROW(picture.SetSize(-1, 5), EInvalidGraphic);
    SetAvailableMemorySource(nullptr);
}

TEST(SizeBound, BmpHeaderDeclaringAHugePictureIsRefusedFirst) {
    // A valid 1 x 1 file whose header then claims 70000 x 20000 pixels.
    std::vector<std::uint8_t> bytes = EncodeBmpFile(Bitmap(1, 1));
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = std::uint8_t(v >> (8 * i));
    };
    put32(18, 70000);
    put32(22, 20000);
    try {
        DecodeBmpFile(bytes.data(), bytes.size());
        FAIL() << "decoded";
    } catch (const EPictureTooLarge& error) {
        EXPECT_STREQ(error.what(), "The picture is too large: 70000 \u00D7 20000 pixels.");
    }
    put32(18, 1);
    put32(22, std::uint32_t(-20000));  // top-down: the same bound
    EXPECT_THROW(DecodeBmpFile(bytes.data(), bytes.size()), EInvalidGraphic);
}

TEST(SizeBound, DecoderSizesKeepTheirRefusalForAfterTheDecoder) {
    SetAvailableMemorySource([] { return std::optional<std::int64_t>(); });
    Bitmap picture;
    std::exception_ptr failure;
    const std::uint8_t* top = SizeForDecoder(picture, failure, 4, 3);
    EXPECT_EQ(top, picture.Row(0));
    EXPECT_EQ(picture.Width(), 4);
    EXPECT_FALSE(failure);
    // A declared size past the bound, as a 32-bit header field can hold it: kept, not thrown.
    EXPECT_EQ(SizeForDecoder(picture, failure, 4294967295, 1), nullptr);
    ASSERT_TRUE(failure);
    EXPECT_THROW(std::rethrow_exception(failure), EPictureTooLarge);
    EXPECT_EQ(picture.Width(), 4) << "the picture stays as it was";
    // Once a step of the run has failed, nothing more is sized.
    EXPECT_EQ(SizeForDecoder(picture, failure, 2, 2), nullptr);
    EXPECT_EQ(picture.Width(), 4);
    SetAvailableMemorySource(nullptr);
}
