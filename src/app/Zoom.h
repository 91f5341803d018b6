#pragma once
// The zoom window: shows what the main window's mouse handler hands it, doubled.
#include <QImage>
#include <QWidget>
#include <functional>

class TZoomForm : public QWidget {
public:
    explicit TZoomForm(QWidget* owner);

    // Draws the 80 x 60 area stretched over (0, 0)..(159, 119); the client area is 157 x 117,
    // so its last 3 columns and rows fall outside.
    void ShowArea(const QImage& area);
    QImage Shown;  // what the client area shows
    // Called whenever the window hides, by the menu or by a close box the desktop gave it.
    std::function<void()> OnHidden;

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};
