#pragma once
// Plays the operator at a message box in a window test: answers the next box that comes
// up with the given button and keeps its text.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

// Looks for the box every 20 ms (it may come up later, inside a handler's own loop) and
// answers only the first one.
struct MessageBoxAnswer {
    QTimer timer;
    QString text;
    int answered = 0;

    explicit MessageBoxAnswer(QMessageBox::StandardButton button)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, button] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                ++answered;
                timer.stop();
                box->button(button)->click();
            }
        });
        timer.start(20);
    }
};

