#include "core/base/posix_io.h"

#include <atomic>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>

namespace {

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

// A pipe whose read end a timer signal interrupts every 10 ms; the handler writes one byte
// into the pipe at the fourth signal. The handler is installed without SA_RESTART, so a
// read that waits on the pipe fails with EINTR at each signal before that.
class InterruptedPipe {
public:
    InterruptedPipe()
    {
        signals = 0;
        ok_ = ::pipe2(fds_, O_CLOEXEC) == 0;
        writeEnd = fds_[1];
        struct sigaction action {};
        action.sa_handler = &InterruptedPipe::onSignal;
        sigemptyset(&action.sa_mask);
        ok_ = ok_ && ::sigaction(SIGUSR2, &action, &old_) == 0;
        // The signal goes to this thread, the one that waits.
        sigevent event {};
        event.sigev_notify = SIGEV_THREAD_ID;
        event.sigev_signo = SIGUSR2;
        event._sigev_un._tid = static_cast<pid_t>(::syscall(SYS_gettid));
        ok_ = ok_ && ::timer_create(CLOCK_MONOTONIC, &event, &timer_) == 0;
        const itimerspec every10ms {{0, 10'000'000}, {0, 10'000'000}};
        ok_ = ok_ && ::timer_settime(timer_, 0, &every10ms, nullptr) == 0;
    }
    ~InterruptedPipe()
    {
        ::timer_delete(timer_);
        ::sigaction(SIGUSR2, &old_, nullptr);
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    bool ok() const { return ok_; }
    int readEnd() const { return fds_[0]; }

    static inline std::atomic<int> signals {0};
    static inline int writeEnd = -1;

private:
    static void onSignal(int)
    {
        if (++signals == 4) {
            const char byte = 'x';
            [[maybe_unused]] const ssize_t n = ::write(writeEnd, &byte, 1);
        }
    }
    int fds_[2] = {-1, -1};
    struct sigaction old_ {};
    timer_t timer_ {};
    bool ok_ = false;
};

}  // namespace

TEST(PosixIo, RetryRepeatsOnlyInterruptedCalls)
{
    int calls = 0;
    const int result = posix::retryEintr([&] {
        ++calls;
        if (calls < 3) {
            errno = EINTR;
            return -1;
        }
        return 7;
    });
    EXPECT_EQ(result, 7);
    EXPECT_EQ(calls, 3);

    calls = 0;
    const ssize_t failed = posix::retryEintr([&]() -> ssize_t {
        ++calls;
        errno = EAGAIN;
        return -1;
    });
    const int error = errno;
    EXPECT_EQ(failed, -1);
    EXPECT_EQ(error, EAGAIN);
    EXPECT_EQ(calls, 1);
}

TEST(PosixIo, ReadWaitsThroughSignals)
{
    {
        // Without the loop the first signal ends the wait: the set-up really interrupts.
        InterruptedPipe pipe;
        ASSERT_TRUE(pipe.ok());
        char byte = 0;
        const ssize_t n = ::read(pipe.readEnd(), &byte, 1);
        const int error = errno;
        EXPECT_EQ(n, -1);
        EXPECT_EQ(error, EINTR);
    }
    InterruptedPipe pipe;
    ASSERT_TRUE(pipe.ok());
    char byte = 0;
    EXPECT_EQ(posix::read(pipe.readEnd(), &byte, 1), 1);
    EXPECT_EQ(byte, 'x');
    EXPECT_GE(InterruptedPipe::signals.load(), 4);
}

TEST(PosixIo, UniqueFdClosesWhatItOwns)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    {
        posix::UniqueFd a(fds[0]);
        posix::UniqueFd b(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_EQ(b.get(), fds[0]);
        posix::UniqueFd c;
        c = std::move(b);
        EXPECT_TRUE(isOpen(fds[0]));
    }
    EXPECT_FALSE(isOpen(fds[0]));

    posix::UniqueFd kept(fds[1]);
    EXPECT_EQ(kept.release(), fds[1]);
    EXPECT_FALSE(kept);
    kept.reset();
    EXPECT_TRUE(isOpen(fds[1]));  // released: not closed
    kept.reset(fds[1]);
    kept.reset(fds[1]);  // the same descriptor again is not closed
    EXPECT_TRUE(isOpen(fds[1]));
    kept.reset();
    EXPECT_FALSE(isOpen(fds[1]));
}

TEST(PosixIo, ErrnoMessages)
{
    EXPECT_EQ(posix::errnoMessage(ENOENT), "No such file or directory");
    EXPECT_EQ(posix::errnoMessage(EACCES), "Permission denied");
    EXPECT_NE(posix::errnoMessage(123456).find("123456"), std::string::npos);
}
