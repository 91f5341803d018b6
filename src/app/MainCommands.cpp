// The main window's picture commands: filters, statistics, and the Deform menu.
#include "custom/CustomFilter.h"
#include "filters/FilterCommands.h"
#include "app/Forms.h"
#include "geometry/GeometryCommands.h"
#include "app/LongCommand.h"
#include "app/Main.h"
#include "twain/Scan.h"
#include "filters/Statistics.h"
#include "app/UserInterface.h"

// The change works on copies, on a worker thread: the window keeps painting the picture as
// it was, and a cancelled or failed change leaves the picture, the selection and Undo alone.
bool TMainForm::RunPictureCommand(const PictureChange& change, UndoSnapshot undo) {
    bool changed = false;
    RunCommand(
        [&] {
            Bitmap picture = WorkingImage;
            TRect selection = Selection;
            RunLongCommand(BoxOwner(), LongCommands,
                           [&](const ProgressCallback& progress) { change(picture, selection, progress); });
            if (undo == UndoSnapshot::Take) {
                UndoImage = std::move(WorkingImage);
                UndoMetadata = WorkingMetadata;
                MenuState.UndoEnabled = true;
            }
            WorkingImage = std::move(picture);
            Selection = selection;
            ReDraw();
            changed = true;
        },
        Cursor::Busy);
    return changed;
}

void TMainForm::FilterMenuClick(const std::string& name) {
    const FilterCommand* command = FindFilterCommand(name);
    if (!command) return;
    RunPictureCommand([&](Bitmap& picture, TRect& selection, const ProgressCallback& progress) {
        FilterContext context{picture, selection};
        if (NoiseSeed) context.NoiseSeed = NoiseSeed;
        context.Progress = progress;
        RunFilterCommand(*command, context);
    });
}

void TMainForm::FeatherMenuClick() {
    // The palette window's OK applies the colour and redraws; the snapshot is taken now.
    RunCommand([&] {
        UpdateUndo();
        forms_.PaletteForm->show();
        forms_.PaletteForm->raise();
    });
}

void TMainForm::ScanMenuClick() {
    RunCommand([&] {
        // The Sources menu stays closed while the source's dialog is up, so that nothing
        // enters the scanner layer again; the rest of the program stays live.
        MenuState.Acquiring = true;
        UpdateActions();
        struct TReopen {
            TMainForm& form;
            ~TReopen() {
                form.MenuState.Acquiring = false;
                form.UpdateActions();
            }
        } reopen{*this};
        std::optional<Bitmap> scanned = ScanFirstImage();
        if (!scanned) return;
        UpdateUndo();
        WorkingImage = std::move(*scanned);
        WorkingMetadata = {};
        SelectAll();
        FileName.clear();
        ReDraw();
        MenuState.UnnamedPictureArrived();
    });
}

void TMainForm::StatisticsMenuClick() {
    std::string report;
    RunCommand([&] { report = StatisticsReport(WorkingImage, FileName); }, Cursor::Busy);
    if (!report.empty()) ui_.Information(report);
}

void TMainForm::CropMenuClick() {
    RunPictureCommand([&](Bitmap& picture, TRect& selection, const ProgressCallback& progress) {
        CropCommand(picture, selection, progress);
    });
}

void TMainForm::LeftMenuClick() {
    RunPictureCommand([&](Bitmap& picture, TRect& selection, const ProgressCallback& progress) {
        RotateCommand(picture, selection, TurnDirection::Left, progress);
    });
}

void TMainForm::RightMenuClick() {
    RunPictureCommand([&](Bitmap& picture, TRect& selection, const ProgressCallback& progress) {
        RotateCommand(picture, selection, TurnDirection::Right, progress);
    });
}

void TMainForm::ResizeMenuClick() { forms_.ResizeForm->Fill(WorkingImage.Width(), WorkingImage.Height()); }

void TMainForm::ResizeOkClick(int width, int height, bool interpolate, std::optional<TPictureSize> shown) {
    const TPictureSize judged = shown.value_or(TPictureSize{WorkingImage.Width(), WorkingImage.Height()});
    RunPictureCommand([&](Bitmap& picture, TRect& selection, const ProgressCallback& progress) {
        ResizeCommand(picture, selection, width, height, interpolate ? Interpolation::Pseudo : Interpolation::None,
                      judged, progress);
    });
}

void TMainForm::CustomfilterMenuClick() { forms_.CustomFilterForm->Open(); }

bool TMainForm::CustomFilter(const std::string& red, const std::string& green, const std::string& blue) {
    return RunPictureCommand([&](Bitmap& picture, TRect& selection, const ProgressCallback& progress) {
        ::CustomFilter(picture, selection, {red, green, blue}, progress);
    });
}
