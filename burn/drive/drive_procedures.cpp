// The drive procedures: capabilities, disc type, write parameters, write-mode probe,
// next writable address, free space, last session and the wait until the drive is ready,
// each built on the commands of drive_commands.cpp.

#include "burn/drive/drive_commands.h"

#include "burn/transport/scsi_opcodes.h"
#include "core/base/byte_order.h"

#include <algorithm>
#include <cstring>

namespace {
using bytes::be16;
using bytes::be32;

// Additional sense code 04h: "logical unit not ready" (becoming ready, operation or long
// write in progress): the drive is working and will answer later.
constexpr uint8_t kAscNotReady = 0x04;
// The first pause of a wait for a drive that said "not ready".
constexpr int kFirstPauseMs = 50;
}  // namespace

bool TDriveCommands::AskOnce(uint32_t key, std::span<uint8_t> buffer, const std::function<bool()>& ask)
{
    if (factsSelection_ != t_.SelectionCount()) {
        facts_.clear();
        factsSelection_ = t_.SelectionCount();
    }
    const auto known = facts_.find(key);
    if (known != facts_.end()) {
        std::copy_n(known->second.data.begin(), std::min(buffer.size(), known->second.data.size()), buffer.begin());
        last_ = known->second.result;
        return last_.ok;
    }
    const bool ok = ask();
    // ILLEGAL REQUEST: the drive does not know the page or feature, and will not later.
    constexpr uint8_t kIllegalRequest = 0x05;
    if (ok || (!last_.transportError && !last_.busy && last_.senseKey() == kIllegalRequest))
        facts_[key] = {last_, std::vector<uint8_t>(buffer.begin(), buffer.end())};
    return ok;
}

bool TDriveCommands::CurrentWriteParameters(std::vector<uint8_t>& answer)
{
    answer.assign(512, 0);
    return AskOnce(uint32_t(op::ModeSense10) << 8 | 0x05, answer, [&] { return ModeSense(0x05, false, answer); });
}

bool TDriveCommands::SendWriteParameters(std::vector<uint8_t> answer, std::size_t at, std::size_t pageBytes)
{
    uint8_t* p = answer.data() + at;
    // PS (page byte 0, bit 7) says in MODE SENSE that the page can be saved; it is reserved
    // in a page sent, and some drives refuse a page that has it.
    p[0] &= 0x7F;
    std::vector<uint8_t> out(8, 0);  // mode parameter header without block descriptors
    out.insert(out.end(), p, p + pageBytes);
    if (!ModeSelect(out))
        return false;
    // The drive now holds this page: later changes start from it without asking again.
    const auto known = facts_.find(uint32_t(op::ModeSense10) << 8 | 0x05);
    if (known != facts_.end() && factsSelection_ == t_.SelectionCount())
        known->second.data = answer;
    return true;
}

std::size_t TDriveCommands::PageOffset(const uint8_t* d, uint8_t page, std::size_t fallback)
{
    if ((d[16] & 0x3F) == page)
        return 16;
    if ((d[8] & 0x3F) != page && (d[7] & 0x3F) == page)
        return 7;
    return fallback;
}

