#pragma once
// The main window: owns the working picture, shows it unscaled, carries the menu.
#include <QImage>
#include <QMainWindow>
#include <QPageLayout>
#include <QPrinter>
#include <memory>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "geometry/GeometryCommands.h"
#include "app/LongCommand.h"
#include "app/MenuEnabling.h"
#include "image/PictureMetadata.h"
#include "image/Rect.h"
#include "qtshared/ScreenColours.h"

class QAction;
class QScrollArea;
class QTemporaryDir;
class TClientArea;
class TUserInterface;
struct TForms;

class TMainForm : public QMainWindow {
public:
    // Builds the window and runs FormCreate with the program's first argument ("" for none).
    TMainForm(TUserInterface& ui, TForms& forms, const std::string& firstArgument);
    ~TMainForm() override;

    // The working state, shared with the other windows for the whole run.
    Bitmap WorkingImage;
    // What the opened file said besides the pixels (EXIF, ICC ...), written again by a save;
    // none for a picture from the clipboard, the webcam or a scanner.
    PictureMetadata WorkingMetadata;
    Bitmap RegionImage;
    Bitmap UndoImage;
    // The metadata that goes with UndoImage: an undone scan gives the photo back its EXIF.
    PictureMetadata UndoMetadata;
    Bitmap ZoomImage;
    TRect Selection;
    std::string FileName;
    TMenuState MenuState;

    // Operations the other windows call.
    void ReDraw();
    void SelectAll();
    bool SelectionIsEmpty() const;
    void UpdateUndo();
    void RestoreUndo();
    // Loads the file into the picture; false when its name was refused (the box said so).
    // Leaves FileName alone.
    bool OpenFile(const std::string& path);
    // The webcam window's snapshot file becomes the picture, without an undo copy.
    void LoadSnapshot(const std::string& path);
    void SaveImage(const std::string& path);
    void Print(QPageLayout::Orientation orientation);
    // The resize window's OK: undo snapshot, resize, redraw. Enlargement is judged against
    // `shown`, the size the window showed, or the picture's own size without it.
    void ResizeOkClick(int width, int height, bool interpolate, std::optional<TPictureSize> shown = {});
    // The custom filter window's formulas (spaces removed) on the selection, as a picture
    // command; true when applied.
    bool CustomFilter(const std::string& red, const std::string& green, const std::string& blue);

    // The retouch window's OK and Cancel, and the palette window's OK.
    void RetouchOkClick();
    void RetouchCancelClick();
    void PaletteOkClick(PackedColor color);
    // The retouch hand-off file, in a private folder made for the run.
    std::string RetouchFileName();

    // Where printing goes; nothing when there is no default printer. Tests print to PDF.
    std::function<std::unique_ptr<QPrinter>()> OpenDefaultPrinter;
    // Where AddNoise takes its seed: the clock, unless a test fixes it.
    std::function<std::uint32_t()> NoiseSeed;
    // Refreshes every enabled flag and check mark from the state.
    void UpdateActions();
    // Turns the window's own menus, shortcuts, picture area and drops off and on, for the
    // custom filter window. The other windows, Qt children of this one, stay usable, which
    // QWidget::setEnabled would not allow.
    void SetOwnControlsEnabled(bool enabled);
    bool OwnControlsEnabled() const { return ownControlsEnabled_; }

    // Menu handlers.
    void OpenMenuClick();
    void SaveasMenuClick();
    void SaveMenuClick();
    void QuickSaveMenuClick();
    void PrintMenuClick();
    void ExitMenuClick();
    void UndoMenuClick();
    void CopyMenuClick();
    void PasteMenuClick();
    void SelectallMenuClick();
    void StatisticsMenuClick();
    void ZoomMenuClick();
    void RetouchMenuClick();
    void CustomfilterMenuClick();
    void FeatherMenuClick();
    void CropMenuClick();
    void ResizeMenuClick();
    void LeftMenuClick();
    void RightMenuClick();
    void WebcameraMenuClick();
    void ScanMenuClick();
    void AboutMenuClick();
    // The items of the filter table, by step name.
    void FilterMenuClick(const std::string& command);

