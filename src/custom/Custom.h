#pragma once
// The custom filter window: one formula per colour channel, filter files to keep them in,
// and OK to apply them to the selection of the main window's picture.
#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "custom/FilterFormulas.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TCustomFilterForm : public QDialog {
public:
    // Give it no owner: the main window is disabled while this window is open, and Qt
    // disables a window's child windows with it.
    explicit TCustomFilterForm(QWidget* owner = nullptr);

    // Applies the formulas (spaces removed): undo snapshot, the filter, redraw. False when
    // it failed and showed its error; the window then stays open.
    std::function<bool(const std::string& red, const std::string& green, const std::string& blue)> OnApply;
    // Enables or disables the main window.
    std::function<void(bool enabled)> SetMainEnabled;
    // An information box; a Yes/No confirmation (true for Yes); the application's error box
    // for a failed file operation, given the error's message.
    std::function<void(const std::string& text)> Inform;
    std::function<bool(const std::string& text)> Confirm;
    std::function<void(const std::string& message)> ShowError;
    // The filter file dialogs; nothing when the user cancels.
    std::function<std::optional<std::string>()> OpenFilterDialog;
    std::function<std::optional<std::string>()> SaveFilterDialog;

    // The menu command: disables the main window and shows this one, centred on the screen.
    void Open();

    // The three formulas as typed.
    TFilterFormulas Formulas() const;

    void REditChange();
    void GEditChange();
    void BEditChange();
    void LoadButtonClick();
    void SaveButtonClick();
    void ClearButtonClick();
    void HelpButtonClick();
    void OKButtonClick();
    void CancelButtonClick();

    QGroupBox* GroupBox1;
    QLabel *Label1, *Label2, *Label3, *Label4;
    QLineEdit *REdit, *GEdit, *BEdit;
    QPushButton *LoadButton, *SaveButton, *ClearButton, *HelpButton, *OKButton, *CancelButton;

protected:
    // OK and Cancel are the only ways to close: the main window must be enabled again.
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void UpdateButtons();
    void CloseWindow();
    void SetFormulas(const TFilterFormulas& formulas);
    void SetFileCaption(const std::string& path);
};

// The text of the Help button's box.
extern const char* const CustomFilterHelpText;
