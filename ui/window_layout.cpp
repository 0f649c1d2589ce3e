#include "ui/window_layout.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

void CentreOnScreen(QWidget* window)
{
    if (QLayout* layout = window->layout())
        layout->activate();
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The client area is centred: the frame is not known before the first showing, and
    // placing the frame would move the window by the frame's size between openings.
    QRect client(QPoint(0, 0), window->size());
    client.moveCenter(screen->availableGeometry().center());
    window->setGeometry(client);
}
