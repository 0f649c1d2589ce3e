#pragma once
// Ctrl-C (SIGINT) and SIGTERM for a command that runs the event loop while it waits (the
// register commands): the signal handler writes the signal's number into a pipe that a
// socket notifier watches, so the signal arrives as an event inside the command's waits,
// exactly where the progress window's Cancel would, and the command ends its exchange
// cleanly instead of dying with the port half set up. One object at a time; the handlers
// before it come back when it goes.

#include "core/base/posix_io.h"

#include <QSocketNotifier>
#include <csignal>
#include <functional>
#include <memory>

class TInterruptNotifier {
public:
    // `onInterrupt` runs on the owner's thread, inside its event processing, once per signal.
    explicit TInterruptNotifier(std::function<void()> onInterrupt);
    ~TInterruptNotifier();
    TInterruptNotifier(const TInterruptNotifier&) = delete;
    TInterruptNotifier& operator=(const TInterruptNotifier&) = delete;

    // The first signal that came (also one not yet handed on as an event); 0 when none.
    int Signal() const;
    // The conventional exit status of a command ended by that signal (128 + its number).
    int ExitStatus() const { return 128 + Signal(); }

private:
    void Drain();

    std::function<void()> onInterrupt_;
    posix::UniqueFd readEnd_, writeEnd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previousInt_ {}, previousTerm_ {};
};
