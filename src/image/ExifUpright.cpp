#include "image/ExifUpright.h"

#include <cstring>
#include <utility>

#include "image/RowProgress.h"

namespace {
// Where the upright picture's pixel (x, y) lies in the stored one, as a start and a step
// along the upright row: stored(x0 + x*dxX + y*dyX, y0 + x*dxY + y*dyY).
struct Mapping {
    int x0, y0, dxX, dxY, dyX, dyY;
};

Mapping MappingFor(int orientation, int storedWidth, int storedHeight) {
    const int right = storedWidth - 1, bottom = storedHeight - 1;
    switch (orientation) {
        case 2: return {right, 0, -1, 0, 0, 1};        // mirrored left to right
        case 3: return {right, bottom, -1, 0, 0, -1};  // half turn
        case 4: return {0, bottom, 1, 0, 0, -1};       // mirrored top to bottom
        case 5: return {0, 0, 0, 1, 1, 0};             // transposed
        case 6: return {0, bottom, 0, -1, 1, 0};       // shown turned a quarter clockwise
        case 7: return {right, bottom, 0, -1, -1, 0};  // transversed
        default: return {right, 0, 0, 1, -1, 0};       // 8: a quarter anticlockwise
    }
}
}  // namespace

Bitmap UprightPicture(Bitmap stored, int orientation, const ProgressCallback& progress) {
    if (orientation < 2 || orientation > 8 || stored.Empty()) return stored;
    const bool exchanged = orientation >= 5;
    Bitmap upright(exchanged ? stored.Height() : stored.Width(), exchanged ? stored.Width() : stored.Height());
    const Mapping m = MappingFor(orientation, stored.Width(), stored.Height());
    const std::ptrdiff_t stepAlongRow = (std::ptrdiff_t(m.dxY) * std::ptrdiff_t(stored.RowBytes())) + m.dxX * 3;
    RowProgress rowProgress(progress);
    for (int y = 0; y < upright.Height(); ++y) {
        const std::uint8_t* const base = stored.Row(0);
        std::ptrdiff_t from = stored.Pixel(m.x0 + y * m.dyX, m.y0 + y * m.dyY) - base;
        std::uint8_t* to = upright.Row(y);
        for (int x = 0; x < upright.Width(); ++x, to += 3, from += stepAlongRow) std::memcpy(to, base + from, 3);
        rowProgress.Check(y + 1, upright.Height());
    }
    return upright;
}
