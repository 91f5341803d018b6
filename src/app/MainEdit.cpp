// The main window's Edit commands: one level of undo, and the clipboard.
#include <QApplication>
#include <QClipboard>

#include "app/ClipboardPicture.h"
#include "common/Errors.h"
#include "app/Main.h"
#include "qtshared/QtPicture.h"
#include "image/Region.h"
#include "app/UserInterface.h"

void TMainForm::UpdateUndo() {
    UndoImage = WorkingImage;
    UndoMetadata = WorkingMetadata;
    MenuState.UndoEnabled = true;
    UpdateActions();
}

void TMainForm::RestoreUndo() {
    WorkingImage = UndoImage;
    WorkingMetadata = UndoMetadata;
    MenuState.UndoEnabled = false;
    UpdateActions();
    SelectAll();
    ReDraw();
}

void TMainForm::UndoMenuClick() {
    RunCommand([&] { RestoreUndo(); });
}

void TMainForm::CopyMenuClick() {
    RunCommand([&] {
        // Pixels of the selection outside the picture go to the clipboard as black.
        RegionImage = CopyRegion(WorkingImage, Selection);
        QApplication::clipboard()->setImage(ImageView(RegionImage).copy());
        RegionImage.Clear();
    });
}

void TMainForm::PasteMenuClick() {
    RunCommand(
        [&] {
            Bitmap pasted;
            try {
                // A large picture decodes on a worker, with the progress dialog.
                const auto onWorker = [&](const std::function<void(const ProgressCallback&)>& decode) {
                    RunLongCommand(BoxOwner(), LongCommands, decode);
                };
                pasted = ClipboardPicture(QApplication::clipboard()->mimeData(), onWorker);
            } catch (const EPictureTooLarge&) {
                throw;  // a picture there, but too large: the error box says so
            } catch (const EInvalidGraphic&) {
                ui_.Information("No clipboard data available.");
                return;
            }
            WorkingImage = std::move(pasted);
            WorkingMetadata = {};
            FileName.clear();
            SelectAll();
            ReDraw();
            MenuState.UnnamedPictureArrived();
        },
        Cursor::Busy);
}

void TMainForm::SelectallMenuClick() {
    SelectAll();
    ReDraw();
}
