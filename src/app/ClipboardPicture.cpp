#include "app/ClipboardPicture.h"

#include <QBuffer>
#include <QImageReader>
#include <QMimeData>
#include <algorithm>

#include "image/Dib.h"
#include "common/Errors.h"
#include "image/Png.h"
#include "qtshared/QtPicture.h"

namespace {
const QString QtImageForm = QStringLiteral("application/x-qt-image");

bool IsBitmapForm(const QString& form) {
    return form == QLatin1String("image/bmp") || form == QLatin1String("image/x-bmp");
}

// The forms worth trying, best first: PNG keeps transparency and every pixel, a bitmap every
// pixel; Qt's own decoded picture, offered for any encoded one, comes last.
QStringList PictureForms(const QMimeData& data) {
    QStringList forms;
    for (const QString& form : data.formats())
        if (form.startsWith(QLatin1String("image/"))) forms.append(form);
    std::stable_sort(forms.begin(), forms.end(), [](const QString& a, const QString& b) {
        const auto rank = [](const QString& form) {
            return form == QLatin1String("image/png") ? 0 : IsBitmapForm(form) ? 1 : 2;
        };
        return rank(a) < rank(b);
    });
    if (data.hasFormat(QtImageForm)) forms.append(QtImageForm);
    return forms;
}

// Decodes encoded picture data of another program, refusing a declared size past the bound
// before anything is allocated for the pixels.
Bitmap DecodeEncoded(const QString& form, QByteArray bytes, const ProgressCallback& progress) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    // Bitmaps go through our own decoder, which reads every DIB variant and checks the size;
    // so do PNGs, the form most programs offer: libpng reads the size before any pixel memory.
    if (IsBitmapForm(form)) return DecodeBmpFile(data, std::size_t(bytes.size()), progress);
    if (form == QLatin1String("image/png")) return DecodePng(data, std::size_t(bytes.size()), nullptr, progress);
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    const QSize declared = reader.size();
    if (declared.isValid()) CheckPictureSize(declared.width(), declared.height());
    return BitmapFromImage(reader.read());
}
}  // namespace

Bitmap ClipboardPicture(const QMimeData* data, const TDecodeRunner& run) {
    if (!data) throw EInvalidGraphic();
    const TDecodeRunner runner =
        run ? run : [](const std::function<void(const ProgressCallback&)>& decode) { decode({}); };
    for (const QString& form : PictureForms(*data)) {
        Bitmap picture;
        try {
            // The clipboard is read here, on the window's thread; only decoding moves away.
            if (form == QtImageForm) {
                const QImage image = qvariant_cast<QImage>(data->imageData());
                runner([&](const ProgressCallback&) { picture = BitmapFromImage(image); });
            } else {
                const QByteArray bytes = data->data(form);
                runner([&](const ProgressCallback& progress) { picture = DecodeEncoded(form, bytes, progress); });
            }
            return picture;
        } catch (const EPictureTooLarge&) {
            throw;  // a picture, but too large: no other form of it would be smaller
        } catch (const EInvalidGraphic&) {
            // This form of the picture does not decode; try the next one.
        }
    }
    throw EInvalidGraphic();
}
