// The built-in transport layer (name PTASPI32): the ASPI request blocks carried out with
// the Linux SG_IO pass-through on /dev/sr* devices, plus the emulated recorder when one
// is configured. Requests complete before SendCommand returns; the event is not signalled.

#include "burn/emulated/emulated_drive.h"
#include "burn/transport/scsi_opcodes.h"
#include "burn/transport/scsi_transport.h"
#include "core/base/byte_order.h"
#include "core/base/device_access.h"
#include "core/base/posix_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/stat.h>

namespace {

constexpr unsigned kPassThroughTimeoutMs = 120000;
constexpr uint8_t kLunMarker = 250;

// What to do about a recorder node the user may not open, naming the group that owns it.
std::string accessRemedy(const std::string& node)
{
    const devaccess::Facts f = devaccess::factsOf(node);
    switch (devaccess::remedyFor(f)) {
    case devaccess::Remedy::JoinGroup:
        return "JOIN THE GROUP " + f.group + " (sudo adduser $USER " + f.group + ") AND LOG IN AGAIN";
    case devaccess::Remedy::LogInAgain:
        return "LOG IN AGAIN TO USE THE GROUP " + f.group;
    default:
        return "ASK THE ADMINISTRATOR FOR ACCESS TO THIS DEVICE";
    }
}

const char kManagerId[17] = "VOBRELFM SG_IO  ";

struct Slot {
    std::string node;
    uint8_t ha = 0, target = 0, lun = 0;
    int kernelHost = -1;  // the kernel's host number; -1 for a drive without an address
    posix::UniqueFd fd;
    std::array<uint8_t, 40> inquiry{};
    std::shared_ptr<TEmulatedDrive> emulated;
};

posix::UniqueFd openDevice(const std::string& node)
{
    int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    return posix::UniqueFd(fd);
}

// How one SG_IO call ended: the SCSI status when the drive answered, or what failed below it.
struct SgOutcome {
    uint8_t status = 0;
    uint8_t transportKind = 0;  // 0: the drive answered; else aspi::TRANSPORT_*
    uint32_t transportValue = 0;
    unsigned senseLength = 0;
};

// Runs one CDB through SG_IO.
SgOutcome sgCommand(int fd, const uint8_t* cdb, int cdbLength, int direction, uint8_t* data, uint32_t length,
                    uint8_t* sense)
{
    SgOutcome out;
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.cmd_len = static_cast<unsigned char>(cdbLength);
    io.cmdp = const_cast<unsigned char*>(cdb);
    io.dxfer_direction = length == 0 ? SG_DXFER_NONE : direction;
    io.dxfer_len = length;
    io.dxferp = data;
    io.mx_sb_len = 32;
    io.sbp = sense;
    io.timeout = kPassThroughTimeoutMs;
    if (posix::ioctl(fd, SG_IO, &io) < 0) {
        out.transportKind = aspi::TRANSPORT_ERRNO;
        out.transportValue = static_cast<uint32_t>(errno);
        return out;
    }
    out.senseLength = io.sb_len_wr;
    // The low three bits of the driver status carry its verdict; 08h only says that
    // sense data came with the answer.
    if (io.host_status != 0) {
        out.transportKind = aspi::TRANSPORT_HOST;
        out.transportValue = io.host_status;
    } else if ((io.driver_status & 0x07) != 0) {
        out.transportKind = aspi::TRANSPORT_DRIVER;
        out.transportValue = io.driver_status & 0x07;
    }
    out.status = io.status;
    return out;
}

class BuiltInLayer : public IScsiLayer {
public:
    BuiltInLayer(const std::vector<std::string>& nodes, const std::string& virtualDrive,
                 std::shared_ptr<TEmulatedDrive>* emulated, std::vector<std::string>* notices)
    {
        int madeUp = 0;
        for (const std::string& node : nodes) {
            struct stat st {};
            if (::stat(node.c_str(), &st) != 0)
                continue;
            posix::UniqueFd fd = openDevice(node);
            if (!fd.valid()) {
                if ((errno == EACCES || errno == EPERM) && notices)
                    notices->push_back(node + ": ACCESS DENIED - " + accessRemedy(node));
                continue;
            }
            Slot slot;
            slot.node = node;
            const uint8_t cdb[6] = {op::Inquiry, 0, 0, 0, 96, 0};
            uint8_t answer[96] = {};
            uint8_t sense[32];
            const SgOutcome o = sgCommand(fd.get(), cdb, 6, SG_DXFER_FROM_DEV, answer, 96, sense);
            if (o.transportKind != 0 || o.status != 0)
                continue;
            std::memcpy(slot.inquiry.data(), answer, 40);
            sg_scsi_id id{};
            if (posix::ioctl(fd.get(), SG_GET_SCSI_ID, &id) == 0) {
                slot.kernelHost = id.host_no;
                slot.target = static_cast<uint8_t>(id.scsi_id);
                slot.lun = static_cast<uint8_t>(id.lun);
            } else {
                slot.target = static_cast<uint8_t>(madeUp++);
                slot.lun = kLunMarker;
            }
            slots_.push_back(std::move(slot));
        }
        // One digit per adapter in a device line: the kernel's hosts become adapters 0 to 9,
        // and the map back to the kernel's numbers is kept.
        std::vector<int> kernelHosts;
        for (const Slot& s : slots_)
            kernelHosts.push_back(s.kernelHost);
        const std::vector<int> hosts = AdapterHosts(kernelHosts);
        slots_.erase(std::remove_if(slots_.begin(), slots_.end(),
                                    [&hosts](const Slot& s) {
                                        return s.kernelHost >= 0 &&
                                               std::find(hosts.begin(), hosts.end(), s.kernelHost) == hosts.end();
                                    }),
                     slots_.end());
        for (Slot& s : slots_)
            if (s.kernelHost >= 0)
                s.ha = static_cast<uint8_t>(std::find(hosts.begin(), hosts.end(), s.kernelHost) - hosts.begin());
        if (!virtualDrive.empty()) {
            std::string error;
            Slot slot;
            slot.emulated = emulated && *emulated ? *emulated
                                                  : std::shared_ptr<TEmulatedDrive>(TEmulatedDrive::Open(virtualDrive, &error));
            if (emulated)
                *emulated = slot.emulated;
            if (slot.emulated) {
                slot.node = virtualDrive;
                const auto inq = slot.emulated->InquiryData();
                std::memcpy(slot.inquiry.data(), inq.data(), 36);
                slot.target = static_cast<uint8_t>(madeUp++);
                slot.lun = kLunMarker;
                slots_.push_back(std::move(slot));
            } else if (notices) {
                notices->push_back(error);
            }
        }
        // Drives without an address of their own go on an adapter after the real ones.
        adapters_ = countAdapters();
        for (Slot& s : slots_) {
            if (s.lun == kLunMarker) {
                s.lun = 0;
                s.ha = static_cast<uint8_t>(adapters_);
            }
        }
        adapters_ = countAdapters();
    }

