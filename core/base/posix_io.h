#pragma once
// The seam between the program and the system calls on file descriptors: the EINTR loop
// in one place, one owning descriptor type, and one errno-to-text mapper. Plain C++ (no
// Qt), so the serial port, the CD transport and the tools share it. Owners for the C
// library's streams, directory handles and loaded libraries sit here too.
//
// A call that a signal interrupts before it did anything fails with EINTR and is simply
// repeated; every other result goes back to the caller with errno as the call left it.
// close() is never repeated: on Linux the descriptor is gone even when close reports EINTR,
// and a second close could hit a descriptor another thread has just opened.

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace posix {

// Runs call() again while it fails with EINTR; returns its last result.
template <typename Call>
auto retryEintr(Call&& call) -> decltype(call())
{
    decltype(call()) result;
    do {
        result = call();
    } while (result == -1 && errno == EINTR);
    return result;
}

inline ssize_t read(int fd, void* buffer, std::size_t count)
{
    return retryEintr([&] { return ::read(fd, buffer, count); });
}

inline ssize_t write(int fd, const void* buffer, std::size_t count)
{
    return retryEintr([&] { return ::write(fd, buffer, count); });
}

// After a signal the wait starts again with the full time-out; callers use short ones or none.
inline int poll(pollfd* fds, nfds_t count, int timeoutMs)
{
    return retryEintr([&] { return ::poll(fds, count, timeoutMs); });
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

// A wait with a time-out to the nanosecond (null: no time-out), repeated like poll().
inline int ppoll(pollfd* fds, nfds_t count, const timespec* timeout)
{
    return retryEintr([&] { return ::ppoll(fds, count, timeout, nullptr); });
}

template <typename Arg>
inline int ioctl(int fd, unsigned long request, Arg arg)
{
    return retryEintr([&] { return ::ioctl(fd, request, arg); });
}

// Opening a terminal device may wait for the line (carrier) and so be interrupted.
inline int open(const char* path, int flags, mode_t mode = 0)
{
    return retryEintr([&] { return ::open(path, flags, mode); });
}

// Waits until the written bytes have left the line.
inline int tcdrain(int fd)
{
    return retryEintr([&] { return ::tcdrain(fd); });
}

inline int tcsetattr(int fd, int when, const termios* tio)
{
    return retryEintr([&] { return ::tcsetattr(fd, when, tio); });
}

// Closes a descriptor once (a negative one is ignored).
inline void close(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

// Owns one descriptor and closes it when it goes; movable, not copyable.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    explicit operator bool() const noexcept { return valid(); }
    // Gives the descriptor up without closing it.
    int release() noexcept
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes the descriptor held (if any) and takes `fd` instead.
    void reset(int fd = -1) noexcept
    {
        if (fd_ >= 0 && fd_ != fd)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

namespace detail {
// strerror_r comes in two flavours: the GNU one returns the text, the POSIX one fills the buffer.
inline const char* errorText(const char* gnuResult, const char*) { return gnuResult; }
inline const char* errorText(int posixResult, const char* buffer)
{
    return posixResult == 0 ? buffer : "Unknown error";
}
}  // namespace detail

// The system's text for an errno value ("No such file or directory"); safe in any thread.
inline std::string errnoMessage(int error)
{
    char buffer[256] = {};
    return detail::errorText(::strerror_r(error, buffer, sizeof buffer), buffer);
}

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
