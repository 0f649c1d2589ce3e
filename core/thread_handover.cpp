#include "core/thread_handover.h"

#include <QSocketNotifier>
#include <QThread>
#include <cstdint>
#include <sys/eventfd.h>

TThreadHandover::TThreadHandover()
    : event_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), owner_(QThread::currentThread())
{
    if (!event_)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(event_.get(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { Dispatch(); });
}

TThreadHandover::~TThreadHandover()
{
    notifier_.reset();  // before the descriptor it watches is closed
}

void TThreadHandover::Wake()
{
    const uint64_t one = 1;
    posix::write(event_.get(), &one, sizeof one);
}

void TThreadHandover::Post(std::function<void()> work)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    Wake();
}

void TThreadHandover::RunInOrder(std::function<void()> work)
{
    if (QThread::currentThread() == owner_) {
        std::unique_lock lock(mutex_);
        if (queue_.empty()) {
            lock.unlock();
            work();
            return;
        }
    }
    Post(std::move(work));
}

void TThreadHandover::Dispatch()
{
    uint64_t count = 0;
    posix::read(event_.get(), &count, sizeof count);
    if (dispatching_)
        return;  // the loop further up the stack runs it once its current piece returns
    // Work that throws leaves the loop through the standard error box; what is still
    // queued then gets a fresh wake-up instead of waiting for the next post.
    struct Guard {
        TThreadHandover& h;
        ~Guard()
        {
            h.dispatching_ = false;
            std::lock_guard lock(h.mutex_);
            if (!h.queue_.empty())
                h.Wake();
        }
    } guard{*this};
    dispatching_ = true;
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty())
                break;
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}
