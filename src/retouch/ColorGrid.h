#pragma once
// A 4 x 4 grid of the 16 basic colours; a left click chooses one.
#include <QWidget>
#include <functional>

#include "image/PackedColor.h"

class TColorGrid : public QWidget {
public:
    explicit TColorGrid(QWidget* parent = nullptr);

    // Black, maroon, green, olive, navy, purple, teal, silver, grey, red, lime, yellow, blue,
    // fuchsia, aqua, white: row by row.
    static PackedColor CellColor(int index);

    PackedColor ForegroundColor() const { return CellColor(chosen_); }
    // Chooses a cell as a click would, and signals the change.
    void Choose(int index);
    std::function<void()> OnChange;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRect CellRect(int index) const;
    int chosen_ = 0;
};
