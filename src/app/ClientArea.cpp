#include "ClientArea.h"

#include <QMouseEvent>
#include <QPainter>

#include "Main.h"
#include "View.h"

TClientArea::TClientArea(TMainForm& form) : QWidget(&form), form_(form) {
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);  // the zoom follows the pointer without a button held
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TClientArea::SetCanvas(QImage canvas) {
    Canvas = std::move(canvas);
    setFixedSize(Canvas.isNull() ? QSize(MinimumClientWidth, 0) : Canvas.size());
    update();
}

void TClientArea::DrawCornerMark(int x, int y) {
    if (Canvas.isNull()) return;
    QPainter painter(&Canvas);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawLine(x, y, x + 9, y);
    painter.drawLine(x, y, x, y + 9);
    painter.end();
    update();
}

void TClientArea::paintEvent(QPaintEvent*) {
    if (Canvas.isNull()) return;
    QPainter(this).drawImage(0, 0, Canvas);
}

void TClientArea::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    form_.FormMouseDown(event->button(), p.x(), p.y());
}

void TClientArea::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    form_.FormMouseMove(p.x(), p.y());
}

void TClientArea::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    form_.FormMouseUp(event->button(), p.x(), p.y());
}
