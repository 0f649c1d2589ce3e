#include "ui/palette_icon.h"

#include <QAbstractButton>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Below this ratio a picture does not stand out (the guidelines' minimum for graphics).
constexpr double kVisibleContrast = 3.0;

double channel(int value)
{
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c)
{
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double ratio(double a, double b)
{
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// The picture over a rim: every pixel within `radius` of an opaque one, in `colour`.
QImage withRim(const QImage& picture, const QColor& colour, int radius)
{
    // Pixel for pixel: a picture of a 2x pixmap would otherwise be drawn at half its size.
    QImage source = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    source.setDevicePixelRatio(1.0);
    QImage out(source.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            int alpha = 0;
            for (int dy = -radius; dy <= radius; ++dy)
                for (int dx = -radius; dx <= radius; ++dx)
                    if (source.valid(x + dx, y + dy))
                        alpha = std::max(alpha, qAlpha(source.pixel(x + dx, y + dy)));
            QColor c = colour;
            c.setAlpha(alpha);
            out.setPixelColor(x, y, c);
        }
    }
    QPainter p(&out);
    p.drawImage(0, 0, source);
    p.end();
    out.setDevicePixelRatio(picture.devicePixelRatio());
    return out;
}

// Redoes its button's icon when the palette or the style changes.
class PaletteIconKeeper : public QObject {
public:
    PaletteIconKeeper(QAbstractButton* button, const QIcon& source) : QObject(button), source_(source)
    {
        button->installEventFilter(this);
        Apply(button);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange ||
            event->type() == QEvent::StyleChange)
            Apply(static_cast<QAbstractButton*>(watched));
        return QObject::eventFilter(watched, event);
    }

private:
    void Apply(QAbstractButton* button) const { button->setIcon(ContrastingIcon(source_, button->palette())); }

    QIcon source_;
};

}  // namespace

double PictureContrast(const QImage& picture, const QColor& ground)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const double g = luminance(ground);
    double best = 1.0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QRgb px = image.pixel(x, y); qAlpha(px) > 128)
                best = std::max(best, ratio(luminance(QColor(qRed(px), qGreen(px), qBlue(px))), g));
    return best;
}

QIcon ContrastingIcon(const QIcon& source, const QPalette& palette)
{
    const QColor grounds[] = {palette.color(QPalette::Button), palette.color(QPalette::Window)};
    const QColor rim = palette.color(QPalette::ButtonText);
    struct Size {
        QPixmap pixmap;
        qreal scale;
    };
    std::vector<Size> sizes;
    for (const qreal scale : {1.0, 2.0})
        for (const int side : {16, 22, 32})
            if (QPixmap pixmap = source.pixmap(QSize(side, side), scale); !pixmap.isNull())
                sizes.push_back({pixmap, scale});
    const bool visible = std::all_of(sizes.begin(), sizes.end(), [&](const Size& size) {
        const QImage picture = size.pixmap.toImage();
        return std::all_of(std::begin(grounds), std::end(grounds), [&](const QColor& ground) {
            return PictureContrast(picture, ground) >= kVisibleContrast;
        });
    });
    if (visible)
        return source;
    // A picture that needs a rim at one size gets it at every size, so that it looks the
    // same at every scale (a thin dark outline of a large picture is no outline at 1x).
    QIcon out;
    for (const Size& size : sizes)
        out.addPixmap(QPixmap::fromImage(
            withRim(size.pixmap.toImage(), rim, std::max(1, static_cast<int>(std::lround(size.scale))))));
    return out;
}

void SetPaletteIcon(QAbstractButton* button, const QIcon& source)
{
    new PaletteIconKeeper(button, source);
}
