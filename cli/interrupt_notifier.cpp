#include "cli/interrupt_notifier.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<int> g_writeEnd{-1};
std::atomic<int> g_signal{0};

void onSignal(int number)
{
    const int saved = errno;
    int none = 0;
    g_signal.compare_exchange_strong(none, number);
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(number);
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);  // a full pipe holds enough already
    }
    errno = saved;
}

}  // namespace

TInterruptNotifier::TInterruptNotifier(std::function<void()> onInterrupt) : onInterrupt_(std::move(onInterrupt))
{
    g_signal = 0;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        readEnd_.reset(ends[0]);
        writeEnd_.reset(ends[1]);
        g_writeEnd = writeEnd_.get();
        notifier_ = std::make_unique<QSocketNotifier>(readEnd_.get(), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { Drain(); });
    }
    // Without the pipe the signal is still noted (Signal()), only not handed on at once.
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt_);
    sigaction(SIGTERM, &action, &previousTerm_);
}

TInterruptNotifier::~TInterruptNotifier()
{
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
    g_writeEnd = -1;
}

int TInterruptNotifier::Signal() const
{
    return g_signal.load();
}

void TInterruptNotifier::Drain()
{
    unsigned char bytes[64];
    ssize_t n = 0;
    while ((n = posix::read(readEnd_.get(), bytes, sizeof bytes)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            if (onInterrupt_)
                onInterrupt_();
}
