#pragma once
// Icons that stay visible on any theme. A picture that the style or the icon theme gives
// is kept as it is where it stands out from the ground it is drawn on; where it does not
// (a dark picture on a dark theme) it gets a rim in the palette's button-text colour. A
// button's icon is made again whenever its palette or style changes.

#include <QIcon>

class QAbstractButton;
class QColor;
class QImage;
class QPalette;

// The largest contrast ratio (1 to 21, as the web's accessibility guidelines measure it)
// between a pixel of the picture that is more than half opaque and the ground colour;
// 1 for a picture without such pixels.
double PictureContrast(const QImage& picture, const QColor& ground);

// The source icon as it is when every size of it stands out from the palette's button
// and window colours, otherwise every size with a rim in the button-text colour.
QIcon ContrastingIcon(const QIcon& source, const QPalette& palette);

// Gives the button ContrastingIcon(source, its palette), now and after every palette or
// style change.
void SetPaletteIcon(QAbstractButton* button, const QIcon& source);
