#include "PictureSupport.h"

#include <random>
#include <sstream>

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.R << ", " << c.G << ", " << c.B << ")";
}

Rgb At(const Bitmap& picture, int x, int y) {
    const std::uint8_t* p = picture.Pixel(x, y);
    return {p[2], p[1], p[0]};
}

void Put(Bitmap& picture, int x, int y, Rgb c) {
    std::uint8_t* p = picture.Pixel(x, y);
    p[0] = std::uint8_t(c.B), p[1] = std::uint8_t(c.G), p[2] = std::uint8_t(c.R);
}

Bitmap Filled(int width, int height, Rgb c) {
    Bitmap picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) Put(picture, x, y, c);
    return picture;
}

Bitmap Asymmetric(int width, int height) {
    Bitmap picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            Put(picture, x, y,
                {(20 + 31 * x + 7 * y) % 256, (200 - 9 * x + 23 * y) % 256, (5 + 3 * x * y + 41 * y) % 256});
    return picture;
}

Bitmap RandomPicture(int width, int height, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bitmap picture(width, height);
    for (int y = 0; y < height; ++y)
        for (std::size_t i = 0; i < picture.RowBytes(); ++i) picture.Row(y)[i] = std::uint8_t(random());
    return picture;
}

std::string FirstDifference(const Bitmap& expected, const Bitmap& actual) {
    std::ostringstream out;
    if (expected.Width() != actual.Width() || expected.Height() != actual.Height()) {
        out << "size " << actual.Width() << "x" << actual.Height() << ", expected " << expected.Width() << "x"
            << expected.Height();
        return out.str();
    }
    for (int y = 0; y < expected.Height(); ++y)
        for (int x = 0; x < expected.Width(); ++x)
            if (At(expected, x, y) != At(actual, x, y)) {
                out << "pixel (" << x << ", " << y << ") is " << At(actual, x, y) << ", expected "
                    << At(expected, x, y);
                return out.str();
            }
    return "";
}

std::string ChangeOutside(const Bitmap& before, const Bitmap& after, const TRect& area) {
    for (int y = 0; y < before.Height(); ++y)
        for (int x = 0; x < before.Width(); ++x) {
            const bool inside = x >= area.Left && x <= area.Right && y >= area.Top && y <= area.Bottom;
            if (!inside && At(before, x, y) != At(after, x, y)) {
                std::ostringstream out;
                out << "pixel (" << x << ", " << y << ") outside changed from " << At(before, x, y) << " to "
                    << At(after, x, y);
                return out.str();
            }
        }
    return "";
}
