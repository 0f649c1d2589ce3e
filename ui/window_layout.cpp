#include "ui/window_layout.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace {
// The frame last measured on a shown window; before that, room for a title bar.
QMargins& measuredFrame()
{
    static QMargins frame(4, 30, 4, 4);
    return frame;
}

// A window larger than its screen must be allowed to be smaller than its layout asks.
void allowSize(QWidget* window, const QSize& size)
{
    if (window->minimumWidth() > size.width() || window->minimumHeight() > size.height()) {
        if (QLayout* layout = window->layout())
            layout->setSizeConstraint(QLayout::SetNoConstraint);
        window->setMinimumSize(window->minimumSize().boundedTo(size));
        window->setMaximumSize(window->maximumSize().expandedTo(size));
    }
}
}  // namespace

void SetDesignedLayout(QWidget* window, QLayout* content, const QSize& designed, bool fixedSize)
{
    auto* frame = new QGridLayout(window);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->setSpacing(0);
    frame->addLayout(content, 0, 0);
    frame->setColumnMinimumWidth(0, designed.width());
    frame->setRowMinimumHeight(0, designed.height());
    frame->setSizeConstraint(fixedSize ? QLayout::SetFixedSize : QLayout::SetMinimumSize);
}

QRect PlaceInArea(const QSize& size, const QPoint& centre, const QRect& area, const QMargins& frame)
{
    const QRect inner = area.marginsRemoved(frame);
    QRect client(QPoint(0, 0), size.boundedTo(inner.size()).expandedTo(QSize(1, 1)));
    client.moveCenter(centre);
    client.moveLeft(std::clamp(client.left(), inner.left(), std::max(inner.left(), inner.right() - client.width() + 1)));
    client.moveTop(std::clamp(client.top(), inner.top(), std::max(inner.top(), inner.bottom() - client.height() + 1)));
    return client;
}

QMargins WindowFrameMargins(const QWidget* window)
{
    if (window->isVisible() && window->isWindow()) {
        const QRect outer = window->frameGeometry();
        const QRect inner = window->geometry();
        const QMargins measured(inner.left() - outer.left(), inner.top() - outer.top(),
                                outer.right() - inner.right(), outer.bottom() - inner.bottom());
        if (measured.top() > 0)
            measuredFrame() = measured;
    }
    return measuredFrame();
}

QRect AvailableArea(const QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void CentreOnScreen(QWidget* window, const QWidget* centreOn)
{
    if (QLayout* layout = window->layout())
        layout->activate();
    const QRect area = AvailableArea(window);
    if (area.isEmpty())
        return;
    const QPoint centre = centreOn ? centreOn->geometry().center() : area.center();
    const QRect placed = PlaceInArea(window->size(), centre, area, WindowFrameMargins(window));
    allowSize(window, placed.size());
    window->setGeometry(placed);
}

void KeepOnScreen(QWidget* window)
{
    const QRect area = AvailableArea(window);
    if (area.isEmpty() || !window->isVisible())
        return;
    const QMargins frame = WindowFrameMargins(window);
    if (area.contains(window->geometry().marginsAdded(frame)))
        return;
    const QRect placed = PlaceInArea(window->size(), window->geometry().center(), area, frame);
    allowSize(window, placed.size());
    window->setGeometry(placed);
}

namespace {
class ScreenKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            auto* w = qobject_cast<QWidget*>(watched);
            // After the window manager has framed and placed it.
            if (w && w->isWindow() && w->windowType() != Qt::Popup && w->windowType() != Qt::ToolTip)
                QTimer::singleShot(0, w, [w] { KeepOnScreen(w); });
        }
        return false;
    }
};
}  // namespace

void KeepWindowsOnScreen()
{
    static bool installed = false;
    if (installed || !QCoreApplication::instance())
        return;
    installed = true;
    QCoreApplication::instance()->installEventFilter(new ScreenKeeper(QCoreApplication::instance()));
}
