#include "image/DibRle.h"

#include <algorithm>

#include "common/Errors.h"

namespace {
enum Escape : std::uint8_t { EndOfLine = 0, EndOfBitmap = 1, Delta = 2 };
}

// Skipped pixels are left black rather than painted with colour 0: the format leaves them
// undefined, black is what a new picture holds, and it does not depend on the palette.
// Anything a run or a delta puts outside the picture is dropped, so a hostile stream can
// move the position anywhere without writing out of bounds; once it moves above the top row
// the picture is complete.
void DecodeRle(const DibLayout& layout, const std::uint8_t* stream, std::size_t size, Bitmap& picture,
               RowProgress& progress) {
    const bool fourBit = layout.Compression == DibCompression::Rle4;
    const std::int64_t width = layout.Width, height = layout.Height;
    std::int64_t x = 0, y = 0;  // y counts rows from the bottom, as the stream does
    std::size_t pos = 0;

    auto put = [&](std::uint8_t index) {
        if (x < width) {
            std::uint8_t* pixel = picture.Pixel(int(x), int(height - 1 - y));
            std::copy_n(layout.Palette.data() + index * 3, 3, pixel);
        }
        ++x;
    };

    while (y < height) {
        if (size - pos < 2) throw EInvalidGraphic();
        const std::uint8_t count = stream[pos], value = stream[pos + 1];
        pos += 2;
        if (count > 0) {  // a run of one index, or of two alternating nibbles
            for (int i = 0; i < count; ++i) put(fourBit ? (i & 1 ? value & 0x0F : value >> 4) : value);
        } else if (value == EndOfLine) {
            x = 0;
            ++y;
            progress.Check(std::min(y, height), height);
        } else if (value == EndOfBitmap) {
            return;
        } else if (value == Delta) {
            if (size - pos < 2) throw EInvalidGraphic();
            x += stream[pos];
            y += stream[pos + 1];
            pos += 2;
            progress.Check(std::min(y, height), height);
        } else {  // `value` literal indices, padded to a whole 16-bit word
            const std::size_t bytes = fourBit ? (value + 1u) / 2 : value;
            if (size - pos < bytes) throw EInvalidGraphic();
            const std::uint8_t* literal = stream + pos;
            for (int i = 0; i < value; ++i)
                put(fourBit ? (i & 1 ? literal[i / 2] & 0x0F : literal[i / 2] >> 4) : literal[i]);
            pos += std::min(bytes + (bytes & 1), size - pos);
        }
    }
}
