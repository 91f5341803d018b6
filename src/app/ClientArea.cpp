#include "app/ClientArea.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include "app/Main.h"
#include "qtshared/QtPicture.h"

TClientArea::TClientArea(TMainForm& form, const Bitmap& picture) : form_(form), picture_(picture) {
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);  // the zoom follows the pointer without a button held
    setFocusPolicy(Qt::StrongFocus);  // for the arrow keys
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(MinimumClientWidth, 0);
    // While the button is held outside the visible part, the view keeps scrolling even when
    // the mouse stands still.
    autoScroll_.setInterval(30);
    connect(&autoScroll_, &QTimer::timeout, this, [this] { AutoScroll(); });
}

void TClientArea::ShowPicture(const TRect& selection) {
    selection_ = selection;
    cornerMark_.reset();
    setFixedSize(ClientSizeFor(picture_));
    update();
}

void TClientArea::ShowSelection(const TRect& selection) {
    QRegion changed = SelectionChange(selection_, selection, VisibleOrigin());
    if (cornerMark_) changed += QRect(*cornerMark_, QSize(10, 10));
    selection_ = selection;
    cornerMark_.reset();
    update(changed);
}

void TClientArea::DrawCornerMark(int x, int y) {
    if (picture_.Empty()) return;
    cornerMark_ = QPoint(x, y);
    update(QRect(x, y, 10, 10));
}

QPoint TClientArea::VisibleOrigin() const { return Scroller ? -pos() : QPoint(0, 0); }

// Scrolling moves this widget inside the scroll area, and the pixels already painted with it:
// the size text painted at the old visible corner and the one due at the new corner repaint.
void TClientArea::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    update(TextBoxAt(-event->oldPos()));
    update(TextBoxAt(-event->pos()));
}

void TClientArea::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    for (const QRect& part : event->region()) PaintView(painter, Content(), part);
}

void TClientArea::mousePressEvent(QMouseEvent* event) {
    const QPoint p = PixelUnder(event->position());
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        pointer_ = event->globalPosition().toPoint();
    }
    form_.FormMouseDown(event->button(), p.x(), p.y());
}

void TClientArea::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = PixelUnder(event->position());
    if (dragging_) {
        pointer_ = event->globalPosition().toPoint();
        AutoScroll();
        if (!autoScroll_.isActive()) autoScroll_.start();
    }
    form_.FormMouseMove(p.x(), p.y());
}

void TClientArea::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
    autoScroll_.stop();
    const QPoint p = PixelUnder(event->position());
    form_.FormMouseUp(event->button(), p.x(), p.y());
    // A drag that ended past the visible part leaves the frame's far edges out of sight.
    if (event->button() == Qt::LeftButton) ShowFrameEdge(1, 1);
}

void TClientArea::keyPressEvent(QKeyEvent* event) {
    // The arrow keys make the selection without a mouse: they move it, or with Shift move its
    // right and bottom edges; a pixel a press, ten with Ctrl.
    const int step = event->modifiers() & Qt::ControlModifier ? 10 : 1;
    int dx = 0, dy = 0;
    switch (event->key()) {
        case Qt::Key_Left: dx = -step; break;
        case Qt::Key_Right: dx = step; break;
        case Qt::Key_Up: dy = -step; break;
        case Qt::Key_Down: dy = step; break;
        default: QWidget::keyPressEvent(event); return;
    }
    if (picture_.Empty()) return;
    const bool resize = event->modifiers() & Qt::ShiftModifier;
    form_.SelectionKey(dx, dy, resize);
    ShowFrameEdge(resize ? std::abs(dx) : dx, resize ? std::abs(dy) : dy);
}

void TClientArea::ShowFrameEdge(int dx, int dy) {
    if (!Scroller || picture_.Empty()) return;
    const QRect reach = FrameReach(selection_) & rect();
    const QRect visible(VisibleOrigin(), Scroller->viewport()->size());
    const int x = dx < 0 ? reach.left() : dx > 0 ? reach.right() : visible.center().x();
    const int y = dy < 0 ? reach.top() : dy > 0 ? reach.bottom() : visible.center().y();
    // Qt leaves the point itself just outside without a margin; a few pixels of the picture
    // beyond the frame show where it ends.
    constexpr int Margin = 8;
    Scroller->ensureVisible(x, y, dx ? Margin : 0, dy ? Margin : 0);
}

void TClientArea::AutoScroll() {
    if (!Scroller || !dragging_) {
        autoScroll_.stop();
        return;
    }
    // The pointer in the visible part's coordinates: beyond an edge, scroll by the distance,
    // capped so that the view stays followable.
    const QPoint inViewport = Scroller->viewport()->mapFromGlobal(pointer_);
    const QRect visible = Scroller->viewport()->rect();
    auto step = [](int position, int low, int high) {
        constexpr int Fastest = 60;
        if (position < low) return std::max(position - low, -Fastest);
        if (position > high) return std::min(position - high, Fastest);
        return 0;
    };
    const int dx = step(inViewport.x(), visible.left(), visible.right());
    const int dy = step(inViewport.y(), visible.top(), visible.bottom());
    if (dx == 0 && dy == 0) return;
    Scroller->horizontalScrollBar()->setValue(Scroller->horizontalScrollBar()->value() + dx);
    Scroller->verticalScrollBar()->setValue(Scroller->verticalScrollBar()->value() + dy);
}
