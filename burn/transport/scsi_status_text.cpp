#include "burn/transport/scsi_transport.h"

// The texts of a command's outcome: the request block's status, the host adapter's and the
// target's, a failure below the drive, and the sense key with its additional sense text.

#include "burn/transport/sense_text.h"
#include "core/base/byte_order.h"
#include "core/base/posix_io.h"

#include <cctype>
#include <cstdio>

namespace {

std::string senseKeyText(const TSenseData& sense, bool present)
{
    if (!present)
        return {};
    if (!sense.valid())
        return "UNKNOWN";
    switch (sense.key) {
    case 0x0:
        if (sense.filemark) return "FILEMARK";
        if (sense.endOfMedia) return "END OF MEDIA";
        if (sense.illegalLength) return "ILLEGAL LENGTH";
        return "NO ADDITIONAL SENSE INFORMATION";
    case 0x1: return "RECOVERED ERROR";
    case 0x2: return "NOT READY";
    case 0x3: return "MEDIUM ERROR";
    case 0x4: return "HARDWARE ERROR";
    case 0x5: return "ILLEGAL REQUEST";
    case 0x6: return "UNIT ATTENTION";
    case 0x7: return "DATA PROTECT";
    case 0x8: return "ERASE CHECK";
    case 0xA: return "COPYABORTED";
    case 0xB: return "ABORTED COMMAND";
    case 0xD: return "VOLUME OVERFLOW";
    case 0xE: return "MISCOMPARE";
    case 0xF: return "RESERVED";
    default: return "CHECK CONDITION";
    }
}

// The text of a failure below the drive, as the built-in layer records it.
std::string transportErrorText(const aspi::SRB_ExecSCSICmd& srb)
{
    const uint8_t kind = srb.SRB_Rsvd3[0];
    const uint32_t value = bytes::le32(&srb.SRB_Rsvd3[1]);
    char code[16];
    std::snprintf(code, sizeof code, "%02X", value & 0xFF);
    std::string detail;
    switch (kind) {
    case aspi::TRANSPORT_ERRNO: {
        detail = posix::errnoMessage(static_cast<int>(value));
        for (char& c : detail)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        detail = "SG_IO FAILED (" + detail + ")";
        break;
    }
    case aspi::TRANSPORT_HOST:
        detail = std::string(value == aspi::HOST_TIME_OUT ? "TIME-OUT, " : "") + "HOST STATUS " + code + "h";
        break;
    case aspi::TRANSPORT_DRIVER:
        detail = std::string(value == aspi::DRIVER_TIME_OUT ? "TIME-OUT, " : "") + "DRIVER STATUS " + code + "h";
        break;
    default: detail = "UNKNOWN";
    }
    return "TRANSPORT ERROR: " + detail;
}

}  // namespace

std::string TScsiTransport::StatusText(const aspi::SRB_ExecSCSICmd& srb, bool* busy)
{
    if (busy)
        *busy = false;
    std::string text;
    switch (srb.h.SRB_Status) {
    case aspi::SS_PENDING:
    case aspi::SS_COMP: return {};
    case aspi::SS_ABORTED:
    case aspi::SS_ABORT_FAIL: return "OPERATION ABORTED BY USER";
    case aspi::SS_INVALID_CMD: return "INVALID REQUEST";
    case aspi::SS_INVALID_HA: return "INVALID HOST ADAPTER";
    case aspi::SS_NO_DEVICE: return "NO DEVICE";
    case aspi::SS_INVALID_SRB: return "INVALID SRB";
    case aspi::SS_BUFFER_ALIGN: return "BUFFER ALIGNMENT";
    case aspi::SS_ASPI_IS_BUSY: return "ASPI IS BUSY";
    case aspi::SS_BUFFER_TO_BIG: return "BUFFER TOO BIG";
    case aspi::SS_ERR:
        switch (srb.SRB_HaStat) {
        case 0x00:
            switch (srb.SRB_TargStat) {
            case 0x00:
            case 0x02: text = "CHECK CONDITION"; break;
            case 0x08:
                if (busy)
                    *busy = true;
                return "TARGET BUSY";
            case 0x18: return "TARGET RESERVATION CONFLICT";
            case 0x28: return "TARGET QUEUE FULL";
            default: return "UNKNOWN";
            }
            break;
        case 0x09: return "COMMAND TIMEOUT";
        case 0x0B: return "SRB TIMEOUT";
        case 0x0D: return "MESSAGE REJECT";
        case 0x0E: return "BUS RESET";
        case 0x0F: return "PARITY ERROR";
        case 0x10: return "REQUEST SENSE FAILED";
        case 0x11: return "SELECTION TIMEOUT";
        case 0x12: return "DATA OVERRUN";
        case 0x13: return "UNEXPECTED BUS FREE";
        case aspi::HASTAT_TRANSPORT: return transportErrorText(srb);
        default: return "UNKNOWN";
        }
        break;
    default: return "UNKNOWN";
    }
    // CHECK CONDITION: described by the sense data.
    const TSenseData sense = DecodeSense(srb.SenseArea);
    const std::string key = senseKeyText(sense, srb.SenseArea[0] != 0);
    if (key != "CHECK CONDITION" || srb.SenseArea[0] == 0)
        text = key;
    if (sense.hasAdditional)
        text += " (" + AdditionalSenseText(sense.asc, sense.ascq) + ")";
    return text;
}
