#include "retouch/ColorGrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr PackedColor Cells[16] = {
    PackColor(0, 0, 0),       PackColor(128, 0, 0),   PackColor(0, 128, 0),   PackColor(128, 128, 0),
    PackColor(0, 0, 128),     PackColor(128, 0, 128), PackColor(0, 128, 128), PackColor(192, 192, 192),
    PackColor(128, 128, 128), PackColor(255, 0, 0),   PackColor(0, 255, 0),   PackColor(255, 255, 0),
    PackColor(0, 0, 255),     PackColor(255, 0, 255), PackColor(0, 255, 255), PackColor(255, 255, 255),
};
}  // namespace

TColorGrid::TColorGrid(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(64, 64);
}

PackedColor TColorGrid::CellColor(int index) { return Cells[index & 15]; }

void TColorGrid::Choose(int index) {
    chosen_ = index & 15;
    update();
    if (OnChange) OnChange();
}

QRect TColorGrid::CellRect(int index) const {
    const int w = width() / 4, h = height() / 4;
    return {(index % 4) * w, (index / 4) * h, w, h};
}

void TColorGrid::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int i = 0; i < 16; ++i) {
        const PackedColor c = Cells[i];
        const QRect cell = CellRect(i).adjusted(1, 1, -1, -1);
        painter.fillRect(cell, QColor(RedOf(c), GreenOf(c), BlueOf(c)));
        painter.setPen(i == chosen_ ? QPen(palette().highlight().color(), 2) : QPen(Qt::darkGray));
        painter.drawRect(cell.adjusted(0, 0, -1, -1));
    }
}

void TColorGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    for (int i = 0; i < 16; ++i)
        if (CellRect(i).contains(event->position().toPoint())) Choose(i);
}

void TColorGrid::keyPressEvent(QKeyEvent* event) {
    // Arrow keys move the choice around the grid.
    const int moves[][2] = {{Qt::Key_Left, -1}, {Qt::Key_Right, 1}, {Qt::Key_Up, -4}, {Qt::Key_Down, 4}};
    for (const auto& move : moves)
        if (event->key() == move[0]) return Choose((chosen_ + move[1] + 16) % 16);
    QWidget::keyPressEvent(event);
}
