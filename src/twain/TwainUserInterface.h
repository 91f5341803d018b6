#pragma once
// What the TWAIN layer needs from the program's user interface: its warning boxes, and the
// list of sources it shows when the manager has no selection box of its own. The program
// passes its own boxes in; tests record what was shown and script the choice.
#include <optional>
#include <string>
#include <vector>

// A source as the program's own list shows it.
struct TTwainSourceEntry {
    std::string ProductName;
    std::string Manufacturer;
    std::string ProductFamily;
    std::string Version;  // "major.minor (info)": what tells two sources of one product apart
    bool operator==(const TTwainSourceEntry&) const = default;
};

class TTwainUserInterface {
public:
    virtual ~TTwainUserInterface() = default;
    // A modal box centred on the screen: `text`, `caption`, warning icon, OK button, no owner.
    virtual void Warning(const std::string& caption, const std::string& text) = 0;
    // The program's own list of sources, `chosen` selected first (-1: none); the index the
    // user picks, or nothing for Cancel. An empty list says that no source was found. The
    // default shows a modal Qt dialog over `parent` (a QWidget, or null).
    virtual std::optional<int> ChooseSource(const std::vector<TTwainSourceEntry>& sources, int chosen, void* parent);
};

// Where the layer's boxes go; null sends them to standard error and picks no source.
void TWAIN_SetUserInterface(TTwainUserInterface* ui);
