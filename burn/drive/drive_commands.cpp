#include "burn/drive/drive_commands.h"

#include "burn/sector_size.h"
#include "burn/transport/scsi_opcodes.h"
#include "core/base/byte_order.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

// One function per command. Each CDB is built as the command table lays it out: the
// operation code in byte 0, then the fields at their byte offsets, multi-byte fields
// big-endian through the byte-order helpers.

namespace {
using aspi::SRB_DIR_IN;
using aspi::SRB_DIR_OUT;
using bytes::be32;
using bytes::putBe16;
using bytes::putBe32;

std::vector<uint8_t> cdb6(uint8_t code)
{
    std::vector<uint8_t> c(6, 0);
    c[0] = code;
    return c;
}

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

// The length field of a transfer into or out of a buffer: its size, at most what 16 bits
// can say.
uint16_t fieldLength(std::size_t size)
{
    return static_cast<uint16_t>(std::min<std::size_t>(size, 0xFFFF));
}
}  // namespace

const char* DiscTypeName(int type)
{
    static const char* kNames[] = {"UNKNOWN", "CD-ROM", "CD-R", "CD-RW", "DVD-ROM", "DVD-R", "DVD-RAM",
                                   "DVD-RW", "DVD-RW", "DVD+RW", "DVD+R", "DDCD-ROM", "DDCD-R", "DDCD-RW"};
    return type >= 0 && type <= 13 ? kNames[type] : kNames[0];
}

TDriveCommands::TDriveCommands(TScsiTransport& transport) : t_(transport) {}

bool TDriveCommands::Run(const std::vector<uint8_t>& cdb, int timeoutMs)
{
    return t_.Command(cdb, 0, nullptr, 0, timeoutMs, &last_);
}

bool TDriveCommands::RunIn(const std::vector<uint8_t>& cdb, std::span<uint8_t> buffer, int timeoutMs)
{
    std::fill(buffer.begin(), buffer.end(), uint8_t{0});
    return t_.Command(cdb, SRB_DIR_IN, buffer.data(), static_cast<uint32_t>(buffer.size()), timeoutMs, &last_);
}

bool TDriveCommands::RunOut(const std::vector<uint8_t>& cdb, std::span<const uint8_t> data, int timeoutMs)
{
    // The request block's pointer serves both directions; data going out is only read.
    return t_.Command(cdb, SRB_DIR_OUT, const_cast<uint8_t*>(data.data()), static_cast<uint32_t>(data.size()),
                      timeoutMs, &last_);
}

bool TDriveCommands::Refuse(const char* why)
{
    last_ = TScsiResult();
    last_.error = why;
    return false;
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
    return Run(cdb6(op::TestUnitReady), timeoutMs);
}

bool TDriveCommands::RequestSense(std::span<uint8_t> buffer)
{
    std::vector<uint8_t> c = cdb6(op::RequestSense);
    c[4] = static_cast<uint8_t>(std::min<std::size_t>(buffer.size(), 0xFF));  // allocation length
    return RunIn(c, buffer.first(c[4]), 10000);
}

bool TDriveCommands::Inquiry(std::span<uint8_t> buffer)
{
    std::vector<uint8_t> c = cdb6(op::Inquiry);
    const uint16_t length = fieldLength(buffer.size());
    putBe16(&c[3], length);  // allocation length
    return RunIn(c, buffer.first(length), 10000);
}

bool TDriveCommands::RezeroUnit()
{
    return Run(cdb6(op::RezeroUnit), 10000);
}

bool TDriveCommands::LoadUnload(bool eject)
{
    std::vector<uint8_t> c = cdb6(op::StartStopUnit);
    c[4] = eject ? 0x02 : 0x03;  // LoEj, Start
    return Run(c, 20000);
}

bool TDriveCommands::PreventRemoval(bool prevent)
{
    std::vector<uint8_t> c = cdb6(op::PreventAllowRemoval);
    c[4] = prevent ? 1 : 0;  // Prevent
    return Run(c, 10000);
}

bool TDriveCommands::Read10(uint32_t sector, uint16_t count, std::span<uint8_t> buffer)
{
    const std::size_t bytes = std::size_t(count) * kSectorSize;
    if (buffer.size() < bytes)
        return Refuse("BUFFER TOO SMALL");
    std::vector<uint8_t> c = cdb10(op::Read10);
    putBe32(&c[2], sector);  // logical block address
    putBe16(&c[7], count);   // transfer length in sectors
    return RunIn(c, buffer.first(bytes), 10000);
}

bool TDriveCommands::Write10(uint32_t sector, uint16_t count, std::span<const uint8_t> data)
{
    const std::size_t bytes = std::size_t(count) * kSectorSize;
    if (data.size() < bytes)
        return Refuse("BUFFER TOO SMALL");
    std::vector<uint8_t> c = cdb10(op::Write10);
    putBe32(&c[2], sector);  // logical block address
    putBe16(&c[7], count);   // transfer length in sectors
    return RunOut(c, data.first(bytes), 120000);
}

