#include "burn/emulated_drive.h"

#include "burn/emulated_disc_state.h"
#include "core/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint8_t kGood = 0x00, kCheckCondition = 0x02, kBusy = 0x08;
constexpr uint8_t kNotReady = 0x02, kMediumError = 0x03, kIllegalRequest = 0x05;
constexpr uint32_t kMaxReadKBs = 7056, kMaxWriteKBs = 4234;  // 40x and 24x
constexpr uint32_t kBufferBytes = 2 * 1024 * 1024;

uint32_t be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }
uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
void put32(uint8_t* p, uint32_t v) { p[0] = v >> 24; p[1] = v >> 16; p[2] = v >> 8; p[3] = v; }
void put16(uint8_t* p, uint32_t v) { p[0] = static_cast<uint8_t>(v >> 8); p[1] = static_cast<uint8_t>(v); }

// MSF address of a sector (LBA 0 is 00:02:00).
void putMsf(uint8_t* p, uint32_t lba)
{
    const uint32_t frames = lba + 150;
    p[0] = 0;
    p[1] = static_cast<uint8_t>(frames / (60 * 75));
    p[2] = static_cast<uint8_t>(frames / 75 % 60);
    p[3] = static_cast<uint8_t>(frames % 75);
}

void copyOut(uint8_t* data, uint32_t length, const std::vector<uint8_t>& answer)
{
    if (data && length)
        std::memcpy(data, answer.data(), std::min<std::size_t>(length, answer.size()));
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
            *error = "cannot open the disc image " + imagePath + ": " + std::strerror(errno);
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
        }
    }
    return drive;
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
    return true;
}

bool TEmulatedDrive::SaveState(std::string* error) const
{
    const std::string path = imagePath_ + ".state";
    std::string reason;
    if (wholefile::Write(path, FormatEmulatedDiscState({medium_, capacity_, finalized_, sessions_}), &reason))
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
    return SaveState();
}

