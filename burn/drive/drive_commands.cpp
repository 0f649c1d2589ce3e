#include "burn/drive/drive_commands.h"

#include "burn/transport/scsi_opcodes.h"
#include "core/base/byte_order.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace {
using aspi::SRB_DIR_IN;
using aspi::SRB_DIR_OUT;
using bytes::be16;
using bytes::be32;

std::vector<uint8_t> cdb10(uint8_t code)
{
    std::vector<uint8_t> c(10, 0);
    c[0] = code;
    return c;
}

std::vector<uint8_t> cdb12(uint8_t code)
{
    std::vector<uint8_t> c(12, 0);
    c[0] = code;
    return c;
}

// The allocation length of a reply into buffer: its size, at most what 16 bits can say.
uint16_t allocationLength(std::span<uint8_t> buffer)
{
    return static_cast<uint16_t>(std::min<std::size_t>(buffer.size(), 0xFFFF));
}

// Additional sense code 04h: "logical unit not ready" (becoming ready, operation or long
// write in progress): the drive is working and will answer later.
constexpr uint8_t kAscNotReady = 0x04;
// The first pause of a wait for a drive that said "not ready".
constexpr int kFirstPauseMs = 50;
}  // namespace

const char* DiscTypeName(int type)
{
    static const char* kNames[] = {"UNKNOWN", "CD-ROM", "CD-R", "CD-RW", "DVD-ROM", "DVD-R", "DVD-RAM",
                                   "DVD-RW", "DVD-RW", "DVD+RW", "DVD+R", "DDCD-ROM", "DDCD-R", "DDCD-RW"};
    return type >= 0 && type <= 13 ? kNames[type] : kNames[0];
}

TDriveCommands::TDriveCommands(TScsiTransport& transport) : t_(transport) {}

bool TDriveCommands::Run(const std::vector<uint8_t>& cdb, uint8_t dir, uint8_t* buffer, uint32_t length,
                         int timeoutMs)
{
    return t_.Command(cdb, dir, buffer, length, timeoutMs, &last_);
}

void TDriveCommands::Pause(int ms) const
{
    if (Timing.pause)
        Timing.pause(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms / std::max(1, Timing.waitDivisor)));
}

int TDriveCommands::SpeedFromKBs(uint32_t kbs)
{
    return static_cast<int>(std::lround(kbs / 176.46));
}

bool TDriveCommands::TestUnitReady(int timeoutMs)
{
    return Run({op::TestUnitReady, 0, 0, 0, 0, 0}, 0, nullptr, 0, timeoutMs);
}

bool TDriveCommands::RequestSense(uint8_t* buffer, uint8_t length)
{
    return Run({op::RequestSense, 0, 0, 0, length, 0}, SRB_DIR_IN, buffer, length, 10000);
}

bool TDriveCommands::Inquiry(std::span<uint8_t> buffer)
{
    std::vector<uint8_t> c{op::Inquiry, 0, 0, 0, 0, 0};
    const uint16_t length = allocationLength(buffer);
    bytes::putBe16(&c[3], length);
    return Run(c, SRB_DIR_IN, buffer.data(), length, 10000);
}

bool TDriveCommands::RezeroUnit()
{
    return Run({op::RezeroUnit, 0, 0, 0, 0, 0}, 0, nullptr, 0, 10000);
}

bool TDriveCommands::LoadUnload(bool eject)
{
    return Run({op::StartStopUnit, 0, 0, 0, static_cast<uint8_t>(eject ? 0x02 : 0x03), 0}, 0, nullptr, 0, 20000);
}

bool TDriveCommands::PreventRemoval(bool prevent)
{
    return Run({op::PreventAllowRemoval, 0, 0, 0, static_cast<uint8_t>(prevent ? 1 : 0), 0}, 0, nullptr, 0, 10000);
}

bool TDriveCommands::Read10(uint32_t sector, uint16_t count, uint8_t* buffer)
{
    std::vector<uint8_t> c = cdb10(op::Read10);
    bytes::putBe32(&c[2], sector);
    c[7] = count >> 8;
    c[8] = count & 0xFF;
    return Run(c, SRB_DIR_IN, buffer, uint32_t(count) * 2048, 10000);
}

