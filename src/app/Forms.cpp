#include "app/Forms.h"

#include "twain/Twain.h"
#include "app/UserInterface.h"

TForms::TForms(TUserInterface& ui, const std::string& firstArgument) : twainBoxes_(ui) {
    TWAIN_SetUserInterface(&twainBoxes_);
    MainForm = std::make_unique<TMainForm>(ui, *this, firstArgument);
    QWidget* owner = MainForm.get();
    ZoomForm = std::make_unique<TZoomForm>(owner);
    VideoForm = std::make_unique<TVideoForm>(owner);
    ResizeForm = std::make_unique<TResizeForm>(owner);
    PrintForm = std::make_unique<TPrintForm>(owner);
    AboutBox = std::make_unique<TAboutBox>(owner);
    RetouchForm = std::make_unique<TRetouchForm>();  // a window of its own: the main one hides
    PaletteForm = std::make_unique<TPaletteForm>(owner);
    // Not a child of the main window: that is disabled while this window is open, and Qt
    // disables child windows with their parent.
    CustomFilterForm = std::make_unique<TCustomFilterForm>();
    Connect(ui);
}

namespace {
// `action`, with the boxes it shows (and the progress of what it starts) speaking for `window`.
template <class Action>
auto SpeakingFor(TUserInterface& ui, QWidget* window, Action action) {
    return [&ui, window, action](auto&&... arguments) {
        TSpeakingFor speaker(ui, window);
        return action(std::forward<decltype(arguments)>(arguments)...);
    };
}
}  // namespace

// The secondary windows hand their results to the main window.
void TForms::Connect(TUserInterface& ui) {
    TMainForm* main = MainForm.get();
    // The menu's tick follows the zoom window, also when a desktop's own close box hides it.
    ZoomForm->OnHidden = [main] { main->UpdateActions(); };
    ResizeForm->OnResize = [main](int width, int height, bool interpolate, int shownWidth, int shownHeight) {
        main->ResizeOkClick(width, height, interpolate, TPictureSize{shownWidth, shownHeight});
    };
    ResizeForm->Inform = SpeakingFor(ui, ResizeForm.get(), [&ui](const std::string& text) { ui.Information(text); });
    VideoForm->OnSnapshot = [main](const std::string& path) { main->LoadSnapshot(path); };
    VideoForm->OnVisibilityChanged = [main] { main->UpdateActions(); };
    VideoForm->SnapshotFolder = [main] { return main->SaveFolder(); };
    VideoForm->RunCommand =
        SpeakingFor(ui, VideoForm.get(), [main](const std::function<void()>& command) { main->RunCommand(command); });
    RetouchForm->OnOk = [main] { main->RetouchOkClick(); };
    RetouchForm->OnCancel = [main] { main->RetouchCancelClick(); };
    RetouchForm->ShowError =
        SpeakingFor(ui, RetouchForm.get(), [&ui](const std::string& message) { ui.Error(ErrorBoxText(message)); });
    PaletteForm->OnOk = [main](PackedColor color) { main->PaletteOkClick(color); };
    TCustomFilterForm* custom = CustomFilterForm.get();
    custom->OnApply =
        SpeakingFor(ui, custom, [main](const std::string& red, const std::string& green, const std::string& blue) {
            return main->CustomFilter(red, green, blue);
        });
    custom->SetMainEnabled = [main](bool enabled) { main->SetOwnControlsEnabled(enabled); };
    custom->Inform = SpeakingFor(ui, custom, [&ui](const std::string& text) { ui.Information(text); });
    custom->Confirm = SpeakingFor(ui, custom, [&ui](const std::string& text) { return ui.Confirm(text); });
    custom->ShowError = SpeakingFor(ui, custom, [&ui](const std::string& message) { ui.Error(ErrorBoxText(message)); });
    custom->OpenFilterDialog = SpeakingFor(ui, custom, [&ui] { return ui.OpenFilterFile(); });
    custom->SaveFilterDialog = SpeakingFor(ui, custom, [&ui] { return ui.SaveFilterFile(); });
    PrintForm->OnPrint = SpeakingFor(ui, PrintForm.get(), [main](QPageLayout::Orientation orientation) {
        bool printed = false;
        main->RunCommand(
            [&] {
                main->Print(orientation);
                printed = true;
            },
            TMainForm::Cursor::Busy);
        return printed;
    });
}

// The secondary windows are Qt children of the main window; release them first so that
// the main window does not delete them a second time.
TForms::~TForms() {
    // The scanned pages nobody took, and the boxes' target, go with the windows.
    TWAIN_FreeImages();
    TWAIN_SetUserInterface(nullptr);
    CustomFilterForm.reset();
    PaletteForm.reset();
    RetouchForm.reset();
    AboutBox.reset();
    PrintForm.reset();
    ResizeForm.reset();
    VideoForm.reset();
    ZoomForm.reset();
    MainForm.reset();
}
