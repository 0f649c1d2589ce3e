#pragma once
// Hands work from worker threads to the thread that created the hand-over (the user
// interface): a locked queue, an eventfd that counts what was posted, and a
// QSocketNotifier on that thread that watches the eventfd. The work runs in posting order
// and only while the owner thread processes events, never inside the poster's call.
//
// A piece of work that runs the event loop itself (a message box) is not overtaken: the
// queue is drained by one loop at a time, and what arrives meanwhile waits until that
// piece has returned. Work still queued when the hand-over is destroyed is dropped; its
// owner makes sure that no thread posts after that.

#include "core/base/posix_io.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QSocketNotifier;
class QThread;

class TThreadHandover {
public:
    // Created on the thread that is to run the work.
    TThreadHandover();
    ~TThreadHandover();
    TThreadHandover(const TThreadHandover&) = delete;
    TThreadHandover& operator=(const TThreadHandover&) = delete;

    // False when the eventfd could not be created: posted work would never run.
    bool Valid() const { return static_cast<bool>(event_); }

    // Any thread: queues the work.
    void Post(std::function<void()> work);
    // On the owner thread with nothing queued, the work runs at once (nothing posted came
    // before it); otherwise it is queued behind what did.
    void RunInOrder(std::function<void()> work);
    // Owner thread: runs the queued work (the notifier calls it).
    void Dispatch();

private:
    void Wake();

    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
    posix::UniqueFd event_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QThread* owner_;
    bool dispatching_ = false;  // owner thread only
};
