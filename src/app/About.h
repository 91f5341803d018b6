#pragma once
// The about box: the program's glyph, its name and version, and OK.
#include <QDialog>

class TAboutBox : public QDialog {
public:
    explicit TAboutBox(QWidget* owner);
};
