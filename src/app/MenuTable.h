#pragma once
// The main menu as one table: names, captions, shortcuts, glyphs, enabling groups and handlers.
#include <span>

#include "MenuEnabling.h"

class TMainForm;

enum class MenuEntryKind {
    Menu,        // a top-level menu; runs until the next Menu
    Submenu,     // opens a submenu inside the current menu
    EndSubmenu,  // closes the innermost submenu
    Item,
    Separator,
};

struct TMenuEntry {
    MenuEntryKind Kind;
    const char* Name = "";
    const char* Caption = "";
    const char* Shortcut = nullptr;  // "Ctrl+O" and so on
    int Glyph = -1;                  // index into the glyph list
    MenuGroup Group = MenuGroup::Always;
    void (TMainForm::*Handler)() = nullptr;
    const char* FilterCommand = nullptr;  // the filter command an item runs, by its step name
    bool Checkable = false;
};

std::span<const TMenuEntry> MainMenuEntries();
