#include "burn/emulated/emulated_drive.h"

#include "burn/emulated/emulated_disc_state.h"
#include "burn/emulated/emulated_drive_p.h"
#include "core/base/posix_io.h"
#include "core/base/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace emulated;

namespace {

// CPU time of the calling thread, in nanoseconds.
int64_t threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

std::unique_ptr<TEmulatedDrive> TEmulatedDrive::Open(const std::string& imagePath, std::string* error)
{
    std::unique_ptr<TEmulatedDrive> drive(new TEmulatedDrive);
    drive->imagePath_ = imagePath;
    struct stat st {};
    const bool existed = ::stat(imagePath.c_str(), &st) == 0;
    drive->fd_ = ::open(imagePath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (drive->fd_ < 0) {
        if (error)
            *error = "cannot open the disc image " + imagePath + ": " + posix::errnoMessage(errno);
        return nullptr;
    }
    // Write parameters as a drive reports them at power-on: track-at-once, mode 1.
    drive->writePage_[0] = 0x05;
    drive->writePage_[1] = 0x32;
    drive->writePage_[2] = 0x01;
    drive->writePage_[3] = 0x04;
    drive->writePage_[4] = 0x08;
    std::string stateError;
    if (!drive->LoadState(&stateError)) {
        if (!stateError.empty()) {
            if (error)
                *error = stateError;
            return nullptr;
        }
        if (existed && st.st_size >= TEmulatedDrive::kBlockSize) {
            // A finished image made elsewhere: one closed session holding it, room for more.
            if (st.st_size / kBlockSize > kMaxDiscBlocks) {
                if (error)
                    *error = "the disc image " + imagePath + " is larger than a CD";
                return nullptr;
            }
            drive->sessions_.push_back({0, static_cast<uint32_t>(st.st_size / kBlockSize)});
            drive->capacity_ = std::max(drive->capacity_, drive->sessions_.back().end);
            if (!drive->SaveState(error))
                return nullptr;
        } else if (!drive->SaveState(error)) {  // a blank disc stays blank whatever is written to it later
            return nullptr;
        }
    }
    return drive;
}

bool TEmulatedDrive::BeginBurn(std::string* error)
{
    if (!locked_) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (error)
                *error = errno == EWOULDBLOCK ? "THE DISC " + imagePath_ + " IS IN USE BY ANOTHER BURN"
                                              : "CANNOT LOCK THE DISC " + imagePath_ + ": " + posix::errnoMessage(errno);
            return false;
        }
        locked_ = true;
    }
    std::string stateError;
    if (!LoadState(&stateError) && !stateError.empty()) {
        EndBurn();
        if (error)
            *error = stateError;
        return false;
    }
    return true;
}

void TEmulatedDrive::EndBurn()
{
    if (locked_)
        ::flock(fd_, LOCK_UN);
    locked_ = false;
}

TEmulatedDrive::~TEmulatedDrive()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool TEmulatedDrive::LoadState(std::string* error)
{
    const std::string path = imagePath_ + ".state";
    if (::access(path.c_str(), F_OK) != 0 && errno == ENOENT)
        return false;
    std::string text, reason;
    TEmulatedDiscState state;
    if (!wholefile::Read(path, &text, &reason, 64 << 10) || !ParseEmulatedDiscState(text, &state, &reason)) {
        *error = "the disc state " + path + " is refused: " + reason;
        return false;
    }
    medium_ = state.medium;
    capacity_ = state.capacity;
    finalized_ = state.finalized;
    sessions_ = std::move(state.sessions);
    openTrackWritten_ = state.openTrack;
    return true;
}

bool TEmulatedDrive::SaveState(std::string* error) const
{
    const std::string path = imagePath_ + ".state";
    std::string reason;
    if (wholefile::Write(path, FormatEmulatedDiscState({medium_, capacity_, finalized_, sessions_, openTrackWritten_}), &reason))
        return true;
    if (error)
        *error = "cannot write " + path + ": " + reason;
    return false;
}

