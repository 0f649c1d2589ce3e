#include "core/base/file_lock.h"

#include "core/base/posix_io.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

TFileLock::TFileLock(const std::string& path)
{
    posix::UniqueFd fd(posix::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666));
    // flock sleeps in the kernel until the holder lets go.
    if (!fd || posix::retryEintr([&] { return ::flock(fd.get(), LOCK_EX); }) != 0) {
        reason_ = posix::errnoMessage(errno);
        return;
    }
    fd_ = std::move(fd);
}

TFileLock::~TFileLock() = default;  // closing the descriptor releases the lock