    // Mouse handlers of the client area; x and y are client coordinates.
    void FormMouseDown(Qt::MouseButton button, int x, int y);
    void FormMouseMove(int x, int y);
    void FormMouseUp(Qt::MouseButton button, int x, int y);
    // An arrow key: the selection moved by (dx, dy), or its right and bottom edges when resize.
    void SelectionKey(int dx, int dy, bool resize);
    // Files dropped from the desktop, opened one after another.
    void DropFiles(const std::vector<std::string>& paths);

    // Runs a command: errors go to the error box; with `Busy` the hourglass shows meanwhile.
    // A cancelled command ends silently.
    enum class Cursor { Normal, Busy };
    void RunCommand(const std::function<void()>& command, Cursor cursor = Cursor::Normal);
    // Runs a picture-changing command with progress and Cancel: undo snapshot (unless one
    // was taken already), the change on the picture and selection, redraw. True when done.
    using PictureChange = std::function<void(Bitmap& picture, TRect& selection, const ProgressCallback& progress)>;
    enum class UndoSnapshot { Take, AlreadyTaken };
    bool RunPictureCommand(const PictureChange& change, UndoSnapshot undo = UndoSnapshot::Take);
    // How long commands show their progress (tests shorten the delay and press Cancel).
    TLongCommandOptions LongCommands;

    // What the client area shows, composed whole (for tests; the window paints only what is
    // on screen), and its size, the whole view's size even when the window scrolls.
    const QImage& Canvas() const;
    QSize ClientSize() const;
    QAction* Action(const std::string& name) const;
    // The executable's folder, and the user's pictures folder (tests set both).
    std::string ProgramFolder, PicturesFolder;
    // Where QuickSave and the webcam snapshot write: the executable's folder when it can be
    // written (a build or a private install), else the pictures folder (a system install).
    std::string SaveFolder() const;
    // Names the picture `path` and saves it there; a cancelled save keeps the old name.
    void SaveUnderName(const std::string& path);

    // Called when the window has been closed, which ends the program.
    std::function<void()> OnClosed;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate(const std::string& firstArgument);
    void CreateMenus();
    // Opens the file and, once it has loaded, makes its path the picture's name.
    void OpenNamedFile(const std::string& path);
    void ShowCaption();
    // The redraw after a change of the selection alone: only the frames and text repaint.
    void ReDrawSelection();
    // Sizes the scroll area to the client area, or to the screen when that is smaller.
    void FitWindow();
    // The frame around the window, nothing until it shows; and the one the last fit allowed for.
    QSize FrameSize() const;
    QSize fittedFrame_;
    // The windows showing now, and the focus given back to this one after a menu command.
    static std::set<QWidget*> VisibleWindows();
    void TakeFocusBack(const std::set<QWidget*>& shownBefore);
    void ToggleZoom();
    // Says in a box what a load or a save left out of the metadata, if anything.
    void TellWhatWasLeftOut(const MetadataWarnings& warnings);
    // The window the boxes and progress of this window's commands speak for.
    QWidget* BoxOwner();

    TUserInterface& ui_;
    TForms& forms_;
    TClientArea* clientArea_;
    TScreenColours screenColours_;
    QScrollArea* scrollArea_;
    mutable QImage canvas_;
    std::map<std::string, QAction*> actions_;
    // The two checkable items, ticked while their windows show.
    QAction* zoomAction_ = nullptr;
    QAction* webcamAction_ = nullptr;
    std::map<QAction*, MenuGroup> actionGroups_;
    std::unique_ptr<QTemporaryDir> runFolder_;
    bool ownControlsEnabled_ = true;
};
