#include "QtUserInterface.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "FilterFileDialogs.h"
#include "PicturePreview.h"

namespace {
// Message texts use "\r\n" between lines; Qt wants "\n".
QString BoxText(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

int ShowBox(QMessageBox::Icon icon, const std::string& caption, const std::string& text,
            QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, QString::fromStdString(caption), BoxText(text), buttons);
    return box.exec();
}

// Qt's own dialog, so that it can carry the preview pane on every desktop.
std::optional<std::string> RunPictureDialog(QFileDialog::AcceptMode mode, const QStringList& filters) {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The program asks about overwriting itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(filters);
    AttachPicturePreview(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    QString path = dialog.selectedFiles().first();
    // A name typed without an extension gets the one of the chosen filter ("JPEG (*.jpg)").
    if (mode == QFileDialog::AcceptSave && QFileInfo(path).suffix().isEmpty()) {
        const QString filter = dialog.selectedNameFilter();
        const qsizetype star = filter.indexOf(QLatin1String("*."));
        path +=
            star < 0 ? QStringLiteral(".bmp") : filter.mid(star + 1, filter.indexOf(QLatin1Char(')'), star) - star - 1);
    }
    return path.toStdString();
}
}  // namespace

void QtUserInterface::Information(const std::string& text) {
    ShowBox(QMessageBox::Information, "Information", text, QMessageBox::Ok);
}

bool QtUserInterface::Confirm(const std::string& text) {
    return ShowBox(QMessageBox::Question, "Confirm", text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtUserInterface::Error(const std::string& text) {
    ShowBox(QMessageBox::Critical, "Corvalux", text, QMessageBox::Ok);
}

void QtUserInterface::Warning(const std::string& caption, const std::string& text) {
    ShowBox(QMessageBox::Warning, caption, text, QMessageBox::Ok);
}

std::optional<std::string> QtUserInterface::OpenPictureFile() {
    return RunPictureDialog(QFileDialog::AcceptOpen,
                            {QStringLiteral("Images (*.bmp *.jpg *.jpeg *.jpe *.jfif *.png *.tif *.tiff)")});
}

std::optional<std::string> QtUserInterface::SavePictureFile() {
    return RunPictureDialog(QFileDialog::AcceptSave, {QStringLiteral("Bitmap (*.bmp)"), QStringLiteral("JPEG (*.jpg)"),
                                                      QStringLiteral("PNG (*.png)"), QStringLiteral("TIFF (*.tif)")});
}

std::optional<std::string> QtUserInterface::OpenFilterFile() { return RunFilterFileDialog(FilterDialogKind::Open); }

std::optional<std::string> QtUserInterface::SaveFilterFile() { return RunFilterFileDialog(FilterDialogKind::Save); }
