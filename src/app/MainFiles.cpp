// The main window's file commands: open, save, QuickSave, the command line and dropped files.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <filesystem>

#include "Main.h"
#include "PictureFile.h"
#include "UserInterface.h"

void TMainForm::OpenFile(const std::string& path) {
    const PictureFormat format = FormatOfName(path);
    if (format == PictureFormat::Refused) {
        ui_.Information("You must specify a BMP or JPG file.");
        return;
    }
    // Loaded into a new picture first, so that a failed load leaves the old one untouched.
    WorkingImage = LoadPicture(path, format);
    SelectAll();
    ReDraw();
    MenuState.FileOpened();
    UpdateActions();
}

void TMainForm::SaveImage(const std::string& path) {
    const PictureFormat format = FormatOfName(path);
    if (format == PictureFormat::Refused) {
        ui_.Information("You must specify a .BMP or .JPG file.\r\nexample: MyPic.bmp");
        return;
    }
    SavePicture(path, WorkingImage, format);
    ReDraw();
    MenuState.SaveEnabled = true;
    UpdateActions();
}

void TMainForm::OpenMenuClick() {
    const std::optional<std::string> path = ui_.OpenPictureFile();
    if (!path) return;
    FileName = *path;
    RunCommand([&] { OpenFile(FileName); }, Cursor::Busy);
}

void TMainForm::SaveasMenuClick() {
    const std::optional<std::string> path = ui_.SavePictureFile();
    if (!path) return;
    if (std::filesystem::exists(*path) && !ui_.Confirm("File exists. Overwrite?")) return;
    FileName = *path;
    RunCommand([&] { SaveImage(FileName); }, Cursor::Busy);
}

void TMainForm::SaveMenuClick() {
    RunCommand([&] { SaveImage(FileName); }, Cursor::Busy);
}

void TMainForm::QuickSaveMenuClick() {
    FileName = (std::filesystem::path(ProgramFolder) / "quicksave.bmp").string();
    RunCommand([&] { SaveImage(FileName); }, Cursor::Busy);
}

void TMainForm::DropFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        FileName = path;
        RunCommand([&] { OpenFile(FileName); }, Cursor::Busy);
    }
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    event->acceptProposedAction();
    DropFiles(paths);
}