    std::string Name() const override { return "PTASPI32"; }

    uint32_t GetSupportInfo() override
    {
        if (adapters_ == 0)
            return aspi::SS_NO_ADAPTERS << 8;
        return (aspi::SS_COMP << 8) | static_cast<uint32_t>(adapters_ & 0xFF);
    }

    uint32_t SendCommand(void* request) override
    {
        auto* h = static_cast<aspi::SRB_Header*>(request);
        switch (h->SRB_Cmd) {
        case aspi::SC_HA_INQUIRY: {
            auto* q = static_cast<aspi::SRB_HAInquiry*>(request);
            q->HA_Count = static_cast<uint8_t>(adapters_);
            if (h->SRB_HaId >= adapters_) {
                h->SRB_Status = aspi::SS_INVALID_HA;
                break;
            }
            q->HA_SCSI_ID = 7;
            std::memcpy(q->HA_ManagerId, kManagerId, 16);
            std::memset(q->HA_Identifier, 0, 16);
            std::memcpy(q->HA_Identifier, "SPTI ", 5);
            q->HA_Identifier[5] = static_cast<char>('0' + h->SRB_HaId % 10);
            std::memset(q->HA_Unique, 0, 16);
            q->HA_Unique[0] = 7;  // buffer alignment mask
            q->HA_Unique[3] = 8;  // maximum targets
            const uint32_t maxTransfer = 0x00FF0000;
            std::memcpy(&q->HA_Unique[4], &maxTransfer, 4);
            h->SRB_Status = aspi::SS_COMP;
            break;
        }
        case aspi::SC_GET_DEV_TYPE: {
            auto* q = static_cast<aspi::SRB_GDEVBlock*>(request);
            const Slot* s = find(h->SRB_HaId, q->SRB_Target, q->SRB_Lun);
            h->SRB_Status = s ? aspi::SS_COMP : aspi::SS_NO_DEVICE;
            q->SRB_DeviceType = s ? 5 : 0x1F;
            break;
        }
        case aspi::SC_EXEC_SCSI_CMD:
            execute(*static_cast<aspi::SRB_ExecSCSICmd*>(request));
            break;
        case aspi::SC_GET_DISK_INFO:
            h->SRB_Status = aspi::SS_PENDING;  // no drive letters through this route
            break;
        case aspi::SC_ABORT_SRB:
            h->SRB_Status = aspi::SS_COMP;
            break;
        default:
            h->SRB_Status = aspi::SS_ERR;
        }
        return h->SRB_Status;
    }

