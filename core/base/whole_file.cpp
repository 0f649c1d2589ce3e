#include "core/base/whole_file.h"

#include "core/base/atomic_stream_file.h"
#include "core/base/posix_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
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

bool Write(const std::string& path, std::string_view content, std::string* reason)
{
    TAtomicStreamFile out;
    std::string error;
    if (out.Open(path, &error) && out.Write(content.data(), content.size()) && out.Commit(&error))
        return true;
    if (reason)
        *reason = out.Reason();
    return false;
}

posix::UniqueFd OpenRegular(const std::string& path, struct stat* st, std::string* reason)
{
    if (::stat(path.c_str(), st) != 0) {
        *reason = posix::errnoMessage(errno);
        return posix::UniqueFd();
    }
    if (!S_ISREG(st->st_mode)) {
        *reason = "not a regular file";
        return posix::UniqueFd();
    }
    posix::UniqueFd fd(posix::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        *reason = posix::errnoMessage(errno);
        return fd;
    }
    if (::fstat(fd.get(), st) != 0) {
        *reason = posix::errnoMessage(errno);
        return posix::UniqueFd();
    }
    if (!S_ISREG(st->st_mode)) {
        *reason = "not a regular file";
        return posix::UniqueFd();
    }
    return fd;
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
    struct stat st {};
    std::string why;
    const posix::UniqueFd fd = OpenRegular(path, &st, &why);
    if (!fd)
        return fail(why);
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
