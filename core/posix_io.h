#pragma once
// Thin wrappers over the system calls the serial port and the burner use, with the EINTR
// loop in one place, owners for descriptors, streams, directory handles and loaded
// libraries, and the one text for an errno value. close() is never retried. Qt-free.

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <memory>
#include <poll.h>
#include <string>
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

// Waits up to timeoutMs for an event on fds; a signal does not lengthen the wait: it
// resumes with the time that is left. Returns poll's result (0: timed out).
inline int pollFor(pollfd* fds, nfds_t count, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        const int n = ::poll(fds, count, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

// The system's text for an errno value.
inline std::string errorText(int error)
{
    return std::strerror(error);
}

// Owns a file descriptor and closes it once.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { close(fd_); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// Owners for the C library's handles.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
struct LibraryCloser {
    void operator()(void* handle) const { ::dlclose(handle); }
};

using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;
using UniqueDir = std::unique_ptr<DIR, DirCloser>;
using UniqueLibrary = std::unique_ptr<void, LibraryCloser>;

}  // namespace posix
