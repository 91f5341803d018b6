#pragma once
// The program's nine windows, created once at start-up in a fixed order and kept until exit.
#include <memory>
#include <string>

#include "app/About.h"
#include "custom/Custom.h"
#include "app/Main.h"
#include "retouch/Palette.h"
#include "app/Print.h"
#include "geometry/Resize.h"
#include "retouch/Retouch.h"
#include "capture/Webcam.h"
#include "app/Zoom.h"

#include "twain/TwainUserInterface.h"
#include "app/UserInterface.h"

// The scanner layer's boxes, shown through the program's user interface.
class TTwainBoxes : public TTwainUserInterface {
public:
    explicit TTwainBoxes(TUserInterface& ui) : ui_(ui) {}
    void Warning(const std::string& caption, const std::string& text) override { ui_.Warning(caption, text); }

private:
    TUserInterface& ui_;
};

struct TForms {
    TForms(TUserInterface& ui, const std::string& firstArgument);
    ~TForms();

    // In creation order; the main window comes first and owns none of the others, so each
    // window lives exactly as long as this object.
    std::unique_ptr<TMainForm> MainForm;
    std::unique_ptr<TZoomForm> ZoomForm;
    std::unique_ptr<TVideoForm> VideoForm;
    std::unique_ptr<TResizeForm> ResizeForm;
    std::unique_ptr<TPrintForm> PrintForm;
    std::unique_ptr<TAboutBox> AboutBox;
    std::unique_ptr<TRetouchForm> RetouchForm;
    std::unique_ptr<TPaletteForm> PaletteForm;
    std::unique_ptr<TCustomFilterForm> CustomFilterForm;

private:
    void Connect(TUserInterface& ui);
    TTwainBoxes twainBoxes_;
};
