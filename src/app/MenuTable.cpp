#include "app/MenuTable.h"

#include "app/Main.h"

namespace {
using K = MenuEntryKind;
using G = MenuGroup;
using F = TMainForm;

constexpr TMenuEntry Menu(const char* name, const char* caption, G group = G::Always) {
    return {.Kind = K::Menu, .Name = name, .Caption = caption, .Group = group};
}
constexpr TMenuEntry Sub(const char* name, const char* caption) {
    return {.Kind = K::Submenu, .Name = name, .Caption = caption};
}
constexpr TMenuEntry End() { return {.Kind = K::EndSubmenu}; }
constexpr TMenuEntry Sep() { return {.Kind = K::Separator}; }
// A Filters item that runs a command of the filter table.
constexpr TMenuEntry Filter(const char* name, const char* caption, const char* command) {
    return {.Name = name, .Caption = caption, .FilterCommand = command, .Group = G::Picture};
}

// One row per item, kept on one line each so the table reads as a table.
// clang-format off
const TMenuEntry entries[] = {
    Menu("FileMenu", "&File"),
    {.Name = "OpenMenu", .Caption = "&Open", .Handler = &F::OpenMenuClick, .Shortcut = "Ctrl+O", .Glyph = Glyph::Open},
    {.Name = "SaveasMenu", .Caption = "Save &as", .Handler = &F::SaveasMenuClick, .Group = G::Picture, .Glyph = Glyph::SaveAs},
    {.Name = "SaveMenu", .Caption = "&Save", .Handler = &F::SaveMenuClick, .Group = G::Save, .Shortcut = "Ctrl+S"},
    {.Name = "QuickSaveMenu", .Caption = "Q&uickSave", .Handler = &F::QuickSaveMenuClick, .Group = G::Picture, .Shortcut = "Ctrl+Q"},
    Sep(),
    {.Name = "PrintMenu", .Caption = "&Print", .Handler = &F::PrintMenuClick, .Group = G::Picture, .Glyph = Glyph::Print},
    Sep(),
    {.Name = "ExitMenu", .Caption = "&Exit", .Handler = &F::ExitMenuClick, .Glyph = Glyph::Exit},

    Menu("EditMenu", "&Edit"),
    {.Name = "UndoMenu", .Caption = "&Undo", .Handler = &F::UndoMenuClick, .Group = G::Undo, .Shortcut = "Ctrl+Z", .Glyph = Glyph::Undo},
    Sep(),
    {.Name = "CopyMenu", .Caption = "&Copy", .Handler = &F::CopyMenuClick, .Group = G::Picture, .Shortcut = "Ctrl+C", .Glyph = Glyph::Copy},
    {.Name = "PasteMenu", .Caption = "&Paste", .Handler = &F::PasteMenuClick, .Shortcut = "Ctrl+V", .Glyph = Glyph::Paste},
    {.Name = "SelectallMenu", .Caption = "&Select all", .Handler = &F::SelectallMenuClick, .Group = G::Picture, .Shortcut = "Ctrl+A"},

    Menu("FiltersMenu", "F&ilters", G::Picture),
    {.Name = "StatisticsMenu", .Caption = "&Statistics", .Handler = &F::StatisticsMenuClick, .Group = G::Picture, .Glyph = Glyph::Statistics},
    {.Name = "ZoomMenu", .Caption = "&Zoom", .Handler = &F::ZoomMenuClick, .Group = G::Picture, .Glyph = Glyph::Zoom, .Checkable = true},
    Sep(),
    {.Name = "RetouchMenu", .Caption = "&Retouch", .Handler = &F::RetouchMenuClick, .Group = G::Picture, .Glyph = Glyph::Retouch},
    Sep(),
    {.Name = "CustomfilterMenu", .Caption = "C&ustom filter", .Handler = &F::CustomfilterMenuClick, .Group = G::Picture},
    Sep(),
    Filter("BlackandwhiteMenu", "Blac&k and white", "black-and-white"),
    Sub("BrightnessMenu", "&Brightness"),
    Filter("IncreaseBrightnessMenu", "&Increase", "brightness-increase"),
    Filter("DecreaseBrightnessMenu", "&Decrease", "brightness-decrease"),
    End(),
    Sub("ChannelsMenu", "&Channels"),
    Sub("RedMenu", "&Red"),
    Filter("IncreaseRedMenu", "&Increase", "red-increase"),
    Filter("DecreaseRedMenu", "&Decrease", "red-decrease"),
    End(),
    Sub("Greenmenu", "&Green"),
    Filter("IncreaseGreenMenu", "&Increase", "green-increase"),
    Filter("DecreaseGreenMenu", "&Decrease", "green-decrease"),
    End(),
    Sub("BlueMenu", "&Blue"),
    Filter("IncreaseBlueMenu", "&Increase", "blue-increase"),
    Filter("DecreaseBlueMenu", "&Decrease", "blue-decrease"),
    End(),
    End(),
    Filter("GrayscaleMenu", "Gra&yscale", "grayscale"),
    Sub("InvertMenu", "&Invert"),
    Filter("InvertAllmenu", "&All", "invert-all"),
    Sep(),
    Filter("InvertRedMenu", "&Red", "invert-red"),
    Filter("InvertGreenMenu", "&Green", "invert-green"),
    Filter("InvertBlueMenu", "&Blue", "invert-blue"),
    End(),
    Sub("LogaritmizeMenu", "&Logaritmize"),
    Filter("LogaritmizeAllMenu", "&All", "logaritmize-all"),
    Sep(),
    Filter("LogaritmizeRedMenu", "&Red", "logaritmize-red"),
    Filter("LogaritmizeGreenMenu", "&Green", "logaritmize-green"),
    Filter("LogaritmizeBlueMenu", "&Blue", "logaritmize-blue"),
    End(),
    Sub("MirrorMenu", "&Mirror"),
    Filter("HorisontallyMenu", "&Horisontally", "mirror-horizontal"),
    Filter("VerticallyMenu", "&Vertically", "mirror-vertical"),
    End(),
    Filter("OptimizeMenu", "&Optimize", "optimize"),
    Filter("SepiaMenu", "Sepi&a", "sepia"),
    Sep(),
    Sub("ContrastMenu", "Con&trast"),
    Filter("IncreaseContrastmenu", "&Increase", "contrast-increase"),
    Filter("DecreaseContrastmenu", "&Decrease", "contrast-decrease"),
    End(),
    Filter("FindEdgesMenu", "Find ed&ges", "find-edges"),
    Filter("MeanvalueMenu", "Mean &value", "mean-value"),
    Sub("NoiseMenu", "&Noise"),
    Filter("AddNoiseMenu", "&Add", "noise-add"),
    Filter("RemoveNoiseMenu", "&Remove", "noise-remove"),
    End(),
    Sub("SharpnessMenu", "S&harpness"),
    Filter("IncreaseSharpnessMenu", "&Increase", "sharpness-increase"),
    Filter("DecreaseSharpnessMenu", "&Decrease", "sharpness-decrease"),
    End(),
    Sep(),
    Filter("DrawnMenu", "&Drawn", "drawn"),
    {.Name = "FeatherMenu", .Caption = "&Feather", .Handler = &F::FeatherMenuClick, .Group = G::Picture},
    Sub("PhotoMenu", "&Photo effects"),
    Filter("Early20thCenturyMenu", "&Early 20:th century", "early-20th-century"),
    Filter("CheapcolorcameraMenu", "&Cheap color camera", "cheap-color-camera"),
    End(),
    Sub("ReflectionMenu", "R&eflection"),
    Filter("ReflectionHorisontallyMenu", "&Horisontally", "reflection-horizontal"),
    Filter("ReflectionVerticallyMenu", "&Vertically", "reflection-vertical"),
    End(),
    Filter("SwapchannelsMenu", "S&wap channels", "swap-channels"),

    Menu("DeformMenu", "&Deform", G::Picture),
    {.Name = "CropMenu", .Caption = "&Crop", .Handler = &F::CropMenuClick, .Group = G::Picture},
    {.Name = "ResizeMenu", .Caption = "&Resize", .Handler = &F::ResizeMenuClick, .Group = G::Picture},
    Sub("Rotate1", "R&otate"),
    {.Name = "LeftMenu", .Caption = "&Left", .Handler = &F::LeftMenuClick, .Group = G::Picture},
    {.Name = "RightMenu", .Caption = "&Right", .Handler = &F::RightMenuClick, .Group = G::Picture},
    End(),

    Menu("SourcesMenu", "&Sources", G::Sources),
    {.Name = "WebcameraMenu", .Caption = "&Webcam", .Handler = &F::WebcameraMenuClick, .Group = G::Sources, .Glyph = Glyph::Webcam, .Checkable = true},
    {.Name = "ScanMenu", .Caption = "&Scanner / digital camera", .Handler = &F::ScanMenuClick, .Group = G::Sources, .Glyph = Glyph::Scanner},

    Menu("HelpMenu", "&Help"),
    {.Name = "AboutMenu", .Caption = "&About", .Handler = &F::AboutMenuClick, .Glyph = Glyph::About},
};
// clang-format on
}  // namespace

std::span<const TMenuEntry> MainMenuEntries() { return entries; }
