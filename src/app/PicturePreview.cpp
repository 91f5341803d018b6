#include "app/PicturePreview.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>

#include "image/PictureFile.h"
#include "qtshared/QtPicture.h"

void AttachPicturePreview(QFileDialog& dialog) {
    auto* layout = qobject_cast<QGridLayout*>(dialog.layout());
    if (!layout) return;  // not Qt's own dialog
    auto* preview = new QLabel(&dialog);
    preview->setFixedSize(180, 140);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(preview, 1, layout->columnCount(), 1, 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview, [preview](const QString& path) {
        preview->clear();
        const std::string name = path.toStdString();
        const PictureFormat format = FormatOfName(name);
        if (format == PictureFormat::Refused || !QFileInfo(path).isFile()) return;
        try {
            const Bitmap picture = LoadPicture(name, format);
            preview->setPixmap(QPixmap::fromImage(ImageView(picture).scaled(
                preview->size() - QSize(8, 8), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        } catch (const std::exception&) {
            preview->setText(QObject::tr("No preview"));
        }
    });
}
