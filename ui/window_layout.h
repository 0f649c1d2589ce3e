#pragma once
// Window sizes under Linux fonts and on small screens: a window's designed client size is
// a minimum that its layout grows past when its texts need more room, and every window
// opens inside its screen's available area, whatever its minimum size and scale.

#include <QMargins>
#include <QRect>

class QLayout;
class QSize;
class QWidget;

// Gives the window the content layout inside a frame whose cell keeps the designed size
// as a minimum. A fixed window always takes the size its layout asks for (never less than
// designed); any other window can be made larger, not smaller.
void SetDesignedLayout(QWidget* window, QLayout* content, const QSize& designed, bool fixedSize);

// Where a client area of the given size goes so that the window with its frame lies
// inside area: centred on centre, moved inside, and no larger than the area allows
// (the returned rectangle may be smaller than size).
QRect PlaceInArea(const QSize& size, const QPoint& centre, const QRect& area, const QMargins& frame);

// The window manager's frame round a client area: measured from a window that has been
// shown, an estimate before the first one.
QMargins WindowFrameMargins(const QWidget* window);

// The available area of the screen the window is on (or will open on).
QRect AvailableArea(const QWidget* window);

// Lays the window out and places it in the middle of its screen's available area, or of
// centreOn when given, inside that area and no larger than it.
void CentreOnScreen(QWidget* window, const QWidget* centreOn = nullptr);

// Keeps a shown window inside its screen: moves it back (and shrinks it) when its frame
// reaches past the available area.
void KeepOnScreen(QWidget* window);

// From now on every top-level window of the application is kept inside its screen each
// time it is shown (message boxes and file dialogs included).
void KeepWindowsOnScreen();
