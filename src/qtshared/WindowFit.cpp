#include "qtshared/WindowFit.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
QMargins MarginsOf(const QWidget& window) {
    const QRect frame = window.frameGeometry(), client = window.geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

const QScreen* ScreenOf(const QWidget& window) {
    if (const QWidget* owner = window.parentWidget())
        if (const QScreen* screen = owner->window()->screen()) return screen;
    if (const QScreen* screen = window.screen()) return screen;
    return QGuiApplication::primaryScreen();
}

// Opens the window at its place the first time it is shown. The show event comes before the
// window is mapped, so it appears there at once.
class TFirstShowPlacement : public QObject {
public:
    TFirstShowPlacement(QWidget& window, Opening where) : QObject(&window), window_(window), where_(where) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Show) {
            window_.removeEventFilter(this);
            Place();
            deleteLater();
        }
        return false;
    }

private:
    void Place() {
        const QWidget* owner = window_.parentWidget() ? window_.parentWidget()->window() : nullptr;
        if (where_ == Opening::OverOwner && owner && owner->isVisible()) {
            QRect frame(QPoint(0, 0), window_.size().grownBy(FrameMargins(window_)));
            frame.moveCenter(owner->frameGeometry().center());
            MoveOnScreen(window_, frame.topLeft());
        } else {
            CentreOnScreen(window_);
        }
    }

    QWidget& window_;
    Opening where_;
};
}  // namespace

QSize FittedSize(QSize designed, const QWidget& window) {
    // Without a layout the hint is invalid and the designed size stands.
    QSize size = designed.expandedTo(window.sizeHint());
    // Wrapped text needs a height that depends on the width it gets.
    if (window.hasHeightForWidth()) size.setHeight(std::max(size.height(), window.heightForWidth(size.width())));
    return size;
}

QRect UsableArea(QRect available, QRect whole, bool panelsUnknown) {
    // Room for a top bar and a bottom panel as GNOME and KDE draw them, and a little at the sides.
    static constexpr QMargins Panels(16, 48, 16, 48);
    return panelsUnknown && available == whole ? available - Panels : available;
}

bool OnWayland() { return QGuiApplication::platformName().startsWith(QStringLiteral("wayland")); }

QRect UsableArea(const QScreen& screen) { return UsableArea(screen.availableGeometry(), screen.geometry(), OnWayland()); }

QRect AvailableRoom(const QWidget& window) {
    const QScreen* screen = ScreenOf(window);
    return screen ? UsableArea(*screen) : QRect();
}

QMargins FrameMargins(const QWidget& window) {
    if (window.isVisible())
        if (const QMargins own = MarginsOf(window); !own.isNull()) return own;
    // Not framed yet: the frame is the window manager's, most likely like the owner's.
    if (const QWidget* owner = window.parentWidget(); owner && owner->window()->isVisible())
        return MarginsOf(*owner->window());
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (other != &window && other->isVisible()) return MarginsOf(*other);
    return {};
}

QSize ClientRoom(const QWidget& window) {
    const QRect room = AvailableRoom(window);
    if (room.isEmpty()) return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    return room.size().shrunkBy(FrameMargins(window));
}

void MoveOnScreen(QWidget& window, QPoint topLeft) {
    const QRect room = AvailableRoom(window);
    if (room.isEmpty()) {
        window.move(topLeft);
        return;
    }
    const QSize frame = window.size().grownBy(FrameMargins(window));
    // Right and bottom first, then left and top, so that the top-left corner wins when the
    // frame is larger than the screen.
    int x = std::min(topLeft.x(), room.right() + 1 - frame.width());
    int y = std::min(topLeft.y(), room.bottom() + 1 - frame.height());
    x = std::max(x, room.left());
    y = std::max(y, room.top());
    window.move(x, y);
}

void CentreOnScreen(QWidget& window) {
    const QRect room = AvailableRoom(window);
    QRect frame(QPoint(0, 0), window.size().grownBy(FrameMargins(window)));
    frame.moveCenter(room.center());
    MoveOnScreen(window, frame.topLeft());
}

void PlaceOnFirstShow(QWidget& window, Opening where) {
    window.installEventFilter(new TFirstShowPlacement(window, where));
}
