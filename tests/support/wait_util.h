#pragma once
// Runs the event loop until a condition holds or a time limit passes; sleeps between
// events instead of polling.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer tick;  // wakes the loop to look at the condition and the deadline
    tick.start(20);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