uint32_t TEmulatedDrive::NextWritableAddress() const
{
    if (sessions_.empty())
        return 0;
    // Lead-out of the last session (6750 sectors after the first, 2250 after later ones),
    // lead-in of the next (4500) and its track's pre-gap (150).
    const uint32_t leadOut = sessions_.size() == 1 ? 6750 : 2250;
    return sessions_.back().end + leadOut + 4500 + 150;
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
    const uint8_t op = cdb[0];
    if (op == 0x12) {  // INQUIRY answers even while the drive is not ready
        std::vector<uint8_t> answer(96, 0);
        const auto inq = InquiryData();
        std::copy(inq.begin(), inq.end(), answer.begin());
        copyOut(data, length, answer);
        return kGood;
    }
    if (op == 0x03) {  // REQUEST SENSE returns the last sense and clears it
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
    lastSense_.fill(0);
    switch (op) {
    case 0x00:  // TEST UNIT READY
    case 0x01:  // REZERO UNIT
    case 0x1B:  // START STOP UNIT
    case 0x1E:  // PREVENT/ALLOW MEDIUM REMOVAL
    case 0x54:  // SEND OPC INFORMATION
        return kGood;
    case 0x35:  // SYNCHRONIZE CACHE
        ::fsync(fd_);
        return kGood;
    case 0x28:
        return Read(cdb, data, length, sense);
    case 0x2A:
        return Write(cdb, data, length, sense);
    case 0x43:
        return ReadToc(cdb, data, length, sense);
    case 0x46:
        if (noGetConfiguration)
            return Fail(sense, kIllegalRequest, 0x20, 0x00);
        return Configuration(cdb, data, length);
    case 0x51:
        return DiscInformation(data, length);
    case 0x52:
        return TrackInformation(cdb, data, length, sense);
    case 0x5A:
        return ModeSense(cdb, data, length, sense);
    case 0x55:
        return ModeSelect(data, length, sense);
    case 0x5B:
        return CloseTrackSession(cdb, sense);
    case 0x5C: {  // READ BUFFER CAPACITY
        std::vector<uint8_t> answer(12, 0);
        put16(&answer[0], 10);
        put32(&answer[4], kBufferBytes);
        put32(&answer[8], kBufferBytes);
        copyOut(data, length, answer);
        return kGood;
    }
    case 0xBB: {  // SET CD SPEED: FFFFh means the fastest
        const uint16_t r = be16(cdb + 2), w = be16(cdb + 4);
        lastSpeedRead = r;
        lastSpeedWrite = w;
        readSpeed_ = r == 0xFFFF ? kMaxReadKBs : std::min<uint32_t>(r, kMaxReadKBs);
        writeSpeed_ = w == 0xFFFF ? kMaxWriteKBs : std::min<uint32_t>(w, kMaxWriteKBs);
        return kGood;
    }
    default:
        return Fail(sense, kIllegalRequest, 0x20, 0x00);  // invalid command operation code
    }
}

uint8_t TEmulatedDrive::Read(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense)
{
    const uint32_t lba = be32(cdb + 2);
    const uint32_t count = be16(cdb + 7);
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

uint8_t TEmulatedDrive::Write(const uint8_t* cdb, const uint8_t* data, uint32_t length, uint8_t* sense)
{
    const uint32_t lba = be32(cdb + 2);
    const uint32_t count = be16(cdb + 7);
    if (finalized_)
        return Fail(sense, kIllegalRequest, 0x21, 0x02);  // invalid address for write
    const uint32_t expected = TrackStart() + openTrackWritten_;
    if (lba != expected)
        return Fail(sense, kIllegalRequest, 0x21, 0x02);
    if (uint64_t(lba) + count > capacity_)
        return Fail(sense, kIllegalRequest, 0x63, 0x00);  // end of user area encountered
    if (uint64_t(count) * kBlockSize > length)
        return Fail(sense, kIllegalRequest, 0x24, 0x00);
    if (writeErrorSector >= lba && writeErrorSector < int64_t(lba) + count)
        return Fail(sense, kMediumError, 0x0C, 0x00);  // write error
    const ssize_t n = ::pwrite(fd_, data, uint64_t(count) * kBlockSize, off_t(lba) * kBlockSize);
    if (n != ssize_t(uint64_t(count) * kBlockSize))
        return Fail(sense, kMediumError, 0x0C, 0x00);
    openTrackWritten_ += count;
    return kGood;
}

uint8_t TEmulatedDrive::CloseTrackSession(const uint8_t* cdb, uint8_t* sense)
{
    const uint8_t function = cdb[2] & 0x07;
    if (function == 0x02 || function == 0x01) {
        if (openTrackWritten_ > 0) {
            const uint32_t start = TrackStart();
            sessions_.push_back({start, start + openTrackWritten_});
            openTrackWritten_ = 0;
            // Without the multi-session bits no further session may follow.
            if (function == 0x02 && (writePage_[3] & 0xC0) == 0)
                finalized_ = true;
        } else if (function == 0x02 && (writePage_[3] & 0xC0) == 0 && !sessions_.empty()) {
            finalized_ = true;
        }
        if (!SaveState())
            return Fail(sense, kMediumError, 0x0C, 0x00);  // the disc state could not be kept
    }
    return kGood;
}

uint8_t TEmulatedDrive::ReadToc(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense)
{
    const bool msf = cdb[1] & 0x02;
    const uint8_t format = cdb[2] & 0x0F;
    std::vector<uint8_t> a;
    auto address = [msf](uint8_t* p, uint32_t lba) {
        if (msf)
            putMsf(p, lba);
        else
            put32(p, lba);
    };
    if (format == 0) {
        if (sessions_.empty())
            return Fail(sense, kIllegalRequest, 0x24, 0x00);
        // Descriptors from the requested track on (0 and 1 both mean the first).
        const std::size_t first = cdb[6] > 1 ? std::min<std::size_t>(cdb[6] - 1, sessions_.size()) : 0;
        a.resize(4 + 8 * (sessions_.size() - first + 1), 0);
        a[2] = 1;
        a[3] = static_cast<uint8_t>(sessions_.size());
        for (std::size_t i = first; i < sessions_.size(); ++i) {
            uint8_t* d = &a[4 + 8 * (i - first)];
            d[1] = 0x14;
            d[2] = static_cast<uint8_t>(i + 1);
            address(d + 4, sessions_[i].start);
        }
        uint8_t* out = &a[4 + 8 * (sessions_.size() - first)];
        out[1] = 0x14;
        out[2] = 0xAA;
        address(out + 4, sessions_.back().end);
    } else if (format == 1) {
        a.resize(12, 0);
        a[2] = 1;
        a[3] = static_cast<uint8_t>(sessions_.size());
        if (!sessions_.empty()) {
            a[5] = 0x14;
            a[6] = static_cast<uint8_t>(sessions_.size());
            address(&a[8], sessions_.back().start);
        }
    } else if (format == 4) {
        a.resize(28, 0);
        a[6] = static_cast<uint8_t>(0x80 | (medium_ == Medium::CDRW ? 0x40 : 0));
        putMsf(&a[11], capacity_);  // start of the last possible lead-out
    } else {
        return Fail(sense, kIllegalRequest, 0x24, 0x00);
    }
    put16(&a[0], static_cast<uint32_t>(a.size() - 2));
    copyOut(data, length, a);
    return kGood;
}

uint8_t TEmulatedDrive::DiscInformation(uint8_t* data, uint32_t length)
{
    std::vector<uint8_t> a(34, 0);
    put16(&a[0], 32);
    const uint8_t discStatus = sessions_.empty() ? 0 : finalized_ ? 2 : 1;
    const uint8_t lastSession = sessions_.empty() ? 0 : 3;  // a closed session is complete
    a[2] = static_cast<uint8_t>((medium_ == Medium::CDRW ? 0x10 : 0) | (lastSession << 2) | discStatus);
    a[3] = 1;
    a[4] = static_cast<uint8_t>(sessions_.size() + (finalized_ ? 0 : 1));
    a[5] = a[6] = static_cast<uint8_t>(sessions_.size() + (finalized_ ? 0 : 1));
    a[8] = 0x00;  // CD-DA or CD-ROM disc
    putMsf(&a[16], NextWritableAddress());
    putMsf(&a[20], capacity_);
    copyOut(data, length, a);
    return kGood;
}

uint8_t TEmulatedDrive::TrackInformation(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense)
{
    const uint32_t track = be32(cdb + 2);
    std::vector<uint8_t> a(36, 0);
    put16(&a[0], 34);
    if (track == 0xFF || track == sessions_.size() + 1) {
        if (finalized_)
            return Fail(sense, kIllegalRequest, 0x24, 0x00);
        const uint32_t nwa = TrackStart() + openTrackWritten_;
        const uint32_t free = capacity_ > nwa ? capacity_ - nwa : 0;
        a[2] = static_cast<uint8_t>(sessions_.size() + 1);
        a[3] = static_cast<uint8_t>(sessions_.size() + 1);
        a[5] = 0x04;
        a[6] = 0x40 | 0x01;  // blank, data mode 1
        a[7] = 0x01;         // next writable address valid
        put32(&a[8], TrackStart());
        put32(&a[12], nwa);
        put32(&a[16], free);
        put32(&a[24], capacity_ > TrackStart() ? capacity_ - TrackStart() : 0);
    } else if (track >= 1 && track <= sessions_.size()) {
        const Session& s = sessions_[track - 1];
        a[2] = a[3] = static_cast<uint8_t>(track);
        a[5] = 0x04;
        a[6] = 0x01;
        put32(&a[8], s.start);
        put32(&a[24], s.end - s.start);
    } else {
        return Fail(sense, kIllegalRequest, 0x24, 0x00);
    }
    copyOut(data, length, a);
    return kGood;
}

uint8_t TEmulatedDrive::Configuration(const uint8_t* cdb, uint8_t* data, uint32_t length)
{
    const uint16_t feature = be16(cdb + 2);
    std::vector<uint8_t> a(8, 0);
    put16(&a[6], medium_ == Medium::CDRW ? 0x000A : 0x0009);
    if (feature == 0) {
        const uint8_t list[] = {0x00, 0x00, 0x03, 0x08,  // profile list, current, 8 bytes
                                0x00, 0x0A, uint8_t(medium_ == Medium::CDRW), 0x00,
                                0x00, 0x09, uint8_t(medium_ == Medium::CDR), 0x00};
        a.insert(a.end(), std::begin(list), std::end(list));
    }
    put32(&a[0], static_cast<uint32_t>(a.size() - 4));
    copyOut(data, length, a);
    return kGood;
}

uint8_t TEmulatedDrive::ModeSense(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense)
{
    const uint8_t page = cdb[2] & 0x3F;
    std::vector<uint8_t> a(8, 0);
    if (page == 0x2A) {
        std::vector<uint8_t> p(28, 0);
        p[0] = 0x2A;
        p[1] = 26;
        p[2] = 0x07;  // reads CD-R, CD-RW, method 2
        p[3] = 0x07;  // writes CD-R, CD-RW, test write
        p[4] = noUnderrunFree ? 0x00 : 0x80;  // buffer underrun free recording
        put16(&p[8], kMaxReadKBs);
        put16(&p[14], readSpeed_);
        put16(&p[18], kMaxWriteKBs);
        put16(&p[20], writeSpeed_);
        a.insert(a.end(), p.begin(), p.end());
    } else if (page == 0x05) {
        a.insert(a.end(), writePage_.begin(), writePage_.end());
    } else {
        return Fail(sense, kIllegalRequest, 0x24, 0x00);
    }
    put16(&a[0], static_cast<uint32_t>(a.size() - 2));
    copyOut(data, length, a);
    return kGood;
}

uint8_t TEmulatedDrive::ModeSelect(const uint8_t* data, uint32_t length, uint8_t* sense)
{
    if (length < 8 + 2)
        return Fail(sense, kIllegalRequest, 0x1A, 0x00);  // parameter list length error
    const uint32_t blockDescriptors = be16(data + 6);
    const uint8_t* page = data + 8 + blockDescriptors;
    if (8 + blockDescriptors + 2 > length || (page[0] & 0x3F) != 0x05)
        return Fail(sense, kIllegalRequest, 0x26, 0x00);  // invalid field in parameter list
    const uint8_t writeType = page[2] & 0x0F;
    if (writeType != 1 && writeType != 2)
        return Fail(sense, kIllegalRequest, 0x26, 0x00);  // raw writing is not offered
    const std::size_t n = std::min<std::size_t>(writePage_.size(), length - 8 - blockDescriptors);
    std::memcpy(writePage_.data(), page, n);
    return kGood;
}
