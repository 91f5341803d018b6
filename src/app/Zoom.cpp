#include "app/Zoom.h"

#include <QPainter>

TZoomForm::TZoomForm(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      Shown(157, 117, QImage::Format_RGB32) {
    setWindowTitle(QStringLiteral("Zoom"));
    setFixedSize(157, 117);
    move(574, 110);
    Shown.fill(QColor(128, 128, 128));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TZoomForm::ShowArea(const QImage& area) {
    QPainter painter(&Shown);
    painter.drawImage(QRect(0, 0, 160, 120), area);
    painter.end();
    update();
}

void TZoomForm::paintEvent(QPaintEvent*) { QPainter(this).drawImage(0, 0, Shown); }

void TZoomForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (OnHidden) OnHidden();
}
