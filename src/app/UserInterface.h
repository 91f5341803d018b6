#pragma once
// The one seam through which the windows talk to the user: message boxes and file dialogs.
// The program uses QtUserInterface; tests script a fake that records what was shown.
#include <optional>
#include <string>
#include <utility>

class QWidget;

class TUserInterface {
public:
    virtual ~TUserInterface() = default;

    // The window the boxes and dialogs speak for: they are its children and show above it, so
    // that a window kept on top cannot hide them. Null: the active window. Set through
    // TSpeakingFor.
    QWidget* Speaker = nullptr;

    // Modal boxes. Information: "Information" caption, OK button.
    virtual void Information(const std::string& text) = 0;
    // "Confirm" caption, Yes and No; true for Yes.
    virtual bool Confirm(const std::string& text) = 0;
    // The application's error box: error icon, OK, caption "Corvalux". `text` is already
    // finished by ErrorBoxText.
    virtual void Error(const std::string& text) = 0;
    // A warning box: `text` under `caption`, warning icon, OK (the scanner layer's
    // "TWAIN Error" boxes).
    virtual void Warning(const std::string& caption, const std::string& text) = 0;

    // The picture open and save dialogs, starting in the folder of `current`, the picture's
    // file ("" for none); nothing when the user cancels.
    virtual std::optional<std::string> OpenPictureFile(const std::string& current) = 0;
    virtual std::optional<std::string> SavePictureFile(const std::string& current) = 0;
    // The filter file (.fil) open and save dialogs; nothing when the user cancels.
    virtual std::optional<std::string> OpenFilterFile() = 0;
    virtual std::optional<std::string> SaveFilterFile() = 0;
};

// Makes `window` the one the boxes speak for until the end of the scope.
class TSpeakingFor {
public:
    TSpeakingFor(TUserInterface& ui, QWidget* window) : ui_(ui), previous_(std::exchange(ui.Speaker, window)) {}
    ~TSpeakingFor() { ui_.Speaker = previous_; }
    TSpeakingFor(const TSpeakingFor&) = delete;
    TSpeakingFor& operator=(const TSpeakingFor&) = delete;

private:
    TUserInterface& ui_;
    QWidget* previous_;
};

// The message of an error as the error box shows it: a full stop is appended when the last
// character's code is above that of the full stop.
std::string ErrorBoxText(const std::string& message);