bool TEmulatedDrive::SetCapacity(uint32_t blocks)
{
    capacity_ = blocks;
    return SaveState();
}

bool TEmulatedDrive::SetMedium(Medium m)
{
    medium_ = m;
    if (IsDvd() && capacity_ == kBlank80MinBlocks)
        capacity_ = kBlankDvdBlocks;
    return SaveState();
}

std::chrono::milliseconds TEmulatedDrive::OperationTime() const
{
    return std::chrono::milliseconds(speedX_ > 0 ? operationMs : 0);
}

void TEmulatedDrive::SetSpeedX(int x)
{
    speedX_ = std::max(0, x);
}

uint32_t TEmulatedDrive::NextWritableAddress() const
{
    if (sessions_.empty())
        return 0;
    if (IsDvd())
        return sessions_.back().end;
    // Lead-out of the last session (6750 sectors after the first, 2250 after later ones),
    // lead-in of the next (4500) and its track's pre-gap (150).
    const uint32_t leadOut = sessions_.size() == 1 ? 6750 : 2250;
    return sessions_.back().end + leadOut + 4500 + 150;
}

std::vector<TEmulatedDrive::Logged> TEmulatedDrive::Commands(uint8_t code) const
{
    std::vector<Logged> found;
    for (const Logged& l : log_)
        if (!l.cdb.empty() && l.cdb[0] == code)
            found.push_back(l);
    return found;
}

std::array<uint8_t, 36> TEmulatedDrive::InquiryData() const
{
    std::array<uint8_t, 36> d{};
    d[0] = 0x05;  // CD/DVD device
    d[1] = 0x80;  // removable
    d[2] = 0x05;
    d[3] = 0x32;
    d[4] = 31;
    std::memcpy(&d[8], "VIRTUAL ", 8);
    std::memcpy(&d[16], "CD-RW RECORDER  ", 16);
    std::memcpy(&d[32], "1.0 ", 4);
    return d;
}

uint8_t TEmulatedDrive::Fail(uint8_t* sense, uint8_t key, uint8_t asc, uint8_t ascq)
{
    lastSense_.fill(0);
    lastSense_[0] = 0x70;
    lastSense_[2] = key;
    lastSense_[7] = 10;
    lastSense_[12] = asc;
    lastSense_[13] = ascq;
    if (sense) {
        std::memset(sense, 0, 32);
        std::memcpy(sense, lastSense_.data(), lastSense_.size());
    }
    return kCheckCondition;
}

