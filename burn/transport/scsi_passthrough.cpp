// The built-in transport layer (name PTASPI32): the ASPI request blocks carried out with
// the Linux SG_IO pass-through on /dev/sr* devices, plus a virtual drive (a target
// handed in, such as the emulated recorder) when one is configured. Requests complete before SendCommand returns; the event is not signalled.

#include "burn/transport/scsi_opcodes.h"
#include "burn/transport/scsi_transport.h"
#include "burn/transport/sg_io.h"
#include "core/base/byte_order.h"
#include "core/base/device_access.h"
#include "core/base/posix_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr uint8_t kLunMarker = 250;
// INQUIRY at start, before a drive has a command of its own.
constexpr unsigned kInquiryTimeoutMs = 10000;

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
    sgio::Address kernel;  // unknown for a drive without an address of its own
    posix::UniqueFd fd;
    bool exclusive = false;  // fd is open with O_EXCL for a burn
    std::array<uint8_t, 40> inquiry{};
    std::shared_ptr<IScsiTarget> virtualTarget;  // a drive answered without the pass-through
    // Adapters are the kernel's (host, channel) pairs.
    int adapterKey() const { return kernel.known() ? (kernel.host << 8) | kernel.channel : -1; }
};

sgio::Direction directionOf(uint8_t flags)
{
    return (flags & aspi::SRB_DIR_IN)    ? sgio::Direction::FromDevice
           : (flags & aspi::SRB_DIR_OUT) ? sgio::Direction::ToDevice
                                         : sgio::Direction::None;
}

