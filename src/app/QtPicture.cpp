#include "QtPicture.h"

#include <cstring>

#include "Errors.h"

QImage ImageView(const Bitmap& picture) {
    if (picture.Empty()) return QImage();
    // Our pixels are blue, green, red in memory, which is Qt's BGR888.
    return QImage(picture.Row(0), picture.Width(), picture.Height(), qsizetype(picture.RowBytes()),
                  QImage::Format_BGR888);
}

Bitmap BitmapFromImage(const QImage& image) {
    if (image.isNull()) throw EInvalidGraphic();
    CheckPictureSize(image.width(), image.height());
    const QImage rows = image.convertToFormat(QImage::Format_BGR888);
    Bitmap picture(rows.width(), rows.height());
    for (int y = 0; y < picture.Height(); ++y) std::memcpy(picture.Row(y), rows.constScanLine(y), picture.RowBytes());
    return picture;
}