uint8_t TEmulatedDrive::Execute(const uint8_t* cdb, int cdbLength, uint8_t* data, uint32_t length,
                                uint8_t* sense)
{
    if (cdbLength < 6)
        return Fail(sense, kIllegalRequest, 0x20, 0x00);
    const uint8_t code = cdb[0];
    Logged entry;
    entry.cdb.assign(cdb, cdb + cdbLength);
    if (data && code != op::Write10 && (code == op::ModeSelect10 || code == op::SetStreaming ||
                                        code == op::SendDvdStructure))
        entry.data.assign(data, data + length);
    log_.push_back(std::move(entry));

    if (code == op::Inquiry) {  // answers even while the drive is not ready
        std::vector<uint8_t> answer(96, 0);
        const auto inq = InquiryData();
        std::copy(inq.begin(), inq.end(), answer.begin());
        copyOut(data, length, answer);
        return kGood;
    }
    if (code == op::RequestSense) {  // returns the last sense and clears it
        std::vector<uint8_t> answer(lastSense_.begin(), lastSense_.end());
        if (answer[0] == 0)
            answer[0] = 0x70, answer[7] = 10;
        copyOut(data, length, answer);
        lastSense_.fill(0);
        return kGood;
    }
    if (busyOnce) {
        busyOnce = false;
        return kBusy;
    }
    if (notReadyCommands > 0) {
        --notReadyCommands;
        return Fail(sense, kNotReady, 0x04, 0x01);
    }
    // A close or a flush with the immediate bit goes on after its answer; meanwhile the
    // drive says so to the commands that look at the disc.
    if ((code == op::TestUnitReady || code == op::ReadDiscInformation) && Clock::now() < busyUntil_)
        return Fail(sense, kNotReady, 0x04, 0x07);  // operation in progress
    lastSense_.fill(0);
    switch (code) {
    case op::TestUnitReady:
    case op::RezeroUnit:
    case op::StartStopUnit:
    case op::PreventAllowRemoval:
    case op::SendOpcInformation:
        return kGood;
    case op::SynchronizeCache:
        if (syncFailures > 0) {
            --syncFailures;
            return Fail(sense, kMediumError, 0x0C, 0x00);
        }
        return Synchronize(cdb, sense);
    case op::Read10:
        return Read(cdb, data, length, sense);
    case op::Write10:
        return Write(cdb, data, length, sense);
    case op::ReadTocPmaAtip:
        return ReadToc(cdb, data, length, sense);
    case op::GetConfiguration:
        if (noGetConfiguration)
            return Fail(sense, kIllegalRequest, 0x20, 0x00);
        return Configuration(cdb, data, length);
    case op::ReadDiscInformation:
        if (discInfoFailures > 0) {
            --discInfoFailures;
            return Fail(sense, kMediumError, 0x11, 0x00);
        }
        return DiscInformation(data, length);
    case op::ReadTrackInformation:
        return TrackInformation(cdb, data, length, sense);
    case op::ModeSense10:
        return ModeSense(cdb, data, length, sense);
    case op::ModeSelect10:
        return ModeSelect(data, length, sense);
    case op::CloseTrackSession:
        if (closeFailures > 0) {
            --closeFailures;
            return Fail(sense, kMediumError, 0x73, 0x03);  // session fixation error
        }
        return CloseTrackSession(cdb, sense);
    case op::ReadBufferCapacity:
        return BufferCapacity(data, length);
    case op::SetCdSpeed: {  // FFFFh means the fastest
        if (IsDvd())
            return Fail(sense, kIllegalRequest, 0x20, 0x00);
        const uint16_t r = bytes::be16(cdb + 2), w = bytes::be16(cdb + 4);
        lastSpeedRead = r;
        lastSpeedWrite = w;
        readSpeed_ = r == 0xFFFF ? kMaxReadKBs : std::min<uint32_t>(r, kMaxReadKBs);
        writeSpeed_ = w == 0xFFFF ? kMaxWriteKBs : std::min<uint32_t>(w, kMaxWriteKBs);
        return kGood;
    }
    case op::SetStreaming:
    case op::SendDvdStructure:
        return medium_ == Medium::DVDR ? kGood : Fail(sense, kIllegalRequest, 0x20, 0x00);
    case op::ReserveTrack:
        if (medium_ != Medium::DVDR || openTrackWritten_ > 0)
            return Fail(sense, kIllegalRequest, 0x2C, 0x00);  // command sequence error
        reserved_ = bytes::be32(cdb + 5);
        return kGood;
    default:
        return Fail(sense, kIllegalRequest, 0x20, 0x00);  // invalid command operation code
    }
}

uint8_t TEmulatedDrive::Read(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense)
{
    const uint32_t lba = bytes::be32(cdb + 2);
    const uint32_t count = bytes::be16(cdb + 7);
    // Readable are the written sectors: those of the sessions and of the open track.
    auto written = [this](uint64_t sector) {
        for (const Session& s : sessions_)
            if (sector >= s.start && sector < s.end)
                return true;
        return openTrackWritten_ > 0 && sector >= TrackStart() && sector < uint64_t(TrackStart()) + openTrackWritten_;
    };
    if (count == 0)
        return kGood;
    if (!written(lba) || !written(uint64_t(lba) + count - 1))
        return Fail(sense, kIllegalRequest, 0x21, 0x00);  // logical block address out of range
    if (uint64_t(count) * kBlockSize > length)
        return Fail(sense, kIllegalRequest, 0x24, 0x00);
    std::memset(data, 0, uint64_t(count) * kBlockSize);
    const ssize_t n = ::pread(fd_, data, uint64_t(count) * kBlockSize, off_t(lba) * kBlockSize);
    (void)n;  // sectors past the image's end read as zeros
    return kGood;
}

