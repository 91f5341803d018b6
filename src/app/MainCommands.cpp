// The main window's picture commands: filters, statistics, and the Deform menu.
#include "CustomFilter.h"
#include "FilterCommands.h"
#include "Forms.h"
#include "GeometryCommands.h"
#include "Main.h"
#include "Scan.h"
#include "Statistics.h"
#include "UserInterface.h"

void TMainForm::RunPictureCommand(const std::function<void()>& change) {
    RunCommand([&] {
        UpdateUndo();
        change();
        ReDraw();
    }, Cursor::Busy);
}

void TMainForm::FilterMenuClick(const std::string& name) {
    const FilterCommand* command = FindFilterCommand(name);
    if (!command) return;
    RunPictureCommand([&] {
        FilterContext context{WorkingImage, Selection};
        if (NoiseSeed) context.NoiseSeed = NoiseSeed;
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
    RunPictureCommand([&] { CropCommand(WorkingImage, Selection); });
}

void TMainForm::LeftMenuClick() {
    RunPictureCommand([&] { RotateCommand(WorkingImage, Selection, TurnDirection::Left); });
}

void TMainForm::RightMenuClick() {
    RunPictureCommand([&] { RotateCommand(WorkingImage, Selection, TurnDirection::Right); });
}

void TMainForm::ResizeMenuClick() { forms_.ResizeForm->Fill(WorkingImage.Width(), WorkingImage.Height()); }

void TMainForm::ResizeOkClick(int width, int height, bool interpolate) {
    RunPictureCommand([&] {
        ResizeCommand(WorkingImage, Selection, width, height,
                      interpolate ? Interpolation::Pseudo : Interpolation::None);
    });
}

void TMainForm::CustomfilterMenuClick() { forms_.CustomFilterForm->Open(); }

void TMainForm::CustomFilter(const std::string& red, const std::string& green, const std::string& blue) {
    ::CustomFilter(WorkingImage, Selection, {red, green, blue});
}