bool TDriveCommands::Write10(uint32_t sector, uint16_t count, const uint8_t* buffer)
{
    std::vector<uint8_t> c = cdb10(op::Write10);
    bytes::putBe32(&c[2], sector);
    c[7] = count >> 8;
    c[8] = count & 0xFF;
    return Run(c, SRB_DIR_OUT, const_cast<uint8_t*>(buffer), uint32_t(count) * 2048, 120000);
}

bool TDriveCommands::SynchronizeCache(bool immediate, int timeoutMs)
{
    std::vector<uint8_t> c = cdb10(op::SynchronizeCache);
    c[1] = immediate ? 0x02 : 0;
    return Run(c, 0, nullptr, 0, timeoutMs);
}

bool TDriveCommands::ReadTocPmaAtip(uint8_t format, bool msf, uint8_t trackOrSession, uint8_t* buffer,
                                    uint16_t length)
{
    std::vector<uint8_t> c = cdb10(op::ReadTocPmaAtip);
    c[1] = msf ? 0x02 : 0;
    c[2] = format;
    c[6] = trackOrSession;
    c[7] = length >> 8;
    c[8] = length & 0xFF;
    std::memset(buffer, 0, length);
    return Run(c, SRB_DIR_IN, buffer, length, 10000);
}

bool TDriveCommands::GetConfiguration(uint16_t feature, std::span<uint8_t> buffer)
{
    std::vector<uint8_t> c = cdb10(op::GetConfiguration);
    c[1] = 2;  // the one feature asked for
    bytes::putBe16(&c[2], feature);
    const uint16_t length = allocationLength(buffer);
    bytes::putBe16(&c[7], length);
    std::fill_n(buffer.begin(), length, uint8_t{0});
    return Run(c, SRB_DIR_IN, buffer.data(), length, 30000);
}

bool TDriveCommands::ReadDiscInformation(std::span<uint8_t> buffer)
{
    std::vector<uint8_t> c = cdb10(op::ReadDiscInformation);
    const uint16_t length = allocationLength(buffer);
    bytes::putBe16(&c[7], length);
    std::fill_n(buffer.begin(), length, uint8_t{0});
    return Run(c, SRB_DIR_IN, buffer.data(), length, 10000);
}

bool TDriveCommands::ReadTrackInformation(uint32_t track, std::span<uint8_t> buffer)
{
    std::vector<uint8_t> c = cdb10(op::ReadTrackInformation);
    c[1] = 0x01;  // the address is a track number
    bytes::putBe32(&c[2], track);
    const uint16_t length = allocationLength(buffer);
    bytes::putBe16(&c[7], length);
    std::fill_n(buffer.begin(), length, uint8_t{0});
    return Run(c, SRB_DIR_IN, buffer.data(), length, 60000);
}

bool TDriveCommands::SendOpc()
{
    std::vector<uint8_t> c = cdb10(op::SendOpcInformation);
    c[1] = 0x01;
    return Run(c, 0, nullptr, 0, 150000);
}

bool TDriveCommands::ModeSense(uint8_t page, bool defaults, uint8_t* buffer, uint16_t length)
{
    std::vector<uint8_t> c = cdb10(op::ModeSense10);
    c[2] = static_cast<uint8_t>(page | (defaults ? 0x80 : 0));
    c[7] = length >> 8;
    c[8] = length & 0xFF;
    std::memset(buffer, 0, length);
    return Run(c, SRB_DIR_IN, buffer, length, 20000);
}

bool TDriveCommands::ModeSelect(const uint8_t* buffer, uint16_t length)
{
    std::vector<uint8_t> c = cdb10(op::ModeSelect10);
    c[1] = 0x10;
    c[7] = length >> 8;
    c[8] = length & 0xFF;
    return Run(c, SRB_DIR_OUT, const_cast<uint8_t*>(buffer), length, 10000);
}

bool TDriveCommands::CloseSession(bool immediate)
{
    std::vector<uint8_t> c = cdb10(op::CloseTrackSession);
    c[1] = immediate ? 0x01 : 0;
    c[2] = 0x02;
    return Run(c, 0, nullptr, 0, 180000);
}