std::chrono::nanoseconds TEmulatedDrive::DrainTime(uint64_t bytes) const
{
    const uint64_t rate = uint64_t(speedX_) * kBytesPerSecondPerX;
    return std::chrono::nanoseconds(rate ? bytes * 1000000000ull / rate : 0);
}

void TEmulatedDrive::Drain()
{
    const Clock::time_point now = Clock::now();
    if (speedX_ == 0 || !recording_) {
        fill_ = 0;
        drained_ = now;
        return;
    }
    const uint64_t rate = uint64_t(speedX_) * kBytesPerSecondPerX;
    const uint64_t gone = static_cast<uint64_t>(
        static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(now - drained_).count()) *
        static_cast<double>(rate) / 1e9);
    if (gone > fill_) {
        // The laser ran out of data while the track was being written.
        ++underruns_;
        fill_ = 0;
        drained_ = now;
    } else {
        fill_ -= gone;
        drained_ += DrainTime(gone);
    }
}

uint8_t TEmulatedDrive::Write(const uint8_t* cdb, const uint8_t* data, uint32_t length, uint8_t* sense)
{
    const uint32_t lba = bytes::be32(cdb + 2);
    const uint32_t count = bytes::be16(cdb + 7);
    if (transportFailures > 0) {
        --transportFailures;
        return kTransportFailure;
    }
    if (busyForever || busyWrites > 0) {
        if (busyWrites > 0)
            --busyWrites;
        ++busyAnswers_;
        return kBusy;
    }
    if (longWriteWrites > 0) {
        --longWriteWrites;
        ++busyAnswers_;
        return Fail(sense, kNotReady, 0x04, 0x08);  // long write in progress
    }
    if (readOnly)
        return Fail(sense, kIllegalRequest, 0x20, 0x00);  // a reader has no WRITE (10)
    if (finalized_)
        return Fail(sense, kIllegalRequest, 0x21, 0x02);  // invalid address for write
    // A recorder refuses to write a track whose parameters are not a mode 1 data track.
    const uint8_t blockType = writePage_[4] & 0x0F, trackMode = writePage_[3] & 0x0F;
    const bool cd = !IsDvd();
    if ((cd && (blockType != 8 || trackMode != 4)) || (medium_ == Medium::DVDR && blockType != 8))
        return Fail(sense, kIllegalRequest, 0x64, 0x00);  // illegal mode for this track
    if (medium_ == Medium::DVDR && reserved_ == 0)
        return Fail(sense, kIllegalRequest, 0x2C, 0x00);  // command sequence error
    const bool testWrite = (writePage_[2] & 0x10) && !IsDvd();
    const uint32_t expected = TrackStart() + openTrackWritten_ + testWritten_;
    if (!Overwritable() && lba != expected)
        return Fail(sense, kIllegalRequest, 0x21, 0x02);
    if (uint64_t(lba) + count > capacity_)
        return Fail(sense, kIllegalRequest, 0x63, 0x00);  // end of user area encountered
    if (uint64_t(count) * kBlockSize > length)
        return Fail(sense, kIllegalRequest, 0x24, 0x00);
    if (writeErrorSector >= lba && writeErrorSector < int64_t(lba) + count)
        return Fail(sense, kMediumError, 0x0C, 0x00);  // write error
    const uint64_t bytesIn = uint64_t(count) * kBlockSize;
    if (speedX_ > 0) {
        Drain();
        if (!recording_) {
            recording_ = true;
            drained_ = Clock::now();
        }
        // The buffer is full: the command completes once the laser has made room.
        if (fill_ + bytesIn > bufferBytes_) {
            std::this_thread::sleep_for(DrainTime(fill_ + bytesIn - bufferBytes_));
            Drain();
        }
        fill_ += bytesIn;
    }
    if (testWrite) {
        testWritten_ += count;
        return kGood;
    }
    const int64_t cpu = threadCpuNs();
    const ssize_t n = ::pwrite(fd_, data, bytesIn, off_t(lba) * kBlockSize);
    mediumCpuNs_ += threadCpuNs() - cpu;
    if (n != ssize_t(bytesIn))
        return Fail(sense, kMediumError, 0x0C, 0x00);
    if (!StartWriteback(off_t(lba) * kBlockSize, bytesIn))
        return Fail(sense, kMediumError, 0x0C, 0x00);
    if (Overwritable())
        openTrackWritten_ = std::max(openTrackWritten_, lba + count - TrackStart());
    else
        openTrackWritten_ += count;
    return kGood;
}

