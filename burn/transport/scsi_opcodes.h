#pragma once
// The SCSI and MMC operation codes the burner sends, the emulated recorder answers and
// the log names, in one place.

#include <cstdint>

namespace op {

inline constexpr uint8_t TestUnitReady = 0x00;
inline constexpr uint8_t RezeroUnit = 0x01;
inline constexpr uint8_t RequestSense = 0x03;
inline constexpr uint8_t FormatUnit = 0x04;
inline constexpr uint8_t Inquiry = 0x12;
inline constexpr uint8_t StartStopUnit = 0x1B;
inline constexpr uint8_t PreventAllowRemoval = 0x1E;
inline constexpr uint8_t ReadFormatCapacities = 0x23;
inline constexpr uint8_t ReadCapacity = 0x25;
inline constexpr uint8_t Read10 = 0x28;
inline constexpr uint8_t Write10 = 0x2A;
inline constexpr uint8_t Seek10 = 0x2B;
inline constexpr uint8_t WriteAndVerify10 = 0x2E;
inline constexpr uint8_t Verify10 = 0x2F;
inline constexpr uint8_t SynchronizeCache = 0x35;
inline constexpr uint8_t ReadSubChannel = 0x42;
inline constexpr uint8_t ReadTocPmaAtip = 0x43;
inline constexpr uint8_t PlayAudio10 = 0x45;
inline constexpr uint8_t GetConfiguration = 0x46;
inline constexpr uint8_t PlayAudioMsf = 0x47;
inline constexpr uint8_t GetEventStatus = 0x4A;
inline constexpr uint8_t PauseResume = 0x4B;
inline constexpr uint8_t StopPlayScan = 0x4E;
inline constexpr uint8_t ReadDiscInformation = 0x51;
inline constexpr uint8_t ReadTrackInformation = 0x52;
inline constexpr uint8_t ReserveTrack = 0x53;
inline constexpr uint8_t SendOpcInformation = 0x54;
inline constexpr uint8_t ModeSelect10 = 0x55;
inline constexpr uint8_t RepairTrack = 0x58;
inline constexpr uint8_t ModeSense10 = 0x5A;
inline constexpr uint8_t CloseTrackSession = 0x5B;
inline constexpr uint8_t ReadBufferCapacity = 0x5C;
inline constexpr uint8_t SendCueSheet = 0x5D;
inline constexpr uint8_t Blank = 0xA1;
inline constexpr uint8_t SendEvent = 0xA2;
inline constexpr uint8_t SendKey = 0xA3;
inline constexpr uint8_t ReportKey = 0xA4;
inline constexpr uint8_t PlayAudio12 = 0xA5;
inline constexpr uint8_t LoadUnload = 0xA6;
inline constexpr uint8_t SetReadAhead = 0xA7;
inline constexpr uint8_t Read12 = 0xA8;
inline constexpr uint8_t Write12 = 0xAA;
inline constexpr uint8_t GetPerformance = 0xAC;
inline constexpr uint8_t ReadDvdStructure = 0xAD;
inline constexpr uint8_t SetStreaming = 0xB6;
inline constexpr uint8_t ReadCdMsf = 0xB9;
inline constexpr uint8_t Scan = 0xBA;
inline constexpr uint8_t SetCdSpeed = 0xBB;
inline constexpr uint8_t MechanismStatus = 0xBD;
inline constexpr uint8_t ReadCd = 0xBE;
inline constexpr uint8_t SendDvdStructure = 0xBF;
// Not a command: a request with this code is reported complete without being sent.
inline constexpr uint8_t NotSent = 0xFF;

}  // namespace op