bool TDriveCommands::ReadBufferCapacity()
{
    std::vector<uint8_t> c = cdb10(op::ReadBufferCapacity);
    c[8] = 32;
    uint8_t b[32] = {};
    if (!Run(c, SRB_DIR_IN, b, 32, 10000)) {
        DeviceFreeBufferSize = 0;
        return false;
    }
    DeviceBufferSize = be32(b + 4);
    DeviceFreeBufferSize = be32(b + 8);
    if (DeviceFreeBufferSize == 0xFFFFFFFF)
        DeviceFreeBufferSize = DeviceBufferSize;
    return true;
}

bool TDriveCommands::SetCdSpeed()
{
    const uint16_t read = ReadSpeed == 0 ? 0xFFFF : static_cast<uint16_t>(ReadSpeed * 177);
    const uint16_t write = WriteSpeed == 0 ? 0xFFFF : static_cast<uint16_t>(WriteSpeed * 177);
    return SetCdSpeedKBs(read, write);
}

bool TDriveCommands::SetCdSpeedKBs(uint16_t readKBs, uint16_t writeKBs)
{
    std::vector<uint8_t> c = cdb12(op::SetCdSpeed);
    bytes::putBe16(&c[2], readKBs);
    bytes::putBe16(&c[4], writeKBs);
    return Run(c, 0, nullptr, 0, 10000);
}

bool TDriveCommands::SetStreaming(const uint8_t* descriptor, uint16_t length)
{
    std::vector<uint8_t> c = cdb12(op::SetStreaming);
    bytes::putBe16(&c[9], length);
    return Run(c, SRB_DIR_OUT, const_cast<uint8_t*>(descriptor), length, 10000);
}

bool TDriveCommands::SendDvdStructure(uint8_t format, const uint8_t* data, uint16_t length)
{
    std::vector<uint8_t> c = cdb12(op::SendDvdStructure);
    c[7] = format;
    bytes::putBe16(&c[8], length);
    return Run(c, SRB_DIR_OUT, const_cast<uint8_t*>(data), length, 10000);
}

bool TDriveCommands::ReserveTrack(uint32_t sectors)
{
    std::vector<uint8_t> c = cdb10(op::ReserveTrack);
    bytes::putBe32(&c[5], sectors);
    uint8_t unused[8] = {};
    return Run(c, 0, unused, 0, 10000);
}

bool TDriveCommands::AskOnce(uint32_t key, uint8_t* buffer, uint32_t length, const std::function<bool()>& ask)
{
    if (factsSelection_ != t_.SelectionCount()) {
        facts_.clear();
        factsSelection_ = t_.SelectionCount();
    }
    const auto known = facts_.find(key);
    if (known != facts_.end()) {
        std::copy_n(known->second.data.begin(), std::min<std::size_t>(length, known->second.data.size()), buffer);
        last_ = known->second.result;
        return last_.ok;
    }
    const bool ok = ask();
    // ILLEGAL REQUEST: the drive does not know the page or feature, and will not later.
    constexpr uint8_t kIllegalRequest = 0x05;
    if (ok || (!last_.transportError && !last_.busy && last_.senseKey() == kIllegalRequest))
        facts_[key] = {last_, std::vector<uint8_t>(buffer, buffer + length)};
    return ok;
}

bool TDriveCommands::CurrentWriteParameters(std::vector<uint8_t>& answer)
{
    answer.assign(512, 0);
    return AskOnce(uint32_t(op::ModeSense10) << 8 | 0x05, answer.data(), 512,
                   [&] { return ModeSense(0x05, false, answer.data(), 512); });
}

bool TDriveCommands::SendWriteParameters(std::vector<uint8_t> answer, int at, int pageBytes)
{
    uint8_t* p = answer.data() + at;
    // PS (page byte 0, bit 7) says in MODE SENSE that the page can be saved; it is reserved
    // in a page sent, and some drives refuse a page that has it.
    p[0] &= 0x7F;
    std::vector<uint8_t> out(8, 0);  // mode parameter header without block descriptors
    out.insert(out.end(), p, p + pageBytes);
    if (!ModeSelect(out.data(), static_cast<uint16_t>(out.size())))
        return false;
    // The drive now holds this page: later changes start from it without asking again.
    const auto known = facts_.find(uint32_t(op::ModeSense10) << 8 | 0x05);
    if (known != facts_.end() && factsSelection_ == t_.SelectionCount())
        known->second.data = answer;
    return true;
}

