#pragma once
// How the secondary windows fit their contents and the screen: each keeps its designed size
// while its contents fit in it and grows where they do not, and each opens where the user
// can see it, never off screen or in a corner.
#include <QMargins>
#include <QRect>

class QScreen;
class QWidget;

// The designed client size, grown wherever the window's layout asks for more with the
// font in use.
QSize FittedSize(QSize designed, const QWidget& window);

// Whether the windows show through a Wayland compositor, which keeps panels and window
// positions from its clients and insists that a maximised window fills the output.
bool OnWayland();

// The part of a screen windows may use: its available geometry, without panels and docks.
// Where the platform gives the whole output as available although panels may cover part of it
// (Wayland keeps them from clients), a margin for them is kept free.
QRect UsableArea(QRect available, QRect whole, bool panelsUnknown);
QRect UsableArea(const QScreen& screen);

// The screen a window shows on: its owner's, else its own, else the primary one. Its
// usable area; empty without any screen.
QRect AvailableRoom(const QWidget& window);

// The window manager's frame around the window, once known; before its first showing, the
// frame of another visible top-level window stands in for it.
QMargins FrameMargins(const QWidget& window);

// How large the client area of `window` may grow and still leave its frame on the screen.
QSize ClientRoom(const QWidget& window);

// Moves the window so that its frame's top-left corner is at `topLeft`, shifted as little as
// needed to keep the whole frame on the screen (a frame larger than the screen keeps its
// top-left corner, and so its caption, on screen).
void MoveOnScreen(QWidget& window, QPoint topLeft);

// Moves the window so that its frame is centred on the available part of the screen.
void CentreOnScreen(QWidget& window);

// Where a window opens the first time it is shown; later showings keep the place the user
// left it at.
enum class Opening { ScreenCentre, OverOwner };
void PlaceOnFirstShow(QWidget& window, Opening where);
