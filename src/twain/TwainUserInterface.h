#pragma once
// What the TWAIN layer needs from the program's user interface: one kind of box. The program
// passes its own message boxes in; tests record what was shown.
#include <string>

class TTwainUserInterface {
public:
    virtual ~TTwainUserInterface() = default;
    // A modal box centred on the screen: `text`, `caption`, warning icon, OK button, no owner.
    virtual void Warning(const std::string& caption, const std::string& text) = 0;
};

// Where the layer's boxes go; null sends them to standard error.
void TWAIN_SetUserInterface(TTwainUserInterface* ui);
