#include "burn/transport/scsi_transport.h"

#include "burn/transport/scsi_command_names.h"
#include "burn/transport/scsi_opcodes.h"
#include "core/base/byte_order.h"
#include "core/base/posix_io.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <sys/eventfd.h>

namespace {

// Commands whose failures are expected in normal use (probing, polling) and not logged.
constexpr uint8_t kQuietCodes[] = {op::TestUnitReady,       op::RezeroUnit,          op::Inquiry,
                                   op::StartStopUnit,       op::PreventAllowRemoval, op::ReadFormatCapacities,
                                   op::SynchronizeCache,    op::ReadTocPmaAtip,      op::GetConfiguration,
                                   op::ReadDiscInformation, op::ReadTrackInformation, op::ModeSelect10,
                                   op::ModeSense10,         op::ReadBufferCapacity,  op::SetStreaming,
                                   op::SetCdSpeed};

std::string hex2(unsigned v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

std::string hexShort(unsigned v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%X", v & 0xFF);
    return b;
}

std::string hex4(unsigned v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%04X", v & 0xFFFF);
    return b;
}

std::string trimmed(const char* text, std::size_t n)
{
    std::string s(text, strnlen(text, n));
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    while (!s.empty() && s.front() == ' ')
        s.erase(0, 1);
    return s;
}

}  // namespace

TScsiTransport& ScsiTransport()
{
    static TScsiTransport transport;
    return transport;
}

TScsiTransport::TScsiTransport(TScsiTransportConfig config) : config_(std::move(config)) {}

TScsiTransport::~TScsiTransport() = default;

bool TScsiTransport::Configure(TScsiTransportConfig config)
{
    if (held_)
        return false;
    std::lock_guard setup(setupMutex_);
    config_ = std::move(config);
    return true;
}

TScsiTransportConfig TScsiTransport::Config() const
{
    std::lock_guard setup(setupMutex_);
    return config_;
}

void TScsiTransport::Attach(const void* owner, TScsiTransportEvents events)
{
    std::lock_guard setup(setupMutex_);
    std::erase_if(listeners_, [owner](const auto& l) { return l.first == owner; });
    listeners_.emplace(held_ && !listeners_.empty() ? listeners_.begin() : listeners_.end(), owner,
                       std::move(events));
}

void TScsiTransport::Detach(const void* owner)
{
    std::lock_guard setup(setupMutex_);
    std::erase_if(listeners_, [owner](const auto& l) { return l.first == owner; });
}

TScsiTransportEvents TScsiTransport::Events() const
{
    std::lock_guard setup(setupMutex_);
    return listeners_.empty() ? TScsiTransportEvents() : listeners_.back().second;
}

void TScsiTransport::Post(int kind, const std::string& text)
{
    // A copy, called without the lock: the device may call back into the transport.
    if (const TMessagePoster post = Events().onMessage)
        post(kind, text);
}

std::string TScsiTransport::LayerName() const
{
    std::lock_guard lock(commandMutex_);
    return layer_ ? layer_->Name() : std::string();
}

bool TScsiTransport::BuiltInLayerActive() const
{
    std::lock_guard lock(commandMutex_);
    return layer_ && layer_->Name() == "PTASPI32";
}

void TScsiTransport::SetCloseAfterCommand(bool on)
{
    std::lock_guard lock(commandMutex_);
    if (layer_)
        BuiltInSetCloseAfterCommand(*layer_, on);
}

std::vector<std::string> TScsiTransport::DeviceList() const
{
    std::lock_guard lock(stateMutex_);
    return devices_;
}

TSelectedDrive TScsiTransport::Drive() const
{
    std::lock_guard lock(stateMutex_);
    return drive_;
}

std::string TScsiTransport::LastError() const
{
    std::lock_guard lock(stateMutex_);
    return last_.error;
}

bool TScsiTransport::TargetBusy() const
{
    std::lock_guard lock(stateMutex_);
    return last_.busy;
}

std::array<uint8_t, 32> TScsiTransport::Sense() const
{
    std::lock_guard lock(stateMutex_);
    return last_.sense;
}

uint8_t TScsiTransport::LastAsc() const
{
    std::lock_guard lock(stateMutex_);
    return last_.asc();
}

bool TScsiTransport::InitASPILayer(bool preferBuiltIn)
{
    std::lock_guard lock(commandMutex_);
    const TScsiTransportConfig config = Config();
    preferBuiltIn_ = preferBuiltIn;
    layer_.reset();
    active_ = false;
    if (virtualTargetPath_ != config.virtualDrivePath) {
        virtualTarget_.reset();
        virtualTargetPath_ = config.virtualDrivePath;
    }
    std::vector<std::string> notices;
    if (!virtualTarget_ && !config.virtualDrivePath.empty()) {
        std::string error = config.virtualDrivePath + ": no drive can be opened for it";
        if (config.openVirtualTarget)
            virtualTarget_ = config.openVirtualTarget(config.virtualDrivePath, config.virtualDriveSpeedX, &error);
        if (!virtualTarget_)
            notices.push_back(error);
    }
    std::unique_ptr<IScsiLayer> builtIn =
        MakeBuiltInLayer(config.deviceNodes, config.virtualDrivePath, virtualTarget_, &notices);
    for (const std::string& n : notices)
        Post(bmInformation, ">>> " + n);
    const bool builtInHasDrives = BuiltInDriveCount(*builtIn) > 0;
    if (preferBuiltIn && builtInHasDrives) {
        layer_ = std::move(builtIn);
    } else {
        std::string problem, loaded;
        layer_ = MakeLibraryLayer(config.libraryNames, &problem, &loaded);
        if (!problem.empty())
            Post(bmDriveError, problem);
        if (layer_)
            Post(bmInformation, ">>> TRANSPORT LIBRARY " + loaded);
        if (!layer_ && builtInHasDrives)
            layer_ = std::move(builtIn);
    }
    if (!layer_)
        return false;
    active_ = true;
    layer_->GetSupportInfo();

    aspi::SRB_HAInquiry inquiry{};
    inquiry.h.SRB_Cmd = aspi::SC_HA_INQUIRY;
    inquiry.h.SRB_HaId = 0;
    layer_->SendCommand(&inquiry);
    // A layer that cannot answer the adapter inquiry is searched on every adapter number
    // a request block can carry (255); one that reports no adapters on the usual eight
    // (7, with the host's own controller taking the eighth address).
    hostAdapterCount_ = inquiry.h.SRB_Status == aspi::SS_COMP ? inquiry.HA_Count : 255;
    if (hostAdapterCount_ == 0)
        hostAdapterCount_ = 7;
    EnumerateDevices();
    return true;
}

bool TScsiTransport::Reinitialise()
{
    std::lock_guard lock(commandMutex_);
    Shutdown();
    return InitASPILayer(preferBuiltIn_);
}

void TScsiTransport::Shutdown()
{
    std::lock_guard lock(commandMutex_);
    active_ = false;
    layer_.reset();
    std::lock_guard state(stateMutex_);
    devices_.clear();
}

void TScsiTransport::LogFailure(const aspi::SRB_ExecSCSICmd& srb, const std::string& error)
{
    const uint8_t op = srb.CDBByte[0];
    if (std::find(std::begin(kQuietCodes), std::end(kQuietCodes), op) != std::end(kQuietCodes))
        return;
    const TSenseData sense = DecodeSense(srb.SenseArea);
    if (sense.asc == 0x04 && sense.ascq == 0x08)
        return;
    std::string line = "<<< " + ScsiCommandName(op) + " " + "(" + hex2(op) + ") {" + hex2(srb.h.SRB_Flags) +
                       "|" + hex2(srb.SRB_CDBLen) + "} - " + std::to_string(srb.h.SRB_HaId) + ":" +
                       hexShort(srb.SRB_Target) + ":" +
                       std::to_string(srb.SRB_Lun) + " <" + hex2(srb.h.SRB_Status) + ">" + " [" +
                       hex4(srb.SRB_BufLen) + "]" + " ";
    for (int i = 1; i <= 15; ++i)
        line += hex2(srb.CDBByte[i]) + " ";
    line += " | ";
    const uint32_t shown = std::min<uint32_t>(srb.SRB_BufPointer ? srb.SRB_BufLen : 0, 257);
    for (uint32_t i = 0; i < shown; ++i)
        line += hex2(srb.SRB_BufPointer[i]) + " ";
    line += "= " + hex2(srb.SRB_HaStat) + " " + hex2(srb.SRB_TargStat) + " " + hex2(srb.SenseArea[0]) + " " +
            hex2(srb.SenseArea[2]) + " " + "ASC:" + hex2(sense.asc) + ",ASQ:" + hex2(sense.ascq) +
            " " + error;
    Post(bmDriveError, line);
}

void TScsiTransport::ExecSCSICommand(aspi::SRB_ExecSCSICmd& srb, int timeoutMs)
{
    const TSelectedDrive drive = Drive();
    Execute(srb, timeoutMs, {drive.ha, drive.target, drive.lun}, nullptr);
}

void TScsiTransport::Execute(aspi::SRB_ExecSCSICmd& srb, int timeoutMs, Address address, TScsiResult* result)
{
    std::lock_guard lock(commandMutex_);
    TScsiResult outcome;
    {
        // Cleared at the start of every command, also of one refused below.
        std::lock_guard state(stateMutex_);
        last_ = TScsiResult();
    }
    if (!layer_ || address.ha == 254) {
        if (result)
            *result = outcome;
        return;
    }
    posix::UniqueFd event;
    if (srb.h.SRB_Flags & aspi::SRB_EVENT_NOTIFY) {
        event.reset(::eventfd(0, EFD_CLOEXEC));
        srb.SRB_PostProc = reinterpret_cast<void*>(static_cast<intptr_t>(event.get()));
    }
    srb.h.SRB_Cmd = aspi::SC_EXEC_SCSI_CMD;
    srb.h.SRB_HaId = address.ha;
    srb.SRB_Target = address.target;
    srb.SRB_Lun = address.lun;
    srb.SRB_SenseLen = aspi::kSenseLength;
    srb.CDBByte[1] = static_cast<uint8_t>((srb.CDBByte[1] & 0x1F) | (address.lun << 5));
    if (srb.CDBByte[0] == op::NotSent)
        srb.h.SRB_Status = aspi::SS_COMP;
    else
        layer_->SendTimed(&srb, timeoutMs);
    if (event.valid() && srb.h.SRB_Status == aspi::SS_PENDING) {
        pollfd p{event.get(), POLLIN, 0};
        int minimumWaitMs = 0;
        {
            std::lock_guard setup(setupMutex_);
            minimumWaitMs = config_.minimumWaitMs;
        }
        posix::pollFor(&p, 1, std::max(timeoutMs, minimumWaitMs));
    }
    if (srb.h.SRB_Status != aspi::SS_PENDING && srb.h.SRB_Status != aspi::SS_COMP) {
        outcome.error = StatusText(srb, &outcome.busy);
        outcome.transportError = srb.h.SRB_Status == aspi::SS_ERR && srb.SRB_HaStat != 0;
        std::memcpy(outcome.sense.data(), srb.SenseArea, outcome.sense.size());
        LogFailure(srb, outcome.error);
    }
    event.reset();
    if (srb.h.SRB_Status == aspi::SS_PENDING) {
        aspi::SRB_Abort abort{};
        abort.h.SRB_Cmd = aspi::SC_ABORT_SRB;
        abort.h.SRB_HaId = address.ha;
        abort.SRB_ToAbort = &srb;
        layer_->SendCommand(&abort);
        srb.h.SRB_Status = aspi::SS_ERR;
        srb.SRB_HaStat = aspi::HASTAT_TIMEOUT;
        outcome.error = StatusText(srb, &outcome.busy);
        outcome.transportError = true;
    }
    outcome.ok = srb.h.SRB_Status == aspi::SS_COMP;
    if (layer_->Name() == "PTASPI32")
        outcome.residual = bytes::le32(&srb.SRB_Rsvd3[aspi::kResidualOffset]);
    {
        std::lock_guard state(stateMutex_);
        last_ = outcome;
    }
    if (result)
        *result = std::move(outcome);
}

namespace {

// The request block of one command: the CDB (at most 16 bytes), its direction and buffer,
// completion through an event.
aspi::SRB_ExecSCSICmd requestBlock(const std::vector<uint8_t>& cdb, uint8_t dir, uint8_t* buffer, uint32_t length)
{
    aspi::SRB_ExecSCSICmd srb{};
    srb.h.SRB_Flags = static_cast<uint8_t>(aspi::SRB_EVENT_NOTIFY | dir);
    srb.SRB_BufLen = length;
    srb.SRB_BufPointer = buffer;
    const std::size_t n = std::min<std::size_t>(cdb.size(), sizeof srb.CDBByte);
    srb.SRB_CDBLen = static_cast<uint8_t>(n);
    std::copy_n(cdb.begin(), n, srb.CDBByte);
    return srb;
}

}  // namespace

bool TScsiTransport::Command(const std::vector<uint8_t>& cdb, uint8_t dir, uint8_t* buffer, uint32_t length,
                             int timeoutMs, TScsiResult* result)
{
    aspi::SRB_ExecSCSICmd srb = requestBlock(cdb, dir, buffer, length);
    const TSelectedDrive drive = Drive();
    Execute(srb, timeoutMs, {drive.ha, drive.target, drive.lun}, result);
    return srb.h.SRB_Status == aspi::SS_COMP;
}

bool TScsiTransport::CommandTo(const std::string& line, const std::vector<uint8_t>& cdb, uint8_t dir,
                               uint8_t* buffer, uint32_t length, int timeoutMs)
{
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (line.size() < 5 || !digit(line[0]) || !digit(line[2]) || !digit(line[4]))
        return false;
    aspi::SRB_ExecSCSICmd srb = requestBlock(cdb, dir, buffer, length);
    Execute(srb, timeoutMs,
            {static_cast<uint8_t>(line[0] - '0'), static_cast<uint8_t>(line[2] - '0'),
             static_cast<uint8_t>(line[4] - '0')},
            nullptr);
    return srb.h.SRB_Status == aspi::SS_COMP;
}

bool TScsiTransport::Inquiry(uint8_t ha, uint8_t target, uint8_t lun, std::array<uint8_t, 128>& data)
{
    // Sent to the given address without touching the selected drive, which the write
    // thread may be using.
    data.fill(0);
    aspi::SRB_ExecSCSICmd srb{};
    srb.h.SRB_Flags = aspi::SRB_EVENT_NOTIFY | aspi::SRB_DIR_IN;
    srb.SRB_BufLen = 128;
    srb.SRB_BufPointer = data.data();
    srb.SRB_CDBLen = 6;
    srb.CDBByte[0] = op::Inquiry;
    srb.CDBByte[4] = 128;
    Execute(srb, 10000, {ha, target, lun}, nullptr);
    return srb.h.SRB_Status == aspi::SS_COMP;
}

std::string TScsiTransport::DeviceNodeOf(uint8_t ha, uint8_t target, uint8_t lun)
{
    std::string node = layer_ ? BuiltInDeviceNode(*layer_, ha, target, lun) : std::string();
    if (!node.empty())
        return node;
    aspi::SRB_GetDiskInfo info{};
    info.h.SRB_Cmd = aspi::SC_GET_DISK_INFO;
    info.h.SRB_HaId = ha;
    info.SRB_Target = target;
    info.SRB_Lun = lun;
    layer_->SendCommand(&info);
    if (info.h.SRB_Status == aspi::SS_COMP)
        return std::string(1, static_cast<char>('A' + info.SRB_Int13HDriveInfo)) + ":";
    return "?:";
}

void TScsiTransport::EnumerateDevices()
{
    std::lock_guard lock(commandMutex_);
    std::vector<std::string> devices;
    if (!layer_) {
        std::lock_guard state(stateMutex_);
        devices_.clear();
        return;
    }
    if (DoDebug)
        Post(bmInformation, ">>> " + layer_->Name());
    for (int ha = 0; ha < hostAdapterCount_ && ha < 255; ++ha) {
        aspi::SRB_HAInquiry inquiry{};
        inquiry.h.SRB_Cmd = aspi::SC_HA_INQUIRY;
        inquiry.h.SRB_HaId = static_cast<uint8_t>(ha);
        layer_->SendCommand(&inquiry);
        if (inquiry.h.SRB_Status != aspi::SS_COMP)
            continue;
        if (DoDebug)
            Post(bmInformation, ">>> " + std::string(inquiry.HA_ManagerId, 16) + " (" +
                                    trimmed(inquiry.HA_Identifier, 16) + ")");
        for (uint8_t target = 0; target < 8; ++target) {
            for (uint8_t lun = 0; lun < 8; ++lun) {
                std::array<uint8_t, 128> data;
                if (!Inquiry(static_cast<uint8_t>(ha), target, lun, data))
                    continue;
                const uint8_t type = data[0] & 0x1F;
                if (type != 5 && type != 4)
                    continue;
                std::string line = std::to_string(ha) + ":" + std::to_string(target) + ":" + std::to_string(lun) +
                                   "," + DeviceNodeOf(static_cast<uint8_t>(ha), target, lun) + " " +
                                   std::string(reinterpret_cast<const char*>(&data[8]), 28);
                if (type == 4)
                    line += " (not supported)";
                devices.push_back(line);
            }
        }
    }
    std::lock_guard state(stateMutex_);
    devices_ = std::move(devices);
    last_.error.clear();
}

std::string TScsiTransport::KernelAddress(const std::string& line) const
{
    std::lock_guard lock(commandMutex_);
    if (!layer_ || line.size() < 5)
        return {};
    const sgio::Address a = BuiltInKernelAddress(*layer_, static_cast<uint8_t>(line[0] - '0'),
                                                 static_cast<uint8_t>(line[2] - '0'),
                                                 static_cast<uint8_t>(line[4] - '0'));
    return a.known() ? a.text() : std::string();
}

bool TScsiTransport::ClaimDrive(std::string* reason)
{
    std::lock_guard lock(commandMutex_);
    const TSelectedDrive d = Drive();
    if (!layer_ || !d.selected())
        return true;
    const int error = BuiltInClaim(*layer_, d.ha, d.target, d.lun, true);
    if (error == 0) {
        held_ = true;
        return true;
    }
    const std::string node = BuiltInDeviceNode(*layer_, d.ha, d.target, d.lun);
    if (reason) {
        if (error == EBUSY)
            *reason = "DRIVE " + node + " IS IN USE BY ANOTHER PROGRAM (MOUNTED OR OPENED EXCLUSIVELY)";
        else {
            std::string text = posix::errnoMessage(error);
            for (char& c : text)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            *reason = "CANNOT OPEN DRIVE " + node + " (" + text + ")";
        }
    }
    return false;
}

void TScsiTransport::ReleaseDrive()
{
    std::lock_guard lock(commandMutex_);
    const TSelectedDrive d = Drive();
    if (layer_ && d.selected())
        BuiltInClaim(*layer_, d.ha, d.target, d.lun, false);
    held_ = false;
}

void TScsiTransport::Deselect()
{
    std::lock_guard state(stateMutex_);
    drive_ = TSelectedDrive();
}

bool TScsiTransport::SelectDevice(const std::string& line)
{
    auto invalid = [this, &line] {
        if (!line.empty())
            Post(bmDriveError, "INVALID DEVICE ID / NOT A CD OR DVD DRIVE");
        Deselect();
        return false;
    };
    if (line.size() <= 4)
        return invalid();
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!digit(line[0]) || !digit(line[2]) || !digit(line[4]))
        return invalid();
    TSelectedDrive drive;
    drive.ha = static_cast<uint8_t>(line[0] - '0');
    drive.target = static_cast<uint8_t>(line[2] - '0');
    drive.lun = static_cast<uint8_t>(line[4] - '0');
    drive.line = line;
    ++selections_;
    {
        std::lock_guard state(stateMutex_);
        drive_ = drive;
    }
    if (const std::function<void()> read = Events().onReadCapabilities)
        read();
    std::array<uint8_t, 128> data;
    if (!Inquiry(drive.ha, drive.target, drive.lun, data) || ((data[0] & 0x1F) != 5 && (data[0] & 0x1F) != 4))
        return invalid();
    drive.inquiry = data;
    const std::string product16(reinterpret_cast<const char*>(&data[16]), 16);
    const std::string product = trimmed(product16.c_str(), 16);
    const std::string vendor = trimmed(reinterpret_cast<const char*>(&data[8]), 8);
    drive.underrunFree = product == "CD-W512EB";
    drive.lsvBit = product == "CRX175E" || product == "CD-RW  CRX800E";
    drive.extraPolling = (!product.empty() && std::string("UJDA").find(product[0]) != std::string::npos) ||
                         (!vendor.empty() && std::string("TDK").find(vendor[0]) != std::string::npos);
    drive.immediateClose = product != "CDRW321040X";
    drive.dvrDrive = product16 == "DVD-RW  DVR-103 " || product16 == "DVD-RW  DVR-104 ";
    if (drive.dvrDrive)
        drive.immediateClose = true;
    {
        std::lock_guard state(stateMutex_);
        drive_ = drive;
    }
    if (const std::function<void()> selected = Events().onSelected)
        selected();
    return true;
}
