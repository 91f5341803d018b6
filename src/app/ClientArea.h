#pragma once
// The main window's client area: paints the view of the working picture (only the part on
// screen, only what changed), passes the mouse on, and scrolls the window's scroll area
// while a selection is dragged past its edge.
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "app/View.h"

class QScrollArea;
class TMainForm;

class TClientArea : public QWidget {
public:
    // `picture` is read whenever a part is painted; it must outlive the widget.
    TClientArea(TMainForm& form, const Bitmap& picture);

    // The picture has changed, and perhaps its size: everything is repainted.
    void ShowPicture(const TRect& selection);
    // Only the selection changed: the old and new frames and the text are repainted.
    void ShowSelection(const TRect& selection);
    // A white corner, 10 pixels right and 10 down from (x, y); it lasts until the next redraw.
    void DrawCornerMark(int x, int y);

    TViewContent Content() const { return {picture_, selection_, cornerMark_, VisibleOrigin(), Screen}; }
    // The top-left corner of the part the scroll area shows, in this widget's coordinates.
    QPoint VisibleOrigin() const;
    // The whole client area as it shows now.
    QImage Compose() const { return ComposeView(Content()); }

    // How the picture's numbers become screen colours; null shows them as stored.
    const QColorTransform* Screen = nullptr;
    // The scroll area that holds this widget, scrolled while a drag goes past its edge.
    QScrollArea* Scroller = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Scrolls so that the frame's edge a change moved towards (a sign of dx and dy; 0 keeps
    // that direction as it is) is in sight.
    void ShowFrameEdge(int dx, int dy);
    // Scrolls towards the pointer while the left button is held outside the visible part.
    void AutoScroll();

    TMainForm& form_;
    const Bitmap& picture_;
    TRect selection_;
    std::optional<QPoint> cornerMark_;
    QTimer autoScroll_;
    bool dragging_ = false;  // the left button is down since a press here
    QPoint pointer_;         // where it was last seen, in screen coordinates
};