class BuiltInLayer : public IScsiLayer {
public:
    BuiltInLayer(const std::vector<std::string>& nodes, const std::string& virtualDrive,
                 std::shared_ptr<IScsiTarget> target, std::vector<std::string>* notices)
    {
        int madeUp = 0;
        for (const std::string& node : nodes) {
            struct stat st {};
            if (::stat(node.c_str(), &st) != 0)
                continue;
            posix::UniqueFd fd = sgio::Open(node, false);
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
            const sgio::Outcome o =
                sgio::Run(fd.get(), cdb, sgio::Direction::FromDevice, answer, 96, kInquiryTimeoutMs, sense);
            if (o.failure != sgio::Failure::None || o.status != 0)
                continue;
            std::memcpy(slot.inquiry.data(), answer, 40);
            slot.kernel = sgio::AddressOf(fd.get());
            if (slot.kernel.known() && slot.kernel.target < 256 && slot.kernel.lun < 256) {
                slot.target = static_cast<uint8_t>(slot.kernel.target);
                slot.lun = static_cast<uint8_t>(slot.kernel.lun);
            } else {
                slot.kernel = sgio::Address();
                slot.target = static_cast<uint8_t>(madeUp++);
                slot.lun = kLunMarker;
            }
            slots_.push_back(std::move(slot));
        }
        // One digit per adapter in a device line: the kernel's hosts become adapters 0 to 9,
        // and the map back to the kernel's numbers is kept.
        std::vector<int> kernelHosts;
        for (const Slot& s : slots_)
            kernelHosts.push_back(s.adapterKey());
        const std::vector<int> hosts = AdapterHosts(kernelHosts);
        slots_.erase(std::remove_if(slots_.begin(), slots_.end(),
                                    [&hosts](const Slot& s) {
                                        return s.kernel.known() &&
                                               std::find(hosts.begin(), hosts.end(), s.adapterKey()) == hosts.end();
                                    }),
                     slots_.end());
        for (Slot& s : slots_)
            if (s.kernel.known())
                s.ha = static_cast<uint8_t>(std::find(hosts.begin(), hosts.end(), s.adapterKey()) - hosts.begin());
        if (!virtualDrive.empty() && target) {
            Slot slot;
            slot.virtualTarget = std::move(target);
            slot.node = virtualDrive;
            const auto inq = slot.virtualTarget->InquiryData();
            std::memcpy(slot.inquiry.data(), inq.data(), 36);
            slot.target = static_cast<uint8_t>(madeUp++);
            slot.lun = kLunMarker;
            slots_.push_back(std::move(slot));
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

    uint32_t SendCommand(void* request) override { return SendTimed(request, kDefaultCommandTimeoutMs); }

    uint32_t SendTimed(void* request, int timeoutMs) override
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
            execute(*static_cast<aspi::SRB_ExecSCSICmd*>(request), timeoutMs);
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
    IScsiTarget* Target() const
    {
        for (const Slot& s : slots_)
            if (s.virtualTarget)
                return s.virtualTarget.get();
        return nullptr;
    }
    std::string NodeOf(uint8_t ha, uint8_t target, uint8_t lun) const
    {
        const Slot* s = const_cast<BuiltInLayer*>(this)->find(ha, target, lun);
        return s ? s->node : std::string();
    }
    sgio::Address KernelAddress(uint8_t ha, uint8_t target, uint8_t lun) const
    {
        const Slot* s = const_cast<BuiltInLayer*>(this)->find(ha, target, lun);
        return s ? s->kernel : sgio::Address();
    }
    // Opens the drive exclusively (on) or gives the exclusive hold up. 0 or the errno.
    int Claim(uint8_t ha, uint8_t target, uint8_t lun, bool on)
    {
        Slot* s = find(ha, target, lun);
        if (!s || s->virtualTarget || s->exclusive == on)
            return 0;
        if (!on) {
            s->fd.reset();
            s->exclusive = false;
            return 0;
        }
        posix::UniqueFd fd = sgio::Open(s->node, true);
        if (!fd.valid())
            return errno;
        s->fd = std::move(fd);
        s->exclusive = true;
        return 0;
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

    void execute(aspi::SRB_ExecSCSICmd& srb, int timeoutMs)
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
        uint8_t sense[aspi::kSenseAreaSize] = {};
        sgio::Outcome o;
        if (slot->virtualTarget) {
            o.status = slot->virtualTarget->Execute(srb.CDBByte, srb.SRB_CDBLen, srb.SRB_BufPointer, srb.SRB_BufLen, sense);
            if (o.status == IScsiTarget::kTransportFailure) {  // as if the pass-through call failed
                o.status = 0;
                o.failure = sgio::Failure::Errno;
                o.value = EIO;
            }
        } else {
            if (!slot->fd.valid())
                slot->fd = sgio::Open(slot->node, false);
            if (slot->fd.valid()) {
                // A command without a time-out of its own gets the kernel's usual minute.
                const unsigned timeout = timeoutMs > 0 ? static_cast<unsigned>(timeoutMs) : 60000u;
                o = sgio::Run(slot->fd.get(), std::span<const uint8_t>(srb.CDBByte, srb.SRB_CDBLen),
                              directionOf(srb.h.SRB_Flags), srb.SRB_BufPointer, srb.SRB_BufLen, timeout, sense);
            } else {
                o.failure = sgio::Failure::Errno;
                o.value = static_cast<uint32_t>(errno);
            }
            if (closeAfterCommand && !slot->exclusive)
                slot->fd.reset();
        }
        ToRequestBlock(o, sense, srb);
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
                                             std::shared_ptr<IScsiTarget> target,
                                             std::vector<std::string>* notices)
{
    return std::make_unique<BuiltInLayer>(nodes.empty() ? defaultNodes() : nodes, virtualDrive, std::move(target),
                                          notices);
}

sgio::Address BuiltInKernelAddress(IScsiLayer& layer, uint8_t ha, uint8_t target, uint8_t lun)
{
    auto* b = dynamic_cast<BuiltInLayer*>(&layer);
    return b ? b->KernelAddress(ha, target, lun) : sgio::Address();
}

int BuiltInClaim(IScsiLayer& layer, uint8_t ha, uint8_t target, uint8_t lun, bool on)
{
    auto* b = dynamic_cast<BuiltInLayer*>(&layer);
    return b ? b->Claim(ha, target, lun, on) : 0;
}

void ToRequestBlock(const sgio::Outcome& o, const uint8_t* sense, aspi::SRB_ExecSCSICmd& srb)
{
    std::memset(srb.SRB_Rsvd3, 0, sizeof srb.SRB_Rsvd3);
    bytes::putLe32(&srb.SRB_Rsvd3[aspi::kResidualOffset], o.residual);
    if (o.failure != sgio::Failure::None) {
        // Failed below the drive: a failed command with its own text, never a check
        // condition with empty sense data that a caller would retry.
        srb.h.SRB_Status = aspi::SS_ERR;
        srb.SRB_HaStat = aspi::HASTAT_TRANSPORT;
        srb.SRB_TargStat = 0;
        srb.SRB_Rsvd3[0] = static_cast<uint8_t>(o.failure);
        bytes::putLe32(&srb.SRB_Rsvd3[1], o.value);
        std::memset(srb.SenseArea, 0, sizeof srb.SenseArea);
    } else if (o.status != 0) {
        srb.h.SRB_Status = aspi::SS_ERR;
        srb.SRB_HaStat = aspi::HASTAT_OK;
        srb.SRB_TargStat = o.status;
        std::memcpy(srb.SenseArea, sense, sizeof srb.SenseArea);
    } else {
        srb.h.SRB_Status = aspi::SS_COMP;
    }
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

IScsiTarget* BuiltInTarget(IScsiLayer* layer)
{
    auto* b = dynamic_cast<BuiltInLayer*>(layer);
    return b ? b->Target() : nullptr;
}
