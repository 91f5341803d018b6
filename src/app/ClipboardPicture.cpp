#include "ClipboardPicture.h"

#include <QBuffer>
#include <QImageReader>
#include <QMimeData>

#include "Dib.h"
#include "Errors.h"
#include "Png.h"
#include "QtPicture.h"

namespace {
// Decodes encoded picture data of another program, refusing a declared size past the bound
// before anything is allocated for the pixels.
Bitmap DecodeEncoded(const QString& format, QByteArray bytes) {
    // Bitmaps go through our own decoder, which reads every DIB variant and checks the size.
    if (format == QLatin1String("image/bmp") || format == QLatin1String("image/x-bmp"))
        return DecodeBmpFile(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    // So do PNGs, the form most programs offer: libpng reads the size before any pixel memory.
    if (format == QLatin1String("image/png"))
        return DecodePng(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    const QSize declared = reader.size();
    if (declared.isValid()) CheckPictureSize(declared.width(), declared.height());
    return BitmapFromImage(reader.read());
}
}  // namespace

Bitmap ClipboardPicture(const QMimeData* data) {
    if (!data) throw EInvalidGraphic();
    // A picture copied inside this program is already decoded.
    if (data->hasFormat(QStringLiteral("application/x-qt-image")))
        return BitmapFromImage(qvariant_cast<QImage>(data->imageData()));
    for (const QString& format : data->formats()) {
        if (!format.startsWith(QLatin1String("image/"))) continue;
        try {
            return DecodeEncoded(format, data->data(format));
        } catch (const EPictureTooLarge&) {
            throw;
        } catch (const EInvalidGraphic&) {
            // This form of the picture does not decode; try the next one.
        }
    }
    throw EInvalidGraphic();
}
