#include "app/QtUserInterface.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "custom/FilterFileDialogs.h"
#include "app/PicturePreview.h"

namespace {
// Message texts use "\r\n" between lines; Qt wants "\n".
QString BoxText(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

// A box or dialog belongs to the window it speaks for, so that the window manager keeps it
// above that window; above a window kept on top only if it is kept on top itself.
void BelongTo(QWidget& dialog, QWidget* owner) {
    if (!owner) return;
    const Qt::WindowFlags flags = dialog.windowFlags();
    dialog.setParent(owner, flags);
    if (owner->windowFlags() & Qt::WindowStaysOnTopHint) dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
}

int ShowBox(QWidget* owner, QMessageBox::Icon icon, const std::string& caption, const std::string& text,
            QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, QString::fromStdString(caption), BoxText(text), buttons);
    BelongTo(box, owner);
    const int answer = box.exec();
    // Without a window manager nobody else gives the keyboard back to the window when the
    // box goes: it would fall to the root window, and the window's shortcuts with it.
    if (owner && owner->isVisible()) owner->window()->activateWindow();
    return answer;
}

// Qt's own dialog, so that it can carry the preview pane on every desktop.
std::optional<std::string> RunPictureDialog(QWidget* owner, QFileDialog::AcceptMode mode, const QStringList& filters,
                                            const std::string& current) {
    QFileDialog dialog;
    BelongTo(dialog, owner);
    // In the current picture's folder, the one a user most likely wants next.
    if (!current.empty()) dialog.setDirectory(QFileInfo(QString::fromStdString(current)).absolutePath());
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

QWidget* QtUserInterface::Owner() const { return Speaker ? Speaker->window() : QApplication::activeWindow(); }

void QtUserInterface::Information(const std::string& text) {
    ShowBox(Owner(), QMessageBox::Information, "Information", text, QMessageBox::Ok);
}

bool QtUserInterface::Confirm(const std::string& text) {
    return ShowBox(Owner(), QMessageBox::Question, "Confirm", text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void QtUserInterface::Error(const std::string& text) {
    ShowBox(Owner(), QMessageBox::Critical, "Corvalux", text, QMessageBox::Ok);
}

void QtUserInterface::Warning(const std::string& caption, const std::string& text) {
    ShowBox(Owner(), QMessageBox::Warning, caption, text, QMessageBox::Ok);
}

std::optional<std::string> QtUserInterface::OpenPictureFile(const std::string& current) {
    return RunPictureDialog(
        Owner(), QFileDialog::AcceptOpen,
        {QStringLiteral(
             "Images (*.bmp *.jpg *.jpeg *.jpe *.jfif *.png *.tif *.tiff *.heic *.heif *.avif *.webp *.jxl)"),
         QStringLiteral("All files (*)")},
        current);
}

std::optional<std::string> QtUserInterface::SavePictureFile(const std::string& current) {
    return RunPictureDialog(
        Owner(), QFileDialog::AcceptSave,
        {QStringLiteral("Bitmap (*.bmp)"), QStringLiteral("JPEG (*.jpg)"), QStringLiteral("PNG (*.png)"),
         QStringLiteral("TIFF (*.tif)"), QStringLiteral("WebP (*.webp)")},
        current);
}

std::optional<std::string> QtUserInterface::OpenFilterFile() { return RunFilterFileDialog(FilterDialogKind::Open); }

std::optional<std::string> QtUserInterface::SaveFilterFile() { return RunFilterFileDialog(FilterDialogKind::Save); }
