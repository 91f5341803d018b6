#pragma once
// The main window's client area: shows the composed view and passes the mouse on.
#include <QImage>
#include <QWidget>

class TMainForm;

class TClientArea : public QWidget {
public:
    explicit TClientArea(TMainForm& form);

    // The composed view; its size becomes the client size.
    void SetCanvas(QImage canvas);
    QImage Canvas;
    // A white corner, 10 pixels right and 10 down from (x, y); it lasts until the next redraw.
    void DrawCornerMark(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TMainForm& form_;
};
