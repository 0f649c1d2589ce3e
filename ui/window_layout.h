#pragma once
// Window sizes under Linux fonts: a window's designed client size is a minimum that its
// layout grows past when its texts need more room, and the windows that open centred on
// the screen are centred each time they open.

class QLayout;
class QSize;
class QWidget;

// Gives the window the content layout inside a frame whose cell keeps the designed size
// as a minimum. A fixed window always takes the size its layout asks for (never less than
// designed); any other window can be made larger, not smaller.
void SetDesignedLayout(QWidget* window, QLayout* content, const QSize& designed, bool fixedSize);

// Lays the window out and moves it to the centre of its screen's available area.
void CentreOnScreen(QWidget* window);