int TDriveCommands::PageOffset(const uint8_t* d, uint8_t page, int fallback)
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
    uint8_t b[128];
    if (AskOnce(uint32_t(op::ModeSense10) << 8 | 0xAA, b, 128, [&] { return ModeSense(0x2A, true, b, 128); })) {
        const int at = PageOffset(b, 0x2A, 8);
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
    uint8_t p30[128];
    if (AskOnce(uint32_t(op::ModeSense10) << 8 | 0x30, p30, 128, [&] { return ModeSense(0x30, false, p30, 128); }) &&
        (p30[16] == 0x30 || p30[8] == 0x30 || p30[7] == 0x30))
        CapabilityFlags |= cap::UnderrunFree;
    const TSelectedDrive drive = t_.Drive();
    if (drive.underrunFree)
        CapabilityFlags |= cap::UnderrunFree;
    uint8_t f[114];
    const auto feature = [&](uint16_t code) {
        return AskOnce(uint32_t(op::GetConfiguration) << 16 | code, f, sizeof f,
                       [&] { return GetConfiguration(code, f); });
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
    if (!ModeSense(0x2A, false, b, 128))
        return false;
    const int at = PageOffset(b, 0x2A, 8);
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
    uint8_t f[114];
    int type = dtUnknown;
    if (GetConfiguration(0, f)) {
        switch (be16(f + 6)) {
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
        uint8_t atip[26];
        if (ReadTocPmaAtip(4, true, 0, atip, sizeof atip))
            type = (atip[6] & 0x80) ? ((atip[6] & 0x40) ? dtCdRw : dtCdR) : dtCdRom;
        uint8_t di[56];
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
    const int at = PageOffset(b.data(), 0x05, 8);
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
        p[2] &= ~0x40;
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
        p[2] &= ~0x10;
    // Link size, reserved, initiator application code, session format (00h: CD-DA or
    // CD-ROM) and packet size: 0. DVD+R links in blocks of 16 sectors.
    std::memset(p + 5, 0, 9);
    if (discType == dtDvdPlusR)
        p[5] = 16;
    std::copy(p, p + WriteParametersPage.size(), b.begin() + at);
    return SendWriteParameters(std::move(b), at, p[1] + 2);
}

void TDriveCommands::ProbeWriteModes()
{
    WriteModes = 0;
    const struct { uint8_t writeType, blockType, bit; } kModes[] = {{3, 1, 1}, {2, 0, 2}, {1, 0, 4}};
    for (const auto& m : kModes) {
        std::vector<uint8_t> b;
        if (!CurrentWriteParameters(b))
            return;
        const int at = PageOffset(b.data(), 0x05, 8);
        uint8_t* p = b.data() + at;
        p[2] = static_cast<uint8_t>((p[2] & 0xF0) | m.writeType);
        p[3] = 0;
        p[4] = m.blockType;
        p[8] = p[9] = 0;
        p[14] = 0;
        p[15] = 150;
        if (SendWriteParameters(b, at, std::max<int>(p[1] + 2, 16)))
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
    uint8_t ti[38];
    if (!ReadTrackInformation(0xFF, ti)) {
        *address = 0;
        return false;
    }
    *address = be32(ti + 12);
    return true;
}

uint32_t TDriveCommands::FreeDiscBlocks()
{
    DiscType = GetDiscType();
    const bool finalize = FinalizeDisc;
    FinalizeDisc = true;
    SetWriteParameters(false, UnderrunProtection, DiscType);
    FinalizeDisc = finalize;
    uint8_t ti[38];
    bool ok = ReadTrackInformation(DiscType < dtDvdRom ? 0xFF : 1, ti);
    if (!ok) {
        uint8_t toc[4];
        if (ReadTocPmaAtip(1, false, 0, toc, 4))
            ok = ReadTrackInformation(uint32_t(toc[3]) + 1, ti);
    }
    return ok ? std::max(be32(ti + 16), be32(ti + 24)) : 0;
}

int TDriveCommands::LastSessionNumber()
{
    uint8_t toc[4];
    return ReadTocPmaAtip(1, false, 0, toc, 4) ? toc[3] : 0;
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
    uint8_t buffer[40] = {};
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
        uint8_t di[56];
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
        std::memset(buffer, 0, sizeof buffer);
        RequestSense(buffer, 40);
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
