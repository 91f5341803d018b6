#pragma once
// Which menu items are enabled, computed in one place from the window's state.

// The groups of items that are enabled together.
enum class MenuGroup {
    Always,   // Open, Exit, Paste, Help
    Sources,  // the Sources menu: closed while a scanner acquisition runs
    Picture,  // Save as, QuickSave, Print, Copy, Select all, the Filters and Deform menus
    Save,     // Save
    Undo,     // Undo
};

// What the enabling depends on. The flags follow events, not the picture itself: a pasted
// picture has no Save, a retouch hand-off enables Save without a name, and so on.
struct TMenuState {
    bool PictureMenus = false;  // on from the first picture loaded, pasted or acquired; never off again
    bool SaveEnabled = false;
    bool UndoEnabled = false;
    // A scanner acquisition is running: the scanner layer must not be entered again.
    bool Acquiring = false;

    bool Enabled(MenuGroup group) const {
        switch (group) {
            case MenuGroup::Always: return true;
            case MenuGroup::Sources: return !Acquiring;
            case MenuGroup::Picture: return PictureMenus;
            case MenuGroup::Save: return SaveEnabled;
            case MenuGroup::Undo: return UndoEnabled;
        }
        return false;
    }

    // A file was opened: everything but Undo on.
    void FileOpened() { PictureMenus = SaveEnabled = true; }
    // A picture without a name arrived (paste, scanner): the picture menus on, Save off.
    void UnnamedPictureArrived() {
        PictureMenus = true;
        SaveEnabled = false;
    }
};
