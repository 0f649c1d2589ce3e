#include "burn/emulated/emulated_drive.h"

#include "burn/emulated/emulated_drive_p.h"

using namespace emulated;

uint8_t TEmulatedDrive::ReadToc(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense)
{
    const bool msf = cdb[1] & 0x02;
    const uint8_t format = cdb[2] & 0x0F;
    std::vector<uint8_t> a;
    auto address = [msf](uint8_t* p, uint32_t lba) {
        if (msf)
            putMsf(p, lba);
        else
            bytes::putBe32(p, lba);
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
        if (IsDvd())
            return Fail(sense, kIllegalRequest, 0x24, 0x00);
        a.resize(28, 0);
        a[6] = static_cast<uint8_t>(0x80 | (medium_ == Medium::CDRW ? 0x40 : 0));
        putMsf(&a[11], capacity_);  // start of the last possible lead-out
    } else {
        return Fail(sense, kIllegalRequest, 0x24, 0x00);
    }
    bytes::putBe16(&a[0], static_cast<uint32_t>(a.size() - 2));
    copyOut(data, length, a);
    return kGood;
}

uint8_t TEmulatedDrive::DiscInformation(uint8_t* data, uint32_t length)
{
    std::vector<uint8_t> a(34, 0);
    bytes::putBe16(&a[0], 32);
    // An unclosed track makes the last session incomplete (and a blank disc incomplete).
    const bool open = openTrackWritten_ > 0;
    const uint8_t discStatus = sessions_.empty() && !open ? 0 : finalized_ ? 2 : 1;
    const uint8_t lastSession = open ? 1 : sessions_.empty() ? 0 : 3;  // a closed session is complete
    const bool erasable = medium_ == Medium::CDRW || Overwritable();
    a[2] = static_cast<uint8_t>((erasable ? 0x10 : 0) | (lastSession << 2) | discStatus);
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
    const uint32_t track = bytes::be32(cdb + 2);
    std::vector<uint8_t> a(36, 0);
    bytes::putBe16(&a[0], 34);
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
        bytes::putBe32(&a[8], TrackStart());
        bytes::putBe32(&a[12], nwa);
        bytes::putBe32(&a[16], free);
        bytes::putBe32(&a[24], capacity_ > TrackStart() ? capacity_ - TrackStart() : 0);
    } else if (track >= 1 && track <= sessions_.size()) {
        const Session& s = sessions_[track - 1];
        a[2] = a[3] = static_cast<uint8_t>(track);
        a[5] = 0x04;
        a[6] = 0x01;
        bytes::putBe32(&a[8], s.start);
        bytes::putBe32(&a[24], s.end - s.start);
    } else {
        return Fail(sense, kIllegalRequest, 0x24, 0x00);
    }
    copyOut(data, length, a);
    return kGood;
}

uint8_t TEmulatedDrive::Configuration(const uint8_t* cdb, uint8_t* data, uint32_t length)
{
    const uint16_t feature = bytes::be16(cdb + 2);
    // The profiles of the media this recorder takes; the loaded one is current.
    const std::pair<Medium, uint16_t> profiles[] = {{Medium::CDR, 0x0009},       {Medium::CDRW, 0x000A},
                                                    {Medium::DVDR, 0x0011},      {Medium::DVDRAM, 0x0012},
                                                    {Medium::DVDPlusRW, 0x001A}};
    uint16_t current = 0;
    for (const auto& [m, p] : profiles)
        if (m == medium_)
            current = p;
    if (readOnly)
        current = 0x0008;  // CD-ROM
    std::vector<uint8_t> a(8, 0);
    bytes::putBe16(&a[6], current);
    if (feature == 0) {
        const uint8_t header[] = {0x00, 0x00, 0x03, static_cast<uint8_t>(4 * std::size(profiles))};
        a.insert(a.end(), std::begin(header), std::end(header));
        for (const auto& [m, p] : profiles) {
            const uint8_t d[] = {static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p), uint8_t(m == medium_), 0};
            a.insert(a.end(), std::begin(d), std::end(d));
        }
    }
    bytes::putBe32(&a[0], static_cast<uint32_t>(a.size() - 4));
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
        p[3] = readOnly ? 0x00 : noTestWrite ? 0x03 : 0x07;  // writes CD-R, CD-RW, test write
        p[4] = noUnderrunFree ? 0x00 : 0x80;  // buffer underrun free recording
        bytes::putBe16(&p[8], kMaxReadKBs);
        bytes::putBe16(&p[14], readSpeed_);
        bytes::putBe16(&p[18], kMaxWriteKBs);
        bytes::putBe16(&p[20], writeSpeed_);
        a.insert(a.end(), p.begin(), p.end());
    } else if (page == 0x05) {
        a.insert(a.end(), writePage_.begin(), writePage_.end());
    } else {
        return Fail(sense, kIllegalRequest, 0x24, 0x00);
    }
    bytes::putBe16(&a[0], static_cast<uint32_t>(a.size() - 2));
    copyOut(data, length, a);
    return kGood;
}

uint8_t TEmulatedDrive::ModeSelect(const uint8_t* data, uint32_t length, uint8_t* sense)
{
    if (length < 8 + 2)
        return Fail(sense, kIllegalRequest, 0x1A, 0x00);  // parameter list length error
    const uint32_t blockDescriptors = bytes::be16(data + 6);
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

uint8_t TEmulatedDrive::BufferCapacity(uint8_t* data, uint32_t length)
{
    Drain();
    std::vector<uint8_t> a(12, 0);
    bytes::putBe16(&a[0], 10);
    bytes::putBe32(&a[4], bufferBytes_);
    bytes::putBe32(&a[8], static_cast<uint32_t>(bufferBytes_ - std::min<uint64_t>(fill_, bufferBytes_)));
    copyOut(data, length, a);
    return kGood;
}