bool TDriveCommands::ReadCapabilities()
{
    CapabilityFlags = 0;
    DeviceMaxWriteSpeed = DeviceMaxReadSpeed = 0;
    CapabilitiesPage.fill(0);
    std::array<uint8_t, 128> buffer{};
    uint8_t* b = buffer.data();
    if (AskOnce(uint32_t(op::ModeSense10) << 8 | 0xAA, buffer, [&] { return ModeSense(0x2A, true, buffer); })) {
        const std::size_t at = PageOffset(b, 0x2A, 8);
        std::memcpy(CapabilitiesPage.data(), b + at, 22);
        const uint8_t* p = CapabilitiesPage.data();
        if (p[2] & 0x01) CapabilityFlags |= cap::CdrRead;
        if (p[2] & 0x02) CapabilityFlags |= cap::CdrwRead;
        if (p[2] & 0x04) CapabilityFlags |= cap::Method2;
        if (p[2] & 0x08) CapabilityFlags |= cap::DvdRomRead;
        if (p[2] & 0x10) CapabilityFlags |= cap::DvdrRead;
        if (p[2] & 0x20) CapabilityFlags |= cap::DvdRamRead;
        if (p[3] & 0x01) CapabilityFlags |= cap::CdrWrite;
        if (p[3] & 0x02) CapabilityFlags |= cap::CdrwWrite;
        if (p[3] & 0x04) CapabilityFlags |= cap::TestWrite;
        if (p[3] & 0x10) CapabilityFlags |= cap::DvdrWrite;
        if (p[3] & 0x20) CapabilityFlags |= cap::DvdRamWrite;
        if (p[4] & 0x80) CapabilityFlags |= cap::UnderrunFree;
        DeviceMaxWriteSpeed = SpeedFromKBs(be16(p + 18));
        DeviceMaxReadSpeed = SpeedFromKBs(be16(p + 8));
        if (CapabilityFlags & cap::DvdRamWrite) {
            if (DeviceMaxWriteSpeed == 0) DeviceMaxWriteSpeed = 1;
            if (DeviceMaxReadSpeed == 0) DeviceMaxReadSpeed = 1;
        }
    }
    std::array<uint8_t, 128> p30{};
    if (AskOnce(uint32_t(op::ModeSense10) << 8 | 0x30, p30, [&] { return ModeSense(0x30, false, p30); }) &&
        (p30[16] == 0x30 || p30[8] == 0x30 || p30[7] == 0x30))
        CapabilityFlags |= cap::UnderrunFree;
    const TSelectedDrive drive = t_.Drive();
    if (drive.underrunFree)
        CapabilityFlags |= cap::UnderrunFree;
    std::array<uint8_t, 114> features{};
    const uint8_t* f = features.data();
    const auto feature = [&](uint16_t code) {
        return AskOnce(uint32_t(op::GetConfiguration) << 16 | code, features,
                       [&] { return GetConfiguration(code, features); });
    };
    if (feature(0x2A) && be16(f + 8) == 0x2A) {
        CapabilityFlags |= cap::DvdPlusRwPresent;
        if (f[10] == 1)
            CapabilityFlags |= cap::DvdPlusRwCurrent;
    }
    if (feature(0x2F) && be16(f + 8) == 0x2F) {
        CapabilityFlags |= cap::DvdrRead;
        if (f[10] & 1)
            CapabilityFlags |= cap::DvdrWrite;
    }
    if (!ModeSense(0x2A, false, buffer))
        return false;
    const std::size_t at = PageOffset(b, 0x2A, 8);
    std::memcpy(CapabilitiesPage.data(), b + at, 22);
    if (CapabilityFlags & cap::DvdRamWrite) {
        CapabilitiesPage[18] = CapabilitiesPage[20] = 0;
        CapabilitiesPage[19] = CapabilitiesPage[21] = 177;
    }
    DeviceMaxWriteSpeed = std::max(DeviceMaxWriteSpeed, SpeedFromKBs(be16(CapabilitiesPage.data() + 18)));
    DeviceMaxReadSpeed = std::max(DeviceMaxReadSpeed, SpeedFromKBs(be16(CapabilitiesPage.data() + 8)));
    return true;
}

int TDriveCommands::GetDiscType()
{
    std::array<uint8_t, 114> f{};
    int type = dtUnknown;
    if (GetConfiguration(0, f)) {
        switch (be16(&f[6])) {
        case 0x0008: type = dtCdRom; break;
        case 0x0009: type = dtCdR; break;
        case 0x000A: type = dtCdRw; break;
        case 0x0010: type = dtDvdRom; break;
        case 0x0011: type = dtDvdR; break;
        case 0x0012: type = dtDvdRam; break;
        case 0x0013:
        case 0x0014: type = dtDvdRw; break;
        case 0x001A: type = dtDvdPlusRw; break;
        case 0x001B: type = dtDvdPlusR; break;
        case 0x0020: type = dtDdcdRom; break;
        case 0x0021: type = dtDdcdR; break;
        case 0x0022: type = dtDdcdRw; break;
        default: type = dtUnknown;
        }
    }
    if (type == dtUnknown) {
        std::array<uint8_t, 26> atip{};
        if (ReadTocPmaAtip(4, true, 0, atip))
            type = (atip[6] & 0x80) ? ((atip[6] & 0x40) ? dtCdRw : dtCdR) : dtCdRom;
        std::array<uint8_t, 56> di{};
        const bool info = ReadDiscInformation(di);
        if (type == dtUnknown && info)
            type = (di[2] & 0x10) ? dtCdRw : dtCdR;
        if (type == dtUnknown && TestUnitReady(5000))
            type = dtCdRom;
    }
    return type;
}

