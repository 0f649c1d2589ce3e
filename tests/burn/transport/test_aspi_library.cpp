// A transport library for tests: the two ASPI entry points over the emulated recorder
// whose image TEST_ASPI_IMAGE names (a new name opens that disc). With TEST_ASPI_HANG set,
// commands never complete.

#include "burn/emulated/emulated_drive.h"
#include "burn/transport/scsi_srb.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {
TEmulatedDrive* drive()
{
    static std::string opened;
    static std::unique_ptr<TEmulatedDrive> d;
    const char* image = std::getenv("TEST_ASPI_IMAGE");
    if (image && opened != image) {
        std::string error;
        d = TEmulatedDrive::Open(image, &error);
        opened = image;
    }
    return d.get();
}

// TEST_ASPI_ADAPTER=1 puts the drive at 1:0:0 (two adapters); otherwise it is at 0:1:0.
int adapter()
{
    const char* a = std::getenv("TEST_ASPI_ADAPTER");
    return a ? std::atoi(a) : 0;
}

void signal(void* event)
{
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(event));
    const uint64_t one = 1;
    if (fd > 0)
        (void)::write(fd, &one, sizeof one);
}
}  // namespace

extern "C" __attribute__((visibility("default"))) uint32_t GetASPI32SupportInfo()
{
    return (aspi::SS_COMP << 8) | 1;
}

extern "C" __attribute__((visibility("default"))) uint32_t SendASPI32Command(void* request)
{
    auto* h = static_cast<aspi::SRB_Header*>(request);
    if (h->SRB_Cmd == aspi::SC_HA_INQUIRY) {
        auto* q = static_cast<aspi::SRB_HAInquiry*>(request);
        q->HA_Count = static_cast<uint8_t>(adapter() + 1);
        std::memcpy(q->HA_ManagerId, "TEST ASPI LAYER ", 16);
        std::memset(q->HA_Identifier, 0, 16);
        std::memcpy(q->HA_Identifier, "TESTHA", 6);
        h->SRB_Status = h->SRB_HaId <= adapter() ? aspi::SS_COMP : aspi::SS_INVALID_HA;
        return h->SRB_Status;
    }
    if (h->SRB_Cmd == aspi::SC_ABORT_SRB || h->SRB_Cmd == aspi::SC_GET_DISK_INFO) {
        h->SRB_Status = h->SRB_Cmd == aspi::SC_ABORT_SRB ? aspi::SS_COMP : aspi::SS_ERR;
        return h->SRB_Status;
    }
    if (h->SRB_Cmd != aspi::SC_EXEC_SCSI_CMD) {
        h->SRB_Status = aspi::SS_INVALID_CMD;
        return h->SRB_Status;
    }
    auto* srb = static_cast<aspi::SRB_ExecSCSICmd*>(request);
    const int target = adapter() == 0 ? 1 : 0;
    if (!drive() || h->SRB_HaId != adapter() || srb->SRB_Target != target || srb->SRB_Lun != 0) {
        h->SRB_Status = aspi::SS_NO_DEVICE;
        return h->SRB_Status;
    }
    if (std::getenv("TEST_ASPI_HANG") && srb->CDBByte[0] != 0x12) {
        h->SRB_Status = aspi::SS_PENDING;
        return h->SRB_Status;
    }
    uint8_t sense[32] = {};
    const uint8_t status = drive()->Execute(srb->CDBByte, srb->SRB_CDBLen, srb->SRB_BufPointer, srb->SRB_BufLen, sense);
    if (status == 0) {
        h->SRB_Status = aspi::SS_COMP;
    } else {
        h->SRB_Status = aspi::SS_ERR;
        srb->SRB_HaStat = 0;
        srb->SRB_TargStat = status;
        std::memcpy(srb->SenseArea, sense, sizeof srb->SenseArea);
    }
    signal(srb->SRB_PostProc);
    return h->SRB_Status;
}
