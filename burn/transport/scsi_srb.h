#pragma once
// SCSI request blocks in the layout of the ASPI interface, as plain structures, with
// their command numbers, flags and status codes. A loaded transport library receives
// these structures; the built-in layer fills them itself.

#include <cstdint>

namespace aspi {

inline constexpr uint8_t SC_HA_INQUIRY = 0x00;
inline constexpr uint8_t SC_GET_DEV_TYPE = 0x01;
inline constexpr uint8_t SC_EXEC_SCSI_CMD = 0x02;
inline constexpr uint8_t SC_ABORT_SRB = 0x03;
inline constexpr uint8_t SC_GET_DISK_INFO = 0x06;

inline constexpr uint8_t SRB_DIR_IN = 0x08;
inline constexpr uint8_t SRB_DIR_OUT = 0x10;
inline constexpr uint8_t SRB_EVENT_NOTIFY = 0x40;

inline constexpr uint8_t SS_PENDING = 0x00;
inline constexpr uint8_t SS_COMP = 0x01;
inline constexpr uint8_t SS_ABORTED = 0x02;
inline constexpr uint8_t SS_ABORT_FAIL = 0x03;
inline constexpr uint8_t SS_ERR = 0x04;
inline constexpr uint8_t SS_INVALID_CMD = 0x80;
inline constexpr uint8_t SS_INVALID_HA = 0x81;
inline constexpr uint8_t SS_NO_DEVICE = 0x82;
inline constexpr uint8_t SS_INVALID_SRB = 0xE0;
inline constexpr uint8_t SS_BUFFER_ALIGN = 0xE1;
inline constexpr uint8_t SS_NO_ADAPTERS = 0xE8;
inline constexpr uint8_t SS_ASPI_IS_BUSY = 0xE5;
inline constexpr uint8_t SS_BUFFER_TO_BIG = 0xE6;

inline constexpr uint8_t HASTAT_OK = 0x00;
inline constexpr uint8_t HASTAT_TIMEOUT = 0x09;
// The built-in layer's own host adapter status: the command failed below the drive (the
// pass-through call, the host adapter or the driver). SRB_Rsvd3 then says how: byte 0 one
// of the TRANSPORT_ kinds, bytes 1 to 4 the errno or status value, little-endian.
inline constexpr uint8_t HASTAT_TRANSPORT = 0xF0;
inline constexpr uint8_t TRANSPORT_ERRNO = 1;
inline constexpr uint8_t TRANSPORT_HOST = 2;
inline constexpr uint8_t TRANSPORT_DRIVER = 3;
// Linux SG_IO host and driver status values of a command that ran out of time.
inline constexpr uint32_t HOST_TIME_OUT = 0x03;
inline constexpr uint32_t DRIVER_TIME_OUT = 0x06;

inline constexpr int kSenseLength = 14;
inline constexpr int kSenseAreaSize = 32;

#pragma pack(push, 1)
struct SRB_Header {
    uint8_t SRB_Cmd;
    uint8_t SRB_Status;
    uint8_t SRB_HaId;
    uint8_t SRB_Flags;
    uint32_t SRB_Hdr_Rsvd;
};

struct SRB_HAInquiry {
    SRB_Header h;
    uint8_t HA_Count;
    uint8_t HA_SCSI_ID;
    char HA_ManagerId[16];
    char HA_Identifier[16];
    uint8_t HA_Unique[16];
    uint16_t HA_Rsvd1;
};

struct SRB_GDEVBlock {
    SRB_Header h;
    uint8_t SRB_Target;
    uint8_t SRB_Lun;
    uint8_t SRB_DeviceType;
    uint8_t SRB_Rsvd1;
};

struct SRB_ExecSCSICmd {
    SRB_Header h;
    uint8_t SRB_Target;
    uint8_t SRB_Lun;
    uint16_t SRB_Rsvd1;
    uint32_t SRB_BufLen;
    uint8_t* SRB_BufPointer;
    uint8_t SRB_SenseLen;
    uint8_t SRB_CDBLen;
    uint8_t SRB_HaStat;
    uint8_t SRB_TargStat;
    void* SRB_PostProc;  // an AspiEvent* when SRB_EVENT_NOTIFY is set
    void* SRB_Rsvd2;
    uint8_t SRB_Rsvd3[16];
    uint8_t CDBByte[16];
    uint8_t SenseArea[kSenseAreaSize];
};

struct SRB_Abort {
    SRB_Header h;
    void* SRB_ToAbort;
};

struct SRB_GetDiskInfo {
    SRB_Header h;
    uint8_t SRB_Target;
    uint8_t SRB_Lun;
    uint8_t SRB_DriveFlags;
    uint8_t SRB_Int13HDriveInfo;
    uint8_t SRB_Heads;
    uint8_t SRB_Sectors;
    uint8_t SRB_Rsvd1[10];
};
#pragma pack(pop)

// The two entry points of a transport library.
using GetSupportInfoFn = uint32_t (*)();
using SendCommandFn = uint32_t (*)(void* srb);

}  // namespace aspi