bool TDriveCommands::SetWriteParameters(bool testWrite, bool underrunProtection, int discType)
{
    // DVD-RAM is written like a hard disk: it has no write parameters page.
    if (discType == dtDvdRam)
        return true;
    std::vector<uint8_t> b;
    if (!CurrentWriteParameters(b))
        return false;
    const std::size_t at = PageOffset(b.data(), 0x05, 8);
    const TSelectedDrive drive = t_.Drive();
    uint8_t* p = WriteParametersPage.data();
    std::memcpy(p, b.data() + at, 54);
    p[0] &= 0x7F;
    // Byte 2 of the write parameters page: bits 0-3 write type (1 track-at-once, 2 for
    // DVD+R's sequential mode with 20h set), 10h test write, 20h LS_V (link size valid),
    // 40h buffer-underrun-free recording. Byte 3: bits 0-3 track mode (4 data track,
    // 5 data track written incrementally on DVD-R), bits 6-7 multi-session (11b: a next
    // session may follow; 00b: the disc is closed with this session). Byte 4: data block
    // type (8: mode 1, 2048 user bytes).
    p[1] = 0x32;
    p[2] = discType == dtDvdPlusR ? 0x22 : 0x01;
    p[3] = 0x04;
    p[4] = 0x08;
    if (drive.lsvBit)
        p[2] |= 0x20;
    auto multiSession = [&] {
        if (!testWrite && !FinalizeDisc)
            p[3] |= 0xC0;
    };
    multiSession();
    if ((CapabilityFlags & cap::UnderrunFree) && underrunProtection)
        p[2] |= 0x40;
    else
        p[2] &= 0xBF;  // 40h clear
    if (discType == dtDvdR || discType == dtDvdRw) {
        // DVD-R/RW: incremental writing (type 2) of a mode 1 data track.
        p[3] = 0x05;
        p[2] = underrunProtection ? 0x42 : 0x02;
        p[4] = 0x08;
    } else if (drive.dvrDrive) {
        // Those drives want track-at-once with underrun protection always on.
        p[2] = 0x41;
        multiSession();
    }
    if ((CapabilityFlags & cap::TestWrite) && testWrite)
        p[2] |= 0x10;
    else
        p[2] &= 0xEF;  // 10h clear
    // Link size, reserved, initiator application code, session format (00h: CD-DA or
    // CD-ROM) and packet size: 0. DVD+R links in blocks of 16 sectors.
    std::memset(p + 5, 0, 9);
    if (discType == dtDvdPlusR)
        p[5] = 16;
    std::copy(p, p + WriteParametersPage.size(), b.begin() + static_cast<std::ptrdiff_t>(at));
    return SendWriteParameters(std::move(b), at, std::size_t(p[1]) + 2);
}

void TDriveCommands::ProbeWriteModes()
{
    WriteModes = 0;
    const struct { uint8_t writeType, blockType, bit; } kModes[] = {{3, 1, 1}, {2, 0, 2}, {1, 0, 4}};
    for (const auto& m : kModes) {
        std::vector<uint8_t> b;
        if (!CurrentWriteParameters(b))
            return;
        const std::size_t at = PageOffset(b.data(), 0x05, 8);
        uint8_t* p = b.data() + at;
        p[2] = static_cast<uint8_t>((p[2] & 0xF0) | m.writeType);
        p[3] = 0;
        p[4] = m.blockType;
        p[8] = p[9] = 0;
        p[14] = 0;
        p[15] = 150;
        if (SendWriteParameters(b, at, std::max<std::size_t>(std::size_t(p[1]) + 2, 16)))
            WriteModes |= m.bit;
    }
}

