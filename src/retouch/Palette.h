#pragma once
// The palette window: chooses the colour the Feather effect fades to.
#include <QDialog>
#include <functional>

#include "retouch/ColorControls.h"

class QPushButton;

class TPaletteForm : public QDialog {
public:
    explicit TPaletteForm(QWidget* owner);

    // OK: the chosen colour, after the window has closed.
    std::function<void(PackedColor)> OnOk;

    void OKButtonClick();
    void CancelButtonClick();

    TColorControls Colors;
    QPushButton *OKButton, *CancelButton;

protected:
    void reject() override { CancelButtonClick(); }
};
