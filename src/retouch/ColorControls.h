#pragma once
// The colour choice shared by the retouch and palette windows: three channel bars with their
// value labels, a swatch, and the colour grid. The windows lay the widgets out themselves.
#include <QFrame>

#include "retouch/ColorGrid.h"
#include "image/PackedColor.h"

class QLabel;
class QScrollBar;

class TColorControls {
public:
    explicit TColorControls(QWidget* parent);

    PackedColor CurrentColor() const;
    // Sets the three bars; each bar whose position changes updates the swatch and its label.
    void SetColor(PackedColor color);

    QScrollBar *RScrollBar, *GScrollBar, *BScrollBar;
    QLabel *RLabel, *GLabel, *BLabel;
    QFrame* ColorShape;
    PackedColor SwatchColor() const;
    TColorGrid* ColorGrid;

private:
    void ScrollBarChange(QScrollBar* bar, QLabel* label);
    void ColorGridChange();
    void SetSwatch(PackedColor color);
};
