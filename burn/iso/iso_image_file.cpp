#include "burn/iso/iso_image_file.h"

#include "burn/iso/iso_image.h"
#include "burn/iso/iso_tables.h"
#include "core/base/atomic_stream_file.h"
#include "core/base/posix_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace {

// Opens a source file for reading; only a regular file (a device or a FIFO would block or
// never end). Invalid with a message when it cannot be read.
posix::UniqueFd openSource(const std::string& source, std::string* error)
{
    posix::UniqueFd fd(posix::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        *error = "cannot read " + source + ": " + posix::errnoMessage(errno);
        return fd;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = "cannot read " + source + ": not a regular file";
        fd.reset();
    }
    return fd;
}

}  // namespace

bool WriteImageFile(TIsoImage& image, TIsoTables& tables, const std::string& path, std::string* error)
{
    TAtomicStreamFile out;
    if (!out.Open(path, error))
        return false;
    const std::vector<uint8_t>& header = image.HeaderStream();
    bool ok = out.Write(header.data(), header.size());
    int64_t written = static_cast<int64_t>(header.size());
    std::vector<uint8_t> buffer(1 << 20);
    for (const TFEntry& f : tables.Files()) {
        if (!ok)
            break;
        if (f.directory || f.imported || f.size == 0)
            continue;
        const std::string source = f.SourcePath();
        const posix::UniqueFd in = openSource(source, error);
        if (!in)
            return false;
        int64_t left = f.size;
        while (left > 0 && ok) {
            const std::size_t want = static_cast<std::size_t>(std::min<int64_t>(left, int64_t(buffer.size())));
            ssize_t got = posix::read(in.get(), buffer.data(), want);
            if (got < 0) {
                *error = "cannot read " + source + ": " + posix::errnoMessage(errno);
                return false;
            }
            if (got == 0) {
                // The file shrank since it was inserted: the image would hold bytes it never had.
                *error = source + " has changed since it was added";
                return false;
            }
            ok = out.Write(buffer.data(), static_cast<std::size_t>(got));
            left -= got;
        }
        const int64_t pad = (2048 - f.size % 2048) % 2048;
        std::fill(buffer.begin(), buffer.begin() + pad, 0);
        ok = ok && out.Write(buffer.data(), static_cast<std::size_t>(pad));
        written += f.size + pad;
    }
    const int64_t total = image.ImageSectors() * 2048;
    std::fill(buffer.begin(), buffer.end(), 0);
    while (ok && written < total) {
        const std::size_t n = static_cast<std::size_t>(std::min<int64_t>(total - written, int64_t(buffer.size())));
        ok = out.Write(buffer.data(), n);
        written += static_cast<int64_t>(n);
    }
    return out.Commit(error);
}