bool TDriveCommands::GetNextWritableAddress(uint32_t* address)
{
    WaitReady(10000, 500);
    const bool finalize = FinalizeDisc;
    FinalizeDisc = true;
    SetWriteParameters(TestWrite, UnderrunProtection, DiscType);
    FinalizeDisc = finalize;
    WaitReady(10000, 500);
    std::array<uint8_t, 38> ti{};
    if (!ReadTrackInformation(0xFF, ti)) {
        *address = 0;
        return false;
    }
    *address = be32(&ti[12]);
    return true;
}

uint32_t TDriveCommands::FreeDiscBlocks()
{
    DiscType = GetDiscType();
    const bool finalize = FinalizeDisc;
    FinalizeDisc = true;
    SetWriteParameters(false, UnderrunProtection, DiscType);
    FinalizeDisc = finalize;
    std::array<uint8_t, 38> ti{};
    bool ok = ReadTrackInformation(DiscType < dtDvdRom ? 0xFF : 1, ti);
    if (!ok) {
        std::array<uint8_t, 4> toc{};
        if (ReadTocPmaAtip(1, false, 0, toc))
            ok = ReadTrackInformation(uint32_t(toc[3]) + 1, ti);
    }
    return ok ? std::max(be32(&ti[16]), be32(&ti[24])) : 0;
}

int TDriveCommands::LastSessionNumber()
{
    std::array<uint8_t, 4> toc{};
    return ReadTocPmaAtip(1, false, 0, toc) ? toc[3] : 0;
}

// Waits until the drive has finished what it is doing (a close, a flush, spinning up) and
// answers without "not ready" (ASC 04h), within a budget of `total` ms. The drive is asked
// first and the wait only follows a "not ready" answer, so a ready drive costs no time; the
// pauses start short and grow to `step` ms, and the budget is spent by the pauses. The
// drive is asked in three ways, because drives differ in which command reports the state
// of a running operation: READ DISC INFORMATION first (it fails while the disc is busy),
// then TEST UNIT READY, then REQUEST SENSE, whose answer beginning F0h (current sense with
// a valid information field, which drives use while they report progress) also counts as
// still working. Some drives need TEST UNIT READY polled slowly before anything else.
bool TDriveCommands::WaitReady(int total, int step)
{
    std::array<uint8_t, 40> buffer{};
    uint8_t bufferAsc = 0;
    const TSelectedDrive d = t_.Drive();
    // The next pause: short at first (most operations end within a fraction of a second),
    // doubling up to the step.
    int pause = std::min(step, kFirstPauseMs);
    const auto wait = [&](int longest) {
        const int ms = std::min(pause, longest);
        Pause(ms);
        total -= ms;
        pause = std::min(longest, pause * 2);
        return total >= 0;
    };
    if (d.dvrDrive || d.extraPolling) {
        pause = 1500;
        while (!TestUnitReady(5000) && LastAsc() == kAscNotReady && wait(1500)) {
        }
        if (total < 0)
            total = 0;
        pause = std::min(step, kFirstPauseMs);
    }
    if (DiscType == dtDvdRam) {
        // DVD-RAM answers READ DISC INFORMATION while it works: go straight to REQUEST SENSE.
        bufferAsc = kAscNotReady;
    } else {
        std::array<uint8_t, 56> di{};
        while (!ReadDiscInformation(di) && LastAsc() == kAscNotReady)
            if (!wait(step))
                return false;
    }
    if (TestUnitReady(5000) && bufferAsc == 0)
        return true;
    while (LastAsc() == kAscNotReady) {
        if (!wait(step))
            return false;
        TestUnitReady(5000);
    }
    for (;;) {
        RequestSense(buffer);
        bufferAsc = DecodeSense(buffer).asc;
        if (buffer[0] == 0xF0)
            bufferAsc = kAscNotReady;
        if (bufferAsc == 0)
            return true;
        if (bufferAsc == kAscNotReady) {
            if (!wait(step))
                return false;
        } else {
            // Another answer is not a wait: it is counted against the budget all the same,
            // so that a drive that never clears it ends the loop.
            total -= step;
            if (total < 0)
                return false;
        }
    }
}