    int DriveCount() const { return static_cast<int>(slots_.size()); }
    TEmulatedDrive* Emulated() const
    {
        for (const Slot& s : slots_)
            if (s.emulated)
                return s.emulated.get();
        return nullptr;
    }
    std::string NodeOf(uint8_t ha, uint8_t target, uint8_t lun) const
    {
        const Slot* s = const_cast<BuiltInLayer*>(this)->find(ha, target, lun);
        return s ? s->node : std::string();
    }
    int KernelHost(uint8_t ha) const
    {
        for (const Slot& s : slots_)
            if (s.ha == ha && s.kernelHost >= 0)
                return s.kernelHost;
        return -1;
    }
    bool closeAfterCommand = false;

private:
    int countAdapters() const
    {
        int highest = -1;
        for (const Slot& s : slots_)
            if (s.lun != kLunMarker)
                highest = std::max<int>(highest, s.ha);
        return highest + 1;
    }

    Slot* find(uint8_t ha, uint8_t target, uint8_t lun)
    {
        for (Slot& s : slots_)
            if (s.ha == ha && s.target == target && s.lun == lun)
                return &s;
        return nullptr;
    }

    void execute(aspi::SRB_ExecSCSICmd& srb)
    {
        Slot* slot = find(srb.h.SRB_HaId, srb.SRB_Target, srb.SRB_Lun);
        if (!slot) {
            srb.h.SRB_Status = aspi::SS_NO_DEVICE;
            return;
        }
        if (srb.CDBByte[0] == op::Inquiry) {  // answered from the stored data
            if (srb.SRB_BufPointer)
                std::memcpy(srb.SRB_BufPointer, slot->inquiry.data(), std::min<uint32_t>(36, srb.SRB_BufLen));
            srb.h.SRB_Status = aspi::SS_COMP;
            return;
        }
        uint8_t sense[32] = {};
        SgOutcome o;
        if (slot->emulated) {
            o.status = slot->emulated->Execute(srb.CDBByte, srb.SRB_CDBLen, srb.SRB_BufPointer, srb.SRB_BufLen, sense);
            if (o.status == TEmulatedDrive::kTransportFailure) {  // as if the pass-through call failed
                o.status = 0;
                o.transportKind = aspi::TRANSPORT_ERRNO;
                o.transportValue = EIO;
            }
        } else {
            if (!slot->fd.valid())
                slot->fd = openDevice(slot->node);
            const int direction = (srb.h.SRB_Flags & aspi::SRB_DIR_IN)    ? SG_DXFER_FROM_DEV
                                  : (srb.h.SRB_Flags & aspi::SRB_DIR_OUT) ? SG_DXFER_TO_DEV
                                                                          : SG_DXFER_NONE;
            if (slot->fd.valid()) {
                o = sgCommand(slot->fd.get(), srb.CDBByte, srb.SRB_CDBLen, direction, srb.SRB_BufPointer,
                              srb.SRB_BufLen, sense);
            } else {
                o.transportKind = aspi::TRANSPORT_ERRNO;
                o.transportValue = static_cast<uint32_t>(errno);
            }
            if (closeAfterCommand)
                slot->fd.reset();
        }
        std::memset(srb.SRB_Rsvd3, 0, sizeof srb.SRB_Rsvd3);
        if (o.transportKind != 0) {
            // Failed below the drive: a failed command with its own text, never a check
            // condition with empty sense data that a caller would retry.
            srb.h.SRB_Status = aspi::SS_ERR;
            srb.SRB_HaStat = aspi::HASTAT_TRANSPORT;
            srb.SRB_TargStat = 0;
            srb.SRB_Rsvd3[0] = o.transportKind;
            bytes::putLe32(&srb.SRB_Rsvd3[1], o.transportValue);
            std::memset(srb.SenseArea, 0, sizeof srb.SenseArea);
        } else if (o.status != 0) {
            srb.h.SRB_Status = aspi::SS_ERR;
            srb.SRB_HaStat = 0;
            srb.SRB_TargStat = o.status;
            std::memcpy(srb.SenseArea, sense, sizeof srb.SenseArea);
        } else {
            srb.h.SRB_Status = aspi::SS_COMP;
        }
    }

