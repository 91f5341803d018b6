#include "qtshared/QtPicture.h"

#include <cstring>

#include "common/Errors.h"
#include "image/WhiteBackground.h"

QImage ImageView(const Bitmap& picture) {
    if (picture.Empty()) return QImage();
    // Our pixels are blue, green, red in memory, which is Qt's BGR888.
    return QImage(picture.Row(0), picture.Width(), picture.Height(), qsizetype(picture.RowBytes()),
                  QImage::Format_BGR888);
}

Bitmap BitmapFromImage(const QImage& image) {
    if (image.isNull()) throw EInvalidGraphic();
    CheckPictureSize(image.width(), image.height());
    if (!image.hasAlphaChannel()) {
        const QImage rows = image.convertToFormat(QImage::Format_BGR888);
        Bitmap picture(rows.width(), rows.height());
        for (int y = 0; y < picture.Height(); ++y)
            std::memcpy(picture.Row(y), rows.constScanLine(y), picture.RowBytes());
        return picture;
    }
    // Transparency over white, as the decoders do it: dropping the alpha would show what the
    // transparent pixels happen to hold, most often black.
    const QImage rows = image.convertToFormat(QImage::Format_RGBA8888);
    Bitmap picture(rows.width(), rows.height());
    for (int y = 0; y < picture.Height(); ++y) {
        const std::uint8_t* from = rows.constScanLine(y);
        std::uint8_t* to = picture.Row(y);
        for (int x = 0; x < picture.Width(); ++x, from += 4, to += 3) {
            to[0] = OverWhite(from[2], from[3]);
            to[1] = OverWhite(from[1], from[3]);
            to[2] = OverWhite(from[0], from[3]);
        }
    }
    return picture;
}