bool TEmulatedDrive::StartWriteback(off_t offset, uint64_t bytes)
{
    // The image's pages go to the disk while the burn goes on (as a drive's laser empties
    // its buffer), so that the flush at the end has little left to wait for.
    if (writebackTo_ == writebackFrom_)
        writebackFrom_ = writebackTo_ = offset;
    writebackFrom_ = std::min(writebackFrom_, offset);
    writebackTo_ = std::max(writebackTo_, off_t(offset + off_t(bytes)));
    if (writebackTo_ - writebackFrom_ < kWritebackBytes)
        return true;
    const int done = ::sync_file_range(fd_, writebackFrom_, writebackTo_ - writebackFrom_, SYNC_FILE_RANGE_WRITE);
    writebackFrom_ = writebackTo_ = 0;
    // A file system without it leaves the whole write to the flush.
    return done == 0 || errno == EINVAL || errno == ENOSYS || errno == ESPIPE || errno == EINTR;
}

uint8_t TEmulatedDrive::Synchronize(const uint8_t* cdb, uint8_t* sense)
{
    const bool immediate = cdb[1] & 0x02;
    Drain();
    const std::chrono::nanoseconds rest = DrainTime(fill_);
    fill_ = 0;
    recording_ = false;
    testWritten_ = 0;
    const int64_t cpu = threadCpuNs();
    const bool synced = posix::retryEintr([this] { return wholefile::CurrentSteps().fsync(fd_); }) == 0;
    mediumCpuNs_ += threadCpuNs() - cpu;
    writebackFrom_ = writebackTo_ = 0;
    // What the cache held is not on the medium: the flush fails, the track stays open.
    if (!synced)
        return Fail(sense, kMediumError, 0x0C, 0x00);
    if (immediate)
        busyUntil_ = Clock::now() + rest + OperationTime();
    else
        std::this_thread::sleep_for(rest);
    // DVD-R writes its lead-out after the flush; rewritable DVD keeps what was written.
    if (IsDvd() && openTrackWritten_ > 0) {
        CloseOpenTrack();
        reserved_ = 0;
    }
    // An unclosed track stays on the disc for the next run.
    if (!SaveState(nullptr))
        return Fail(sense, kMediumError, 0x0C, 0x00);  // the disc state could not be kept
    return kGood;
}

void TEmulatedDrive::CloseOpenTrack()
{
    const uint32_t start = TrackStart();
    sessions_.push_back({start, start + openTrackWritten_});
    openTrackWritten_ = 0;
    trackClosed_ = false;
}

uint8_t TEmulatedDrive::CloseTrackSession(const uint8_t* cdb, uint8_t* sense)
{
    const bool immediate = cdb[1] & 0x01;
    const uint8_t function = cdb[2] & 0x07;
    if (immediate)
        busyUntil_ = Clock::now() + OperationTime();
    if (function == 0x01) {
        // The track is complete; its session stays open and out of the table of contents.
        if (openTrackWritten_ > 0)
            trackClosed_ = true;
    } else if (function == 0x02) {
        if (openTrackWritten_ > 0) {
            CloseOpenTrack();
            // Without the multi-session bits no further session may follow.
            if ((writePage_[3] & 0xC0) == 0)
                finalized_ = true;
        } else if ((writePage_[3] & 0xC0) == 0 && !sessions_.empty()) {
            finalized_ = true;
        }
        if (!SaveState())
            return Fail(sense, kMediumError, 0x0C, 0x00);  // the disc state could not be kept
    }
    return kGood;
}
