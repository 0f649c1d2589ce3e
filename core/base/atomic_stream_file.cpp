#include "core/base/atomic_stream_file.h"

#include "core/base/posix_io.h"
#include "core/base/whole_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>

namespace {

constexpr int kTempNameAttempts = 100;

std::string directoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

// The file a write to `path` means: the path itself, or the target of its symbolic link.
bool resolveTarget(const std::string& path, std::string* target, std::string* problem)
{
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) {
        if (errno == ENOENT) {
            *target = path;
            return true;
        }
        *problem = path + ": " + posix::errnoMessage(errno);
        return false;
    }
    if (!S_ISLNK(link.st_mode)) {
        *target = path;
        return true;
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) {
        *problem = path + " is a symbolic link to nothing that can be written (" + posix::errnoMessage(errno) + ")";
        return false;
    }
    *target = resolved;
    std::free(resolved);
    return true;
}

}  // namespace

std::string ReplaceableFileProblem(const std::string& path)
{
    std::string target, problem;
    if (!resolveTarget(path, &target, &problem))
        return problem;
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0)
        return errno == ENOENT ? std::string() : path + ": " + posix::errnoMessage(errno);
    if (S_ISREG(st.st_mode))
        return {};
    return path + (target == path ? std::string() : " (" + target + ")") + " is " + kindOf(st.st_mode) +
           ", not a regular file: it is not replaced";
}

TAtomicStreamFile::~TAtomicStreamFile()
{
    Discard();
}

void TAtomicStreamFile::Discard()
{
    fd_.reset();
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
}

bool TAtomicStreamFile::Fail(const std::string& what, int error)
{
    if (error_.empty()) {
        reason_ = posix::errnoMessage(error);
        error_ = what + " " + path_ + ": " + reason_;
    }
    return false;
}

bool TAtomicStreamFile::Open(const std::string& path, std::string* error)
{
    Discard();
    path_ = path;
    error_.clear();
    reason_.clear();
    hasMode_ = false;
    const std::string problem = ReplaceableFileProblem(path);
    if (!problem.empty()) {
        *error = reason_ = error_ = problem;
        return false;
    }
    std::string unused;
    resolveTarget(path, &target_, &unused);
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0) {
        hasMode_ = true;  // the new file keeps the permissions of the one it replaces
        mode_ = st.st_mode & 07777;
    }
    // A hidden name beside the target; created with 0666 so the umask applies as usual.
    std::random_device seed;
    std::mt19937 rng(seed());
    const std::string stem = directoryOf(target_) + "/." + baseNameOf(target_).substr(0, NAME_MAX - 16) + ".";
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x.tmp", static_cast<unsigned>(rng()));
        const std::string candidate = stem + suffix;
        fd_.reset(posix::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (fd_) {
            temp_ = candidate;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    reason_ = posix::errnoMessage(errno);
    *error = error_ = "cannot create " + path + ": " + reason_;
    return false;
}

bool TAtomicStreamFile::Write(const void* data, std::size_t size)
{
    if (!fd_)
        return Fail("cannot write", EBADF);
    if (!error_.empty())
        return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = posix::retryEintr([&] { return wholefile::CurrentSteps().write(fd_.get(), p, size); });
        if (n < 0)
            return Fail("cannot write", errno);
        if (n == 0)
            return Fail("cannot write", ENOSPC);
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool TAtomicStreamFile::Commit(std::string* error)
{
    const wholefile::Steps& steps = wholefile::CurrentSteps();
    bool ok = fd_ && error_.empty();
    if (!fd_)
        Fail("cannot write", EBADF);
    if (ok && hasMode_ && ::fchmod(fd_.get(), mode_) != 0)
        ok = Fail("cannot write", errno);
    if (ok && posix::retryEintr([&] { return steps.fsync(fd_.get()); }) != 0)
        ok = Fail("cannot write", errno);
    if (fd_) {
        // close is never retried; its failure (a late write error) fails the commit.
        if (steps.close(fd_.release()) != 0 && ok)
            ok = Fail("cannot write", errno);
    }
    // The target may have changed since Open: never rename over anything but a file.
    const std::string problem = ok ? ReplaceableFileProblem(target_) : std::string();
    if (!problem.empty()) {
        reason_ = error_ = problem;
        ok = false;
    }
    if (ok && steps.rename(temp_.c_str(), target_.c_str()) != 0)
        ok = Fail("cannot write", errno);
    if (!ok) {
        Discard();
        *error = error_;
        return false;
    }
    temp_.clear();
    // The rename is durable once the directory is on disk too.
    const posix::UniqueFd dir(posix::open(directoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) {
        const bool synced = posix::retryEintr([&] { return steps.fsync(dir.get()); }) == 0 || errno == EINVAL;
        const int syncError = errno;
        if (!synced) {
            reason_ = posix::errnoMessage(syncError);
            *error = "cannot flush the folder of " + path_ + " (the new file is in place): " + reason_;
            return false;
        }
    }
    return true;
}
