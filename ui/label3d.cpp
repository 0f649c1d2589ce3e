#include "ui/label3d.h"

#include <QPainter>

TLabel3D::TLabel3D(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void TLabel3D::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = contentsRect();
    const int flags = static_cast<int>(alignment()) | Qt::TextShowMnemonic;
    p.setPen(palette().color(QPalette::Light));
    p.drawText(r.translated(1, 1), flags, text());
    p.setPen(isEnabled() ? palette().color(QPalette::WindowText)
                         : palette().color(QPalette::Disabled, QPalette::WindowText));
    p.drawText(r, flags, text());
}
