#include "qtshared/ScreenColours.h"

#include <QByteArray>
#include <QColorSpace>

#include "qtshared/QtPicture.h"

const QColorTransform* TScreenColours::For(const PictureMetadata& metadata) { return For(IccProfileOf(metadata)); }

const QColorTransform* TScreenColours::For(const std::vector<std::uint8_t>& iccProfile) {
    if (iccProfile == profile_) return transform_ ? &*transform_ : nullptr;
    profile_ = iccProfile;
    transform_.reset();
    if (profile_.empty()) return nullptr;
    // A profile Qt cannot read, or one it cannot convert from (a grey or CMYK profile on an RGB
    // picture), leaves the picture shown as stored: never a reason to refuse it.
    const QColorSpace space = QColorSpace::fromIccProfile(
        QByteArray::fromRawData(reinterpret_cast<const char*>(profile_.data()), qsizetype(profile_.size())));
    const QColorSpace screen(QColorSpace::SRgb);
    if (!space.isValid() || space == screen) return nullptr;
    transform_ = space.transformationToColorSpace(screen);
    return &*transform_;
}

QImage ScreenImage(const Bitmap& picture, const QRect& part, const QColorTransform* screen) {
    if (!screen) return ImageView(picture).copy(part);
    QImage image = ImageView(picture).copy(part).convertToFormat(QImage::Format_RGB32);
    image.applyColorTransform(*screen);
    return image;
}
