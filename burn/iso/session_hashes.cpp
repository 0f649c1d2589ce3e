#include "burn/iso/session_hashes.h"

#include "core/base/checksum_list.h"
#include "core/base/sha256.h"
#include "core/base/posix_io.h"
#include "core/base/whole_file.h"

#include <cerrno>
#include <fcntl.h>

namespace {

// Writes text over the start of the file at path, which already holds as many bytes: the
// space was taken before the burn, so a disk that filled since cannot refuse it.
bool overwrite(const std::string& path, const std::string& text, std::string* reason)
{
    const wholefile::Steps& steps = wholefile::CurrentSteps();
    int fd = posix::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    bool ok = fd >= 0;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = posix::retryEintr([&] { return steps.write(fd, text.data() + done, text.size() - done); });
        ok = n > 0;
        if (n == 0)
            errno = ENOSPC;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && posix::retryEintr([&] { return steps.fsync(fd); }) == 0;
    *reason = ok ? std::string() : posix::errnoMessage(errno);
    if (fd >= 0 && steps.close(fd) != 0 && ok) {
        *reason = posix::errnoMessage(errno);
        ok = false;
    }
    return ok;
}

}  // namespace

TSessionHashes::TSessionHashes(std::vector<TSessionFile> files, const TFEntry* list, std::string listPath)
    : files_(std::move(files)), list_(list), listPath_(std::move(listPath))
{
    const std::string nothing = Sha256Hex({});
    for (std::size_t i = 0; i < files_.size(); ++i) {
        index_[files_[i].entry] = i;
        if (files_[i].size == 0)
            files_[i].hex = nothing;  // no data: the stream never reaches it
    }
}

int64_t TSessionHashes::ListSize(const std::vector<TSessionFile>& files)
{
    // Every checksum has 64 digits, so a line's length follows from its name.
    const std::string digits(64, '0');
    int64_t size = 0;
    for (const TSessionFile& f : files)
        size += static_cast<int64_t>(FormatChecksumLine(digits, f.discName).size());
    return size;
}

void TSessionHashes::Hashed(const TFEntry* entry, const std::string& hex)
{
    std::lock_guard lock(mutex_);
    if (const auto it = index_.find(entry); it != index_.end())
        files_[it->second].hex = hex;
}

bool TSessionHashes::MakeList(std::string* text, std::string* error)
{
    text->clear();
    {
        std::lock_guard lock(mutex_);
        for (const TSessionFile& f : files_) {
            if (f.hex.empty()) {
                // The list must come after every file it names.
                *error = "THE CHECKSUM LIST CAME BEFORE " + f.sourcePath + " WAS READ";
                return false;
            }
            *text += FormatChecksumLine(f.hex, f.discName);
        }
    }
    std::string reason;
    if (!overwrite(listPath_, *text, &reason)) {
        *error = "CANNOT WRITE THE CHECKSUM LIST " + listPath_ + " (" + reason + ")";
        return false;
    }
    return true;
}

std::vector<TSessionFile> TSessionHashes::Files() const
{
    std::lock_guard lock(mutex_);
    std::vector<TSessionFile> files = files_;
    for (TSessionFile& f : files)
        f.entry = nullptr;  // the tables' entries do not outlive the burn
    return files;
}
