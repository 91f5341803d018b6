#pragma once
// The main menu as one table: names, captions, shortcuts, glyphs, enabling groups and handlers.
#include <span>

#include "app/Glyphs.h"
#include "app/MenuEnabling.h"

class TMainForm;

enum class MenuEntryKind {
    Menu,        // a top-level menu; runs until the next Menu
    Submenu,     // opens a submenu inside the current menu
    EndSubmenu,  // closes the innermost submenu
    Item,
    Separator,
};

// Rows are written with designated initializers; what a row leaves out keeps these defaults.
struct TMenuEntry {
    MenuEntryKind Kind = MenuEntryKind::Item;
    const char* Name = "";
    const char* Caption = "";
    void (TMainForm::*Handler)() = nullptr;
    const char* FilterCommand = nullptr;  // the filter command an item runs, by its step name
    MenuGroup Group = MenuGroup::Always;
    const char* Shortcut = nullptr;  // "Ctrl+O" and so on
    ::Glyph Glyph = ::Glyph::None;
    bool Checkable = false;
};

std::span<const TMenuEntry> MainMenuEntries();
