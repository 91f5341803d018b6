#include "MenuTable.h"

#include "Main.h"

namespace {
using K = MenuEntryKind;
using G = MenuGroup;
using F = TMainForm;

constexpr TMenuEntry Menu(const char* name, const char* caption, G group = G::Always) {
    return {K::Menu, name, caption, nullptr, -1, group};
}
constexpr TMenuEntry Sub(const char* name, const char* caption) { return {K::Submenu, name, caption}; }
constexpr TMenuEntry End() { return {K::EndSubmenu}; }
constexpr TMenuEntry Sep() { return {K::Separator}; }
constexpr TMenuEntry Item(const char* name, const char* caption, void (F::*handler)(), G group,
                          const char* shortcut = nullptr, int glyph = -1, bool checkable = false) {
    return {K::Item, name, caption, shortcut, glyph, group, handler, nullptr, checkable};
}
// A Filters item that runs a command of the filter table.
constexpr TMenuEntry Filter(const char* name, const char* caption, const char* command) {
    return {K::Item, name, caption, nullptr, -1, G::Picture, nullptr, command};
}

const TMenuEntry entries[] = {
    Menu("FileMenu", "&File"),
    Item("OpenMenu", "&Open", &F::OpenMenuClick, G::Always, "Ctrl+O", 0),
    Item("SaveasMenu", "&Save as", &F::SaveasMenuClick, G::Picture, nullptr, 1),
    Item("SaveMenu", "&Save", &F::SaveMenuClick, G::Save, "Ctrl+S"),
    Item("QuickSaveMenu", "Q&uickSave", &F::QuickSaveMenuClick, G::Picture, "Ctrl+Q"),
    Sep(),
    Item("PrintMenu", "&Print", &F::PrintMenuClick, G::Picture, nullptr, 2),
    Sep(),
    Item("ExitMenu", "&Exit", &F::ExitMenuClick, G::Always, nullptr, 3),

    Menu("EditMenu", "&Edit"),
    Item("UndoMenu", "&Undo", &F::UndoMenuClick, G::Undo, "Ctrl+Z", 4),
    Sep(),
    Item("CopyMenu", "&Copy", &F::CopyMenuClick, G::Picture, "Ctrl+C", 5),
    Item("PasteMenu", "&Paste", &F::PasteMenuClick, G::Always, "Ctrl+V", 6),
    Item("SelectallMenu", "&Select all", &F::SelectallMenuClick, G::Picture, "Ctrl+A"),

    Menu("FiltersMenu", "F&ilters", G::Picture),
    Item("StatisticsMenu", "&Statistics", &F::StatisticsMenuClick, G::Picture, nullptr, 7),
    Item("ZoomMenu", "&Zoom", &F::ZoomMenuClick, G::Picture, nullptr, 8, true),
    Sep(),
    Item("RetouchMenu", "&Retouch", &F::RetouchMenuClick, G::Picture, nullptr, 12),
    Sep(),
    Item("CustomfilterMenu", "&Custom filter", &F::CustomfilterMenuClick, G::Picture),
    Sep(),
    Filter("BlackandwhiteMenu", "&Black and white", "black-and-white"),
    Sub("BrightnessMenu", "B&rightness"),
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
    Filter("GrayscaleMenu", "&Grayscale", "grayscale"),
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
    Filter("SepiaMenu", "&Sepia", "sepia"),
    Sep(),
    Sub("ContrastMenu", "Co&ntrast"),
    Filter("IncreaseContrastmenu", "&Increase", "contrast-increase"),
    Filter("DecreaseContrastmenu", "&Decrease", "contrast-decrease"),
    End(),
    Filter("FindEdgesMenu", "&Find edges", "find-edges"),
    Filter("MeanvalueMenu", "&Mean value", "mean-value"),
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
    Item("FeatherMenu", "&Feather", &F::FeatherMenuClick, G::Picture),
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
    Item("CropMenu", "&Crop", &F::CropMenuClick, G::Picture),
    Item("ResizeMenu", "&Resize", &F::ResizeMenuClick, G::Picture),
    Sub("Rotate1", "R&otate"),
    Item("LeftMenu", "&Left", &F::LeftMenuClick, G::Picture),
    Item("RightMenu", "&Right", &F::RightMenuClick, G::Picture),
    End(),

    Menu("SourcesMenu", "&Sources", G::Sources),
    Item("WebcameraMenu", "&Webcam", &F::WebcameraMenuClick, G::Sources, nullptr, 9, true),
    Item("ScanMenu", "&Scanner / digital camera", &F::ScanMenuClick, G::Sources, nullptr, 10),

    Menu("HelpMenu", "&Help"),
    Item("AboutMenu", "&About", &F::AboutMenuClick, G::Always, nullptr, 11),
};
}  // namespace

std::span<const TMenuEntry> MainMenuEntries() { return entries; }
