#pragma once
// MMC drive commands and the drive-level procedures built on them: capabilities, disc
// type, write parameters, write-mode probe, next writable address, free space, waiting
// until the drive is ready.
//
// Each command is one function that builds its CDB and returns whether the drive accepted
// it; the outcome of the most recent command sent through this object (busy flag, sense
// code, error text) is kept here, so that two threads with their own command objects
// never read each other's results.

#include "burn/burn_timing.h"
#include "burn/transport/scsi_transport.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace cap {
inline constexpr uint32_t CdrRead = 0x01, CdrwRead = 0x02, Method2 = 0x04, DvdRomRead = 0x08,
                          DvdrRead = 0x30, DvdRamRead = 0x40, DvdPlusRwPresent = 0x180,
                          CdrWrite = 0x200, CdrwWrite = 0x400, TestWrite = 0x800, DvdrWrite = 0x3000,
                          DvdRamWrite = 0x4000, DvdPlusRwCurrent = 0x18000, UnderrunFree = 0x40000;
}

// Disc type codes.
enum TDiscType : int {
    dtUnknown = 0, dtCdRom, dtCdR, dtCdRw, dtDvdRom, dtDvdR, dtDvdRam, dtDvdRw, dtDvdRw2,
    dtDvdPlusRw, dtDvdPlusR, dtDdcdRom, dtDdcdR, dtDdcdRw
};
const char* DiscTypeName(int type);

class TDriveCommands {
public:
    explicit TDriveCommands(TScsiTransport& transport);

    // Settings the procedures use.
    bool FinalizeDisc = false;
    bool TestWrite = false;
    bool UnderrunProtection = true;
    int ReadSpeed = 0;   // x-speed; 0 = fastest
    int WriteSpeed = 0;

    // Results.
    uint32_t CapabilityFlags = 0;
    std::array<uint8_t, 22> CapabilitiesPage{};
    std::array<uint8_t, 54> WriteParametersPage{};
    int DeviceMaxWriteSpeed = 0, DeviceMaxReadSpeed = 0;
    int WriteModes = 0;
    int DiscType = dtUnknown;
    uint32_t DeviceBufferSize = 0, DeviceFreeBufferSize = 0;
    TBurnTiming Timing;

    // The outcome of the most recent command sent through this object.
    const TScsiResult& LastResult() const { return last_; }
    uint8_t LastAsc() const { return last_.asc(); }
    bool TargetBusy() const { return last_.busy; }
    const std::string& LastError() const { return last_.error; }
    TScsiTransport& Transport() { return t_; }

    // Commands (true when the command succeeded).
    bool TestUnitReady(int timeoutMs = 5000);
    // The commands that read a reply ask for as many bytes as the buffer holds (at most
    // what their allocation length can say: 255 for REQUEST SENSE, 65535 for the others),
    // and the commands that send data send the buffer; no command touches a byte beyond
    // its buffer. READ (10) and WRITE (10) refuse a buffer shorter than count sectors.
    bool RequestSense(std::span<uint8_t> buffer);
    bool Inquiry(std::span<uint8_t> buffer);
    bool RezeroUnit();
    bool LoadUnload(bool eject);
    bool PreventRemoval(bool prevent);
    bool Read10(uint32_t sector, uint16_t count, std::span<uint8_t> buffer);
    bool Write10(uint32_t sector, uint16_t count, std::span<const uint8_t> data);
    bool SynchronizeCache(bool immediate, int timeoutMs);
    bool ReadTocPmaAtip(uint8_t format, bool msf, uint8_t trackOrSession, std::span<uint8_t> buffer);
    bool GetConfiguration(uint16_t feature, std::span<uint8_t> buffer);
    bool ReadDiscInformation(std::span<uint8_t> buffer);
    bool ReadTrackInformation(uint32_t track, std::span<uint8_t> buffer);
    bool SendOpc();
    bool ModeSense(uint8_t page, bool defaults, std::span<uint8_t> buffer);
    bool ModeSelect(std::span<const uint8_t> data);
    bool CloseSession(bool immediate);
    bool ReadBufferCapacity();
    bool SetCdSpeed();
    // SET CD SPEED with explicit values in KB/s (FFFFh: the fastest).
    bool SetCdSpeedKBs(uint16_t readKBs, uint16_t writeKBs);
    bool SetStreaming(std::span<const uint8_t> descriptor);
    bool SendDvdStructure(uint8_t format, std::span<const uint8_t> data);
    bool ReserveTrack(uint32_t sectors);

    // Procedures.
    bool ReadCapabilities();
    int GetDiscType();
    bool SetWriteParameters(bool testWrite, bool underrunProtection, int discType);
    void ProbeWriteModes();
    // The next writable address of the disc (0 when it cannot be read) goes to *address;
    // the session start itself is kept by the image layout.
    bool GetNextWritableAddress(uint32_t* address);
    uint32_t FreeDiscBlocks();
    bool WaitReady(int totalMs, int stepMs);
    int LastSessionNumber();

    // Speeds in x from KB/s.
    static int SpeedFromKBs(uint32_t kbs);

private:
    // Facts about the drive that stay while it stays selected: asked once per selection
    // (a refusal is remembered too; a drive that was busy or not ready is asked again).
    struct Fact {
        TScsiResult result;
        std::vector<uint8_t> data;
    };
    bool AskOnce(uint32_t key, std::span<uint8_t> buffer, const std::function<bool()>& ask);
    // The write parameters page as the drive holds it now (MODE SENSE asked once).
    bool CurrentWriteParameters(std::vector<uint8_t>& answer);
    // Sends the write parameters page back (PS cleared) and remembers it as current.
    bool SendWriteParameters(std::vector<uint8_t> answer, std::size_t at, std::size_t pageBytes);
    std::map<uint32_t, Fact> facts_;
    uint64_t factsSelection_ = ~uint64_t(0);
    static std::size_t PageOffset(const uint8_t* data, uint8_t page, std::size_t fallback);
    // A command without data, one that reads into buffer (zeroed first) and one that sends data.
    bool Run(const std::vector<uint8_t>& cdb, int timeoutMs);
    bool RunIn(const std::vector<uint8_t>& cdb, std::span<uint8_t> buffer, int timeoutMs);
    bool RunOut(const std::vector<uint8_t>& cdb, std::span<const uint8_t> data, int timeoutMs);
    // A command refused before it is sent: the text becomes the last error.
    bool Refuse(const char* why);
    void Pause(int ms) const;
    TScsiTransport& t_;
    TScsiResult last_;
};
