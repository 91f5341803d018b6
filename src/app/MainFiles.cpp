// The main window's file commands: open, save, QuickSave, the command line and dropped files.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <utility>

#include "common/Errors.h"
#include "app/Forms.h"
#include "app/LongCommand.h"
#include "app/Main.h"
#include "image/PictureFile.h"
#include "app/UserInterface.h"

bool TMainForm::OpenFile(const std::string& path) {
    const PictureFormat format = FormatOfName(path);
    if (format == PictureFormat::Refused) {
        ui_.Information(OpenNameRefusal);
        return false;
    }
    // Loaded into a new picture first, so that a failed or cancelled load leaves the old one
    // untouched; a large file loads on the worker with the progress dialog.
    LoadedPicture loaded;
    RunLongCommand(BoxOwner(), LongCommands, [&](const ProgressCallback& progress) {
        loaded = LoadPictureFile(path, format, OrientationRule::Upright, progress);
    });
    WorkingImage = std::move(loaded.Picture);
    WorkingMetadata = std::move(loaded.Metadata);
    TellWhatWasLeftOut(loaded.Warnings);
    SelectAll();
    ReDraw();
    // A new picture shows from its top-left corner, not where the last one was scrolled to.
    scrollArea_->horizontalScrollBar()->setValue(0);
    scrollArea_->verticalScrollBar()->setValue(0);
    MenuState.FileOpened();
    UpdateActions();
    return true;
}

// The load or save went ahead, but the user should know what of the photo's metadata did not
// come along.
void TMainForm::TellWhatWasLeftOut(const MetadataWarnings& warnings) {
    if (warnings.empty()) return;
    std::string text;
    for (const std::string& warning : warnings) text += (text.empty() ? "" : "\r\n") + warning;
    ui_.Information(text);
}

// The picture takes the file's name only once the file has loaded: a refused or unreadable
// file must not become the name that Save writes to, or Save would overwrite that file with
// the picture still on screen.
void TMainForm::OpenNamedFile(const std::string& path) {
    RunCommand(
        [&] {
            if (!OpenFile(path)) return;
            FileName = path;
            ShowCaption();
        },
        Cursor::Busy);
}

void TMainForm::SaveImage(const std::string& path) {
    const PictureFormat format = FormatOfName(path);
    if (!CanSave(format)) {
        ui_.Information(SaveNameRefusal);
        return;
    }
    // A cancel stops the save before the file is touched; one that comes while the file is
    // being written is too late, and the save counts as done.
    bool written = false;
    MetadataWarnings leftOut;
    try {
        RunLongCommand(BoxOwner(), LongCommands, [&](const ProgressCallback& progress) {
            leftOut = SavePicture(path, WorkingImage, format, WorkingMetadata, progress);
            written = true;
        });
    } catch (const ECancelled&) {
        if (!written) throw;
    }
    TellWhatWasLeftOut(leftOut);
    ReDraw();
    MenuState.SaveEnabled = true;
    UpdateActions();
}

// Once loaded, the picture it replaced cannot be brought back. A failed load stops there,
// with the name and Undo as they were.
void TMainForm::LoadSnapshot(const std::string& path) {
    RunCommand(
        [&] {
            if (!OpenFile(path)) return;
            FileName = path;
            ShowCaption();
            MenuState.UndoEnabled = false;
            UpdateActions();
        },
        Cursor::Busy);
}

void TMainForm::WebcameraMenuClick() {
    forms_.VideoForm->show();
    forms_.VideoForm->raise();
    forms_.VideoForm->activateWindow();
    UpdateActions();
}

void TMainForm::OpenMenuClick() {
    const std::optional<std::string> path = ui_.OpenPictureFile(FileName);
    if (!path) return;
    OpenNamedFile(*path);
}

void TMainForm::SaveasMenuClick() {
    const std::optional<std::string> path = ui_.SavePictureFile(FileName);
    if (!path) return;
    // Even the existence test can fail (a folder we may not search, a loop of links): that
    // goes to the error box like any other failure, with nothing saved.
    RunCommand([&] {
        std::error_code error;
        const bool exists = std::filesystem::exists(*path, error);
        if (error) throw EFileError("Cannot access file \"" + *path + "\": " + error.message());
        if (exists && !ui_.Confirm("File exists. Overwrite?")) return;
        RunCommand([&] { SaveUnderName(*path); }, Cursor::Busy);
    });
}

void TMainForm::SaveUnderName(const std::string& path) {
    const std::string previous = std::exchange(FileName, path);
    try {
        SaveImage(FileName);
    } catch (const ECancelled&) {
        FileName = previous;
        throw;
    }
}

void TMainForm::SaveMenuClick() {
    RunCommand([&] { SaveImage(FileName); }, Cursor::Busy);
}

void TMainForm::QuickSaveMenuClick() {
    RunCommand([&] { SaveUnderName((std::filesystem::path(SaveFolder()) / "quicksave.bmp").string()); }, Cursor::Busy);
}

namespace {
// Whether a new file can be made in `folder`: tried for real, since permissions, read-only
// mounts and the superuser's rights all play a part.
bool CanCreateFileIn(const std::string& folder) {
    std::string probe = folder + "/.corvalux-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}
}  // namespace

std::string TMainForm::SaveFolder() const {
    if (CanCreateFileIn(ProgramFolder)) return ProgramFolder;
    std::error_code error;
    if (std::filesystem::is_directory(PicturesFolder, error)) return PicturesFolder;
    // A missing pictures folder is made only inside an existing home: without HOME, or with
    // one that does not exist, it would be made at the root or as a chain of folders nobody
    // asked for.
    const char* home = std::getenv("HOME");
    const std::filesystem::path homeFolder = home ? home : "";
    const auto relative = std::filesystem::path(PicturesFolder).lexically_relative(homeFolder);
    const bool insideHome = homeFolder.is_absolute() && std::filesystem::is_directory(homeFolder, error) &&
                            !relative.empty() && *relative.begin() != "..";
    if (!insideHome)
        throw EFileError(
            "There is no folder to save in: the program's folder cannot be written, and the pictures "
            "folder \"" +
            PicturesFolder + "\" is missing and not inside an existing home folder (set HOME or " +
            "XDG_PICTURES_DIR).");
    std::filesystem::create_directories(PicturesFolder);
    return PicturesFolder;
}

void TMainForm::DropFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) OpenNamedFile(path);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (ownControlsEnabled_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

// The file's name as the system holds it: its bytes, taken from the URL's percent-encoding,
// since a name that is not UTF-8 does not survive a QString.
static std::string LocalFileName(const QUrl& url) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

void TMainForm::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(LocalFileName(url));
    event->acceptProposedAction();
    DropFiles(paths);
}