    std::vector<Slot> slots_;
    int adapters_ = 0;
};

std::vector<std::string> defaultNodes()
{
    std::vector<std::string> nodes;
    for (int i = 0; i < 16; ++i)
        nodes.push_back("/dev/sr" + std::to_string(i));
    return nodes;
}

}  // namespace

std::vector<int> AdapterHosts(const std::vector<int>& kernelHosts)
{
    std::vector<int> hosts;
    for (int h : kernelHosts)
        if (h >= 0 && std::find(hosts.begin(), hosts.end(), h) == hosts.end())
            hosts.push_back(h);
    std::sort(hosts.begin(), hosts.end());
    if (hosts.size() > 10)
        hosts.resize(10);
    return hosts;
}

std::unique_ptr<IScsiLayer> MakeBuiltInLayer(const std::vector<std::string>& nodes, const std::string& virtualDrive,
                                             std::shared_ptr<TEmulatedDrive>* emulated,
                                             std::vector<std::string>* notices)
{
    return std::make_unique<BuiltInLayer>(nodes.empty() ? defaultNodes() : nodes, virtualDrive, emulated, notices);
}

int BuiltInKernelHost(IScsiLayer& layer, uint8_t ha)
{
    auto* b = dynamic_cast<BuiltInLayer*>(&layer);
    return b ? b->KernelHost(ha) : -1;
}

void BuiltInSetCloseAfterCommand(IScsiLayer& layer, bool on)
{
    if (auto* b = dynamic_cast<BuiltInLayer*>(&layer))
        b->closeAfterCommand = on;
}

int BuiltInDriveCount(IScsiLayer& layer)
{
    auto* b = dynamic_cast<BuiltInLayer*>(&layer);
    return b ? b->DriveCount() : 0;
}

std::string BuiltInDeviceNode(IScsiLayer& layer, uint8_t ha, uint8_t target, uint8_t lun)
{
    auto* b = dynamic_cast<BuiltInLayer*>(&layer);
    return b ? b->NodeOf(ha, target, lun) : std::string();
}

TEmulatedDrive* BuiltInEmulatedDrive(IScsiLayer* layer)
{
    auto* b = dynamic_cast<BuiltInLayer*>(layer);
    return b ? b->Emulated() : nullptr;
}