bool TDriveCommands::SynchronizeCache(bool immediate, int timeoutMs)
{
    std::vector<uint8_t> c = cdb10(op::SynchronizeCache);
    c[1] = immediate ? 0x02 : 0;  // Immed
    return Run(c, timeoutMs);
}

bool TDriveCommands::ReadTocPmaAtip(uint8_t format, bool msf, uint8_t trackOrSession, std::span<uint8_t> buffer)
{
    std::vector<uint8_t> c = cdb10(op::ReadTocPmaAtip);
    c[1] = msf ? 0x02 : 0;  // MSF
    c[2] = format;
    c[6] = trackOrSession;
    const uint16_t length = fieldLength(buffer.size());
    putBe16(&c[7], length);  // allocation length
    return RunIn(c, buffer.first(length), 10000);
}

bool TDriveCommands::GetConfiguration(uint16_t feature, std::span<uint8_t> buffer)
{
    std::vector<uint8_t> c = cdb10(op::GetConfiguration);
    c[1] = 2;                 // RT: the one feature asked for
    putBe16(&c[2], feature);  // starting feature number
    const uint16_t length = fieldLength(buffer.size());
    putBe16(&c[7], length);   // allocation length
    return RunIn(c, buffer.first(length), 30000);
}

bool TDriveCommands::ReadDiscInformation(std::span<uint8_t> buffer)
{
    std::vector<uint8_t> c = cdb10(op::ReadDiscInformation);
    const uint16_t length = fieldLength(buffer.size());
    putBe16(&c[7], length);  // allocation length
    return RunIn(c, buffer.first(length), 10000);
}

bool TDriveCommands::ReadTrackInformation(uint32_t track, std::span<uint8_t> buffer)
{
    std::vector<uint8_t> c = cdb10(op::ReadTrackInformation);
    c[1] = 0x01;             // the address is a track number
    putBe32(&c[2], track);
    const uint16_t length = fieldLength(buffer.size());
    putBe16(&c[7], length);  // allocation length
    return RunIn(c, buffer.first(length), 60000);
}

bool TDriveCommands::SendOpc()
{
    std::vector<uint8_t> c = cdb10(op::SendOpcInformation);
    c[1] = 0x01;  // DoOpc
    return Run(c, 150000);
}

bool TDriveCommands::ModeSense(uint8_t page, bool defaults, std::span<uint8_t> buffer)
{
    std::vector<uint8_t> c = cdb10(op::ModeSense10);
    c[2] = static_cast<uint8_t>(page | (defaults ? 0x80 : 0));  // page control, page code
    const uint16_t length = fieldLength(buffer.size());
    putBe16(&c[7], length);  // allocation length
    return RunIn(c, buffer.first(length), 20000);
}

bool TDriveCommands::ModeSelect(std::span<const uint8_t> data)
{
    std::vector<uint8_t> c = cdb10(op::ModeSelect10);
    c[1] = 0x10;  // PF: the pages are in the standard format
    const uint16_t length = fieldLength(data.size());
    putBe16(&c[7], length);  // parameter list length
    return RunOut(c, data.first(length), 10000);
}

bool TDriveCommands::CloseSession(bool immediate)
{
    std::vector<uint8_t> c = cdb10(op::CloseTrackSession);
    c[1] = immediate ? 0x01 : 0;  // Immed
    c[2] = 0x02;                  // close function: the session
    return Run(c, 180000);
}

bool TDriveCommands::ReadBufferCapacity()
{
    std::vector<uint8_t> c = cdb10(op::ReadBufferCapacity);
    std::array<uint8_t, 32> b{};
    putBe16(&c[7], static_cast<uint16_t>(b.size()));  // allocation length
    if (!RunIn(c, b, 10000)) {
        DeviceFreeBufferSize = 0;
        return false;
    }
    DeviceBufferSize = be32(&b[4]);
    DeviceFreeBufferSize = be32(&b[8]);
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
    putBe16(&c[2], readKBs);   // drive read speed
    putBe16(&c[4], writeKBs);  // drive write speed
    return Run(c, 10000);
}

bool TDriveCommands::SetStreaming(std::span<const uint8_t> descriptor)
{
    std::vector<uint8_t> c = cdb12(op::SetStreaming);
    const uint16_t length = fieldLength(descriptor.size());
    putBe16(&c[9], length);  // parameter list length
    return RunOut(c, descriptor.first(length), 10000);
}

bool TDriveCommands::SendDvdStructure(uint8_t format, std::span<const uint8_t> data)
{
    std::vector<uint8_t> c = cdb12(op::SendDvdStructure);
    c[7] = format;
    const uint16_t length = fieldLength(data.size());
    putBe16(&c[8], length);  // parameter list length
    return RunOut(c, data.first(length), 10000);
}

bool TDriveCommands::ReserveTrack(uint32_t sectors)
{
    std::vector<uint8_t> c = cdb10(op::ReserveTrack);
    putBe32(&c[5], sectors);  // reservation size
    return Run(c, 10000);
}
