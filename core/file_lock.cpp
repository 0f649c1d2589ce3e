#include "core/file_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

TFileLock::TFileLock(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) {
        reason_ = std::error_code(errno, std::generic_category()).message();
        return;
    }
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX);  // sleeps in the kernel until the holder lets go
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        reason_ = std::error_code(errno, std::generic_category()).message();
        ::close(fd);
        return;
    }
    fd_ = fd;
}

TFileLock::~TFileLock()
{
    if (fd_ >= 0)
        ::close(fd_);  // closing the descriptor releases the lock
}
