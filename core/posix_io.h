#pragma once
// Thin wrappers over the system calls the serial code uses, with the EINTR loop in one
// place. close() is never retried.

#include <cerrno>
#include <cstddef>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace posix {

inline ssize_t read(int fd, void* buffer, std::size_t count)
{
    ssize_t n;
    do {
        n = ::read(fd, buffer, count);
    } while (n < 0 && errno == EINTR);
    return n;
}

inline ssize_t write(int fd, const void* buffer, std::size_t count)
{
    ssize_t n;
    do {
        n = ::write(fd, buffer, count);
    } while (n < 0 && errno == EINTR);
    return n;
}

inline int poll(pollfd* fds, nfds_t count, int timeoutMs)
{
    // A signal restarts the wait with the full time-out; callers only use short ones or none.
    int n;
    do {
        n = ::poll(fds, count, timeoutMs);
    } while (n < 0 && errno == EINTR);
    return n;
}

// A wait with a time-out to the nanosecond (null: no time-out). After a signal the wait
// is repeated with the same time-out; callers use short ones.
inline int ppoll(pollfd* fds, nfds_t count, const timespec* timeout)
{
    int n;
    do {
        n = ::ppoll(fds, count, timeout, nullptr);
    } while (n < 0 && errno == EINTR);
    return n;
}

template <typename Arg>
inline int ioctl(int fd, unsigned long request, Arg arg)
{
    int n;
    do {
        n = ::ioctl(fd, request, arg);
    } while (n < 0 && errno == EINTR);
    return n;
}

inline void close(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

}  // namespace posix
