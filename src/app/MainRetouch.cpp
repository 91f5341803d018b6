// Handing the picture to the retouch window and back, and the palette window's Feather.
#include <QTemporaryDir>
#include <filesystem>

#include "common/Errors.h"
#include "filters/FilterCommands.h"
#include "app/Forms.h"
#include "app/Main.h"
#include "image/PictureFile.h"

std::string TMainForm::RetouchFileName() {
    // Private to the run, so that no file of the user's is overwritten or deleted, and the
    // hand-off works from a folder that cannot be written.
    if (!runFolder_) {
        runFolder_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/corvalux-XXXXXX"));
        if (!runFolder_->isValid()) {
            const std::string reason = runFolder_->errorString().toStdString();
            runFolder_.reset();
            throw EFileError("Cannot make a temporary folder: " + reason);
        }
    }
    return runFolder_->filePath(QStringLiteral("temp00.bmp")).toStdString();
}

void TMainForm::RetouchMenuClick() {
    RunCommand(
        [&] {
            UpdateUndo();
            const std::string path = RetouchFileName();
            SaveImage(path);
            TRetouchForm& retouch = *forms_.RetouchForm;
            retouch.Load(path);
            const QColorTransform* screen = screenColours_.For(WorkingMetadata);
            retouch.Screen = screen ? std::optional(*screen) : std::nullopt;
            hide();
            retouch.show();
            retouch.MoveWithinScreen(pos());
            retouch.raise();
        },
        Cursor::Busy);
}

void TMainForm::RetouchOkClick() {
    TRetouchForm& retouch = *forms_.RetouchForm;
    RunCommand(
        [&] {
            const std::string path = RetouchFileName();
            SavePicture(path, retouch.Picture(), PictureFormat::Bitmap);
            // The hand-off file is a bitmap, which holds no metadata: the photo's own comes back
            // with the pixels, or a retouch would strip its EXIF and profile.
            PictureMetadata metadata = WorkingMetadata;
            OpenFile(path);  // keeps FileName: the picture keeps its own name
            WorkingMetadata = std::move(metadata);
            ReDraw();
            // The picture is back by now; a hand-off file that will not go must not keep the
            // user in the retouch window (the run's folder goes at exit anyway).
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
            move(retouch.pos());
            retouch.hide();
            show();
        },
        Cursor::Busy);
}

void TMainForm::RetouchCancelClick() {
    TRetouchForm& retouch = *forms_.RetouchForm;
    move(retouch.pos());
    std::error_code ignored;
    std::filesystem::remove(RetouchFileName(), ignored);
    retouch.hide();
    show();
}

void TMainForm::PaletteOkClick(PackedColor color) {
    // The snapshot for Undo was taken when the palette window opened.
    RunPictureCommand(
        [&](Bitmap& picture, TRect& selection, const ProgressCallback& progress) {
            FilterContext context{picture, selection};
            context.Progress = progress;
            RunFeather(context, color);
        },
        UndoSnapshot::AlreadyTaken);
}
