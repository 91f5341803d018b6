#pragma once
// The one seam through which the windows talk to the user: message boxes and file dialogs.
// The program uses QtUserInterface; tests script a fake that records what was shown.
#include <optional>
#include <string>

class TUserInterface {
public:
    virtual ~TUserInterface() = default;

    // Modal boxes, centred on the screen. Information: "Information" caption, OK button.
    virtual void Information(const std::string& text) = 0;
    // "Confirm" caption, Yes and No; true for Yes.
    virtual bool Confirm(const std::string& text) = 0;
    // The application's error box: error icon, OK, caption "Corvalux". `text` is already
    // finished by ErrorBoxText.
    virtual void Error(const std::string& text) = 0;
    // A warning box: `text` under `caption`, warning icon, OK (the scanner layer's
    // "TWAIN Error" boxes).
    virtual void Warning(const std::string& caption, const std::string& text) = 0;

    // The picture open and save dialogs; nothing when the user cancels.
    virtual std::optional<std::string> OpenPictureFile() = 0;
    virtual std::optional<std::string> SavePictureFile() = 0;
    // The filter file (.fil) open and save dialogs; nothing when the user cancels.
    virtual std::optional<std::string> OpenFilterFile() = 0;
    virtual std::optional<std::string> SaveFilterFile() = 0;
};

// The message of an error as the error box shows it: a full stop is appended when the last
// character's code is above that of the full stop.
std::string ErrorBoxText(const std::string& message);
