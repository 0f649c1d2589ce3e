#include "burn/iso/session_stream.h"

#include "burn/iso/iso_tables.h"
#include "burn/iso/session_hashes.h"
#include "burn/sector_size.h"
#include "core/base/sha256.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

TSessionStream::TSessionStream(std::vector<uint8_t> header, std::vector<File> files, int64_t totalBytes,
                               std::shared_ptr<TSessionHashes> hashes)
    : header_(std::move(header)), files_(std::move(files)), totalBytes_(totalBytes), hashes_(std::move(hashes))
{
    if (hashes_)
        hash_ = std::make_unique<TSha256>();
}

TSessionStream::TSessionStream(TSessionStream&&) noexcept = default;
TSessionStream::~TSessionStream() = default;

std::vector<TSessionStream::File> TSessionStream::NewFiles(const TIsoTables& tables)
{
    std::vector<File> files;
    for (const TFEntry& f : tables.Files())
        if (!f.directory && !f.imported && f.size > 0)
            files.push_back({f.SourcePath(), f.size, &f});
    return files;
}

std::ptrdiff_t TSessionStream::Fail(Fault fault, int error)
{
    fault_ = fault;
    faultErrno_ = error;
    fd_.reset();
    return -1;
}

std::ptrdiff_t TSessionStream::Read(std::span<uint8_t> out)
{
    if (fault_ != Fault::None)
        return -1;
    if (out.empty())
        return 0;
    // A part that has nothing (more) to give hands over to the next one within this call.
    while (part_ != Part::End) {
        std::ptrdiff_t n = 0;
        switch (part_) {
        case Part::Header: n = static_cast<std::ptrdiff_t>(ReadHeader(out)); break;
        case Part::Files: n = ReadFiles(out); break;
        case Part::Padding: n = static_cast<std::ptrdiff_t>(ReadPadding(out)); break;
        case Part::End: break;
        }
        if (n < 0)
            return -1;
        produced_ += n;
        if (static_cast<std::size_t>(n) < out.size()) {
            part_ = static_cast<Part>(static_cast<int>(part_) + 1);
            if (part_ != Part::Files)
                currentFile_.clear();
        }
        if (n > 0)
            return n;
    }
    return 0;
}

std::size_t TSessionStream::ReadHeader(std::span<uint8_t> out)
{
    const std::size_t n = std::min(out.size(), header_.size() - headerAt_);
    std::copy_n(header_.begin() + static_cast<std::ptrdiff_t>(headerAt_), n, out.begin());
    headerAt_ += n;
    if (headerAt_ == header_.size()) {
        header_ = std::vector<uint8_t>();  // not needed again
        headerAt_ = 0;
    }
    return n;
}

void TSessionStream::FileDone()
{
    if (hashes_ && made_.empty())
        hashes_->Hashed(files_[next_ - 1].entry, hash_->FinishHex());
    made_.clear();
}

bool TSessionStream::OpenNext()
{
    const File& file = files_[next_++];
    currentFile_ = file.path;
    if (hashes_ && hashes_->IsList(file.entry)) {
        // Every file before it has been read: the list is made now, from their checksums.
        if (!hashes_->MakeList(&made_, &faultText_)) {
            Fail(Fault::ListNotMade, 0);
            return false;
        }
        if (static_cast<int64_t>(made_.size()) != file.size) {
            Fail(Fault::Changed, 0);
            return false;
        }
        dataLeft_ = file.size;
        zerosLeft_ = (kSectorSize - file.size % kSectorSize) % kSectorSize;
        return true;
    }
    // Only a regular file: a device or a FIFO would block or never end. A file that is not
    // the size it was added with would put a cut or padded copy under the old size.
    fd_.reset(posix::open(file.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    Fault fault = Fault::None;
    int error = 0;
    struct stat st {};
    if (!fd_) {
        fault = Fault::CannotOpen;
        error = errno;
    } else if (::fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        fault = Fault::NotRegular;
    } else if (st.st_size != file.size) {
        fault = Fault::Changed;
    }
    if (fault != Fault::None) {
        Fail(fault, error);
        return false;
    }
    dataLeft_ = file.size;
    zerosLeft_ = (kSectorSize - file.size % kSectorSize) % kSectorSize;
    return true;
}

std::ptrdiff_t TSessionStream::ReadFiles(std::span<uint8_t> out)
{
    std::size_t filled = 0;
    while (filled < out.size()) {
        if (dataLeft_ == 0 && zerosLeft_ == 0) {
            if (next_ > 0 && (fd_ || !made_.empty()))
                FileDone();
            fd_.reset();
            if (next_ == files_.size())
                break;
            if (!OpenNext())
                return -1;
        }
        const std::span<uint8_t> room = out.subspan(filled);
        if (dataLeft_ > 0 && !made_.empty()) {
            const std::size_t n = static_cast<std::size_t>(std::min<int64_t>(dataLeft_, static_cast<int64_t>(room.size())));
            std::copy_n(made_.end() - dataLeft_, n, room.begin());
            filled += n;
            dataLeft_ -= static_cast<int64_t>(n);
        } else if (dataLeft_ > 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<int64_t>(dataLeft_, static_cast<int64_t>(room.size())));
            const ssize_t got = posix::read(fd_.get(), room.data(), want);
            if (got < 0)
                return Fail(Fault::CannotRead, errno);
            if (got == 0)  // shorter than when it was opened
                return Fail(Fault::Changed, 0);
            if (hash_)
                hash_->Add(room.data(), static_cast<std::size_t>(got));
            filled += static_cast<std::size_t>(got);
            dataLeft_ -= got;
        } else {
            // The rest of the file's last sector is zero, never bytes of another file.
            const std::size_t n = static_cast<std::size_t>(std::min<int64_t>(zerosLeft_, static_cast<int64_t>(room.size())));
            std::fill_n(room.begin(), n, uint8_t{0});
            filled += n;
            zerosLeft_ -= static_cast<int64_t>(n);
        }
    }
    return static_cast<std::ptrdiff_t>(filled);
}

std::size_t TSessionStream::ReadPadding(std::span<uint8_t> out)
{
    const int64_t left = std::max<int64_t>(0, totalBytes_ - produced_);
    const std::size_t n = static_cast<std::size_t>(std::min<int64_t>(left, static_cast<int64_t>(out.size())));
    std::fill_n(out.begin(), n, uint8_t{0});
    return n;
}
