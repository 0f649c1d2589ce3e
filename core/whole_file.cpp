#include "core/whole_file.h"

#include "core/posix_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wholefile {
namespace {

ssize_t systemWrite(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
int systemFsync(int fd) { return ::fsync(fd); }
int systemClose(int fd) { return ::close(fd); }
int systemRename(const char* from, const char* to) { return ::rename(from, to); }

constexpr Steps kSystemSteps {systemWrite, systemFsync, systemClose, systemRename};
std::atomic<const Steps*> currentSteps {&kSystemSteps};
std::atomic<unsigned> tmpCounter {0};

std::string directoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A hidden name beside the target, unique to this process and write.
std::string temporaryName(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    return dir + "." + base + "." + std::to_string(::getpid()) + "-" +
           std::to_string(tmpCounter.fetch_add(1)) + ".tmp";
}

// Syncs the directory so that the rename itself survives a power cut. File systems that
// cannot sync a directory say EINVAL; that is no failure of the write.
int syncDirectory(const std::string& dir)
{
    const posix::UniqueFd fd(posix::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return errno;
    if (CurrentSteps().fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)
        return errno;
    return 0;
}

}  // namespace

const Steps& CurrentSteps()
{
    return *currentSteps.load();
}

ScopedSteps::ScopedSteps(const Steps& steps) : previous_(currentSteps.exchange(&steps)) {}

ScopedSteps::~ScopedSteps()
{
    currentSteps.store(previous_);
}

Writer::Writer(std::string path) : path_(std::move(path)) {}

Writer::~Writer()
{
    Discard();
}

bool Writer::Fail(int error)
{
    return Fail(posix::errnoMessage(error));
}

bool Writer::Fail(const std::string& reason)
{
    if (reason_.empty())
        reason_ = reason;
    Discard();
    return false;
}

void Writer::Discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!tmpPath_.empty())
        ::unlink(tmpPath_.c_str());
    tmpPath_.clear();
}

bool Writer::Open()
{
    struct stat st {};
    bool existed = ::lstat(path_.c_str(), &st) == 0;
    if (existed && S_ISLNK(st.st_mode)) {
        // Replace the file the link names and keep the link.
        char resolved[PATH_MAX];
        if (::realpath(path_.c_str(), resolved))
            path_ = resolved;
        existed = ::stat(path_.c_str(), &st) == 0;
    }
    if (existed && !S_ISREG(st.st_mode))
        return Fail(std::string("not a regular file"));
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        tmpPath_ = temporaryName(path_);
        fd = posix::open(tmpPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST) {
            const int error = errno;
            tmpPath_.clear();
            return Fail(error);
        }
    }
    if (fd < 0) {
        tmpPath_.clear();
        return Fail(EEXIST);
    }
    fd_ = fd;
    if (existed)
        ::fchmod(fd_, st.st_mode & 07777);  // best effort: the new file keeps the old one's mode
    return true;
}

bool Writer::Append(const void* data, std::size_t size)
{
    if (fd_ < 0)
        return Fail(reason_.empty() ? posix::errnoMessage(EBADF) : reason_);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = posix::retryEintr([&] { return CurrentSteps().write(fd_, p, size); });
        if (n < 0)
            return Fail(errno);
        if (n == 0)
            return Fail(ENOSPC);  // a regular file that takes nothing is full
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool Writer::Commit()
{
    if (fd_ < 0)
        return Fail(reason_.empty() ? posix::errnoMessage(EBADF) : reason_);
    const Steps& steps = CurrentSteps();
    if (steps.fsync(fd_) != 0)
        return Fail(errno);
    // close is never retried: after EINTR the descriptor is gone already.
    const int closed = steps.close(fd_);
    fd_ = -1;
    if (closed != 0)
        return Fail(errno);
    if (steps.rename(tmpPath_.c_str(), path_.c_str()) != 0)
        return Fail(errno);
    tmpPath_.clear();
    if (const int error = syncDirectory(directoryOf(path_)))
        return Fail(error);
    return true;
}

bool Write(const std::string& path, std::string_view content, std::string* reason)
{
    Writer writer(path);
    const bool ok = writer.Open() && writer.Append(content.data(), content.size()) && writer.Commit();
    if (!ok && reason)
        *reason = writer.Reason();
    return ok;
}

bool Read(const std::string& path, std::string* content, std::string* reason, std::size_t limit)
{
    auto fail = [reason](const std::string& text) {
        if (reason)
            *reason = text;
        return false;
    };
    const std::string tooLarge = limit >= (1u << 20) ? "larger than " + std::to_string(limit >> 20) + " MiB"
                                                    : "larger than " + std::to_string(limit) + " bytes";
    // Looked at before opening, so that opening a device has no side effect; looked at
    // again on the descriptor, which is the file that is read.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return fail(posix::errnoMessage(errno));
    if (!S_ISREG(st.st_mode))
        return fail("not a regular file");
    const posix::UniqueFd fd(posix::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd)
        return fail(posix::errnoMessage(errno));
    if (::fstat(fd.get(), &st) != 0)
        return fail(posix::errnoMessage(errno));
    if (!S_ISREG(st.st_mode))
        return fail("not a regular file");
    if (static_cast<unsigned long long>(st.st_size) > limit)
        return fail(tooLarge);
    std::string out;
    out.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == out.size()) {
            if (out.size() > limit)
                return fail(tooLarge);
            out.resize(std::min(out.size() * 2 + 4096, limit + 1));
        }
        const ssize_t n = posix::read(fd.get(), out.data() + used, out.size() - used);
        if (n < 0)
            return fail(posix::errnoMessage(errno));
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    if (used > limit)
        return fail(tooLarge);
    out.resize(used);
    *content = std::move(out);
    return true;
}

}  // namespace wholefile
