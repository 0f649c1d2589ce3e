#include "burn/transport/scsi_command_names.h"

#include "burn/transport/scsi_opcodes.h"

#include <cstdio>

std::string ScsiCommandName(uint8_t code)
{
    static const struct { uint8_t code; const char* name; } kNames[] = {
        {op::TestUnitReady, "TEST UNIT READY"},
        {op::RezeroUnit, "REWIND UNIT"},
        {op::RequestSense, "REQUEST SENSE"},
        {op::FormatUnit, "FORMAT UNIT"},
        {op::Inquiry, "INQUIRY"},
        {op::StartStopUnit, "START STOP UNIT"},
        {op::PreventAllowRemoval, "PREVENT/ALLOW REMOVAL"},
        {op::ReadFormatCapacities, "READ FORMAT CAPACITIES"},
        {op::ReadCapacity, "READ CAPACITY"},
        {op::Read10, "READ (10)"},
        {op::Write10, "WRITE (10)"},
        {op::Seek10, "SEEK (10)"},
        {op::WriteAndVerify10, "WRITE AND VERIFY (10)"},
        {op::Verify10, "VERIFY (10)"},
        {op::SynchronizeCache, "SYNCHRONIZE CACHE"},
        {op::ReadSubChannel, "READ SUB-CHANNEL"},
        {op::ReadTocPmaAtip, "READ TOC/PMA/ATIP"},
        {op::PlayAudio10, "PLAY AUDIO (10)"},
        {op::GetConfiguration, "GET CONFIGURATION"},
        {op::PlayAudioMsf, "PLAY AUDIO MSF"},
        {op::GetEventStatus, "GET EVENT/STATUS NOTIF"},
        {op::PauseResume, "PAUSE/RESUME"},
        {op::StopPlayScan, "STOP PLAY/SCAN"},
        {op::ReadDiscInformation, "READ DISC INFORMATION"},
        {op::ReadTrackInformation, "READ TRACK INFORMATION"},
        {op::ReserveTrack, "RESERVE TRACK"},
        {op::SendOpcInformation, "SEND OPC INFORMATION"},
        {op::ModeSelect10, "MODE SELECT (10)"},
        {op::RepairTrack, "REPAIR TRACK"},
        {op::ModeSense10, "MODE SENSE (10)"},
        {op::CloseTrackSession, "CLOSE TRACK/SESSION"},
        {op::ReadBufferCapacity, "READ BUFFER CAPACITY"},
        {op::SendCueSheet, "SEND CUE SHEET"},
        {op::Blank, "BLANK"},
        {op::SendEvent, "SEND EVENT"},
        {op::SendKey, "SEND KEY"},
        {op::ReportKey, "REPORT KEY"},
        {op::PlayAudio12, "PLAY AUDIO (12)"},
        {op::LoadUnload, "LOAD/UNLOAD CD/DVD"},
        {op::SetReadAhead, "SET READ AHEAD"},
        {op::Read12, "READ (12)"},
        {op::Write12, "WRITE (12)"},
        {op::GetPerformance, "GET PERFORMANCE"},
        {op::ReadDvdStructure, "READ DVD STRUCTURE"},
        {op::SetStreaming, "SET STREAMING"},
        {op::ReadCdMsf, "READ CD MSF"},
        {op::Scan, "SCAN"},
        {op::SetCdSpeed, "SET CD SPEED"},
        {op::MechanismStatus, "MECHANISM STATUS"},
        {op::ReadCd, "READ CD"},
        {op::SendDvdStructure, "SEND DVD STRUCTURE"},
    };
    for (const auto& n : kNames) {
        if (n.code == code) {
            std::string name = n.name;
            name.resize(22, ' ');
            return name;
        }
    }
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", code);
    return hex;
}
