#pragma once
// The main window: owns the working picture, shows it unscaled, carries the menu.
#include <QMainWindow>
#include <QPageLayout>
#include <QPrinter>
#include <memory>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "MenuEnabling.h"
#include "PictureMetadata.h"
#include "Rect.h"

class QAction;
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
    void OpenFile(const std::string& path);
    // The webcam window's snapshot file becomes the picture, without an undo copy.
    void LoadSnapshot(const std::string& path);
    void SaveImage(const std::string& path);
    void Print(QPageLayout::Orientation orientation);
    // The resize window's OK: undo snapshot, resize, redraw.
    void ResizeOkClick(int width, int height, bool interpolate);
    // The custom filter window's formulas (spaces removed) on the selection; no undo, no redraw.
    void CustomFilter(const std::string& red, const std::string& green, const std::string& blue);

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
    // Files dropped from the desktop, opened one after another.
    void DropFiles(const std::vector<std::string>& paths);

    // Runs a command: errors go to the error box; with `busy` the hourglass shows meanwhile.
    enum class Cursor { Normal, Busy };
    void RunCommand(const std::function<void()>& command, Cursor cursor = Cursor::Normal);

    // What the client area shows, and its size.
    const QImage& Canvas() const;
    QSize ClientSize() const;
    QAction* Action(const std::string& name) const;
    // The executable's folder, and the user's pictures folder (tests set both).
    std::string ProgramFolder, PicturesFolder;
    // Where QuickSave and the webcam snapshot write: the executable's folder when it can be
    // written (a build or a private install), else the pictures folder (a system install).
    std::string SaveFolder() const;

    // Called when the window has been closed, which ends the program.
    std::function<void()> OnClosed;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate(const std::string& firstArgument);
    void CreateMenus();
    void ToggleZoom();
    // Runs a picture-changing command: undo snapshot, the change, redraw, with the hourglass.
    void RunPictureCommand(const std::function<void()>& change);

    TUserInterface& ui_;
    TForms& forms_;
    TClientArea* clientArea_;
    std::map<std::string, QAction*> actions_;
    std::map<QAction*, MenuGroup> actionGroups_;
    std::unique_ptr<QTemporaryDir> runFolder_;
};
