#pragma once
// The SCSI transport of the burner: one layer chosen at start (a loaded transport library
// or the built-in pass-through layer), the routine that runs a command with its waiting,
// time-out, error text and log line, and the enumeration and selection of drives.

#include "burn/scsi_srb.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A transport layer: the two entry points of the ASPI interface.
class IScsiLayer {
public:
    virtual ~IScsiLayer() = default;
    virtual std::string Name() const = 0;
    virtual uint32_t GetSupportInfo() = 0;
    virtual uint32_t SendCommand(void* srb) = 0;
};

// Message kinds of the burner's message channel.
enum TBurnMessageKind { bmDriveError = 0, bmInformation = 1, bmTableLimit = 3, bmFileSystem = 4 };

struct TSelectedDrive {
    uint8_t ha = 254, target = 254, lun = 254;
    std::string line;
    std::array<uint8_t, 128> inquiry{};
    // Quirk flags.
    bool underrunFree = false;   // counts as offering buffer-underrun-free recording
    bool lsvBit = false;         // write parameters page gets the LS_V bit
    bool extraPolling = false;   // WaitReady first polls with TEST UNIT READY
    bool immediateClose = false; // immediate bit of CLOSE TRACK/SESSION
    bool dvrDrive = false;
    bool selected() const { return ha != 254; }
};

class TScsiTransport {
public:
    TScsiTransport();
    ~TScsiTransport();

    // Chooses a layer: the built-in one first when preferred and it finds a drive, else a
    // transport library, else the built-in one when it finds a drive.
    bool InitASPILayer(bool preferBuiltIn);
    // Closes the layer and chooses again with the remembered preference.
    bool Reinitialise();
    void Shutdown();
    bool Active() const { return layer_ != nullptr; }
    std::string LayerName() const { return layer_ ? layer_->Name() : std::string(); }
    IScsiLayer* Layer() const { return layer_.get(); }

    int HostAdapterCount() const { return hostAdapterCount_; }
    // Fills DeviceList with the CD/DVD devices found.
    void EnumerateDevices();
    const std::vector<std::string>& DeviceList() const { return devices_; }
    bool SelectDevice(const std::string& line);
    const TSelectedDrive& Drive() const { return drive_; }

    // Sends the request and waits; the caller reads SRB_Status (1 success).
    void ExecSCSICommand(aspi::SRB_ExecSCSICmd& srb, int timeoutMs);
    // Convenience: builds the request for a CDB and runs it. dir: SRB_DIR_IN, SRB_DIR_OUT or 0.
    bool Command(const std::vector<uint8_t>& cdb, uint8_t dir, uint8_t* buffer, uint32_t length,
                 int timeoutMs);

    const std::string& LastError() const { return lastError_; }
    bool TargetBusy() const { return busy_; }
    const std::array<uint8_t, 32>& Sense() const { return sense_; }
    uint8_t LastAsc() const { return lastAsc_; }

    // The message channel (kind, text).
    std::function<void(int, const std::string&)> OnMessage;
    std::function<void()> OnDeviceChange;
    bool DoDebug = true;

    // Where the built-in layer and the library layer come from (tests and settings set them).
    std::string virtualDrivePath;                // [Burn] VirtualDrive
    std::vector<std::string> libraryNames;       // tried in order by the library layer
    std::vector<std::string> deviceNodes;        // empty: /dev/sr0 to /dev/sr15
    // Run by SelectDevice: the capabilities before the INQUIRY, the write-mode probe after
    // a drive was selected (set by the drive commands).
    std::function<void()> OnReadCapabilities;
    std::function<void()> OnSelected;

    // The last command's texts, built from its status and sense data.
    static std::string StatusText(const aspi::SRB_ExecSCSICmd& srb, bool* busy);

private:
    void Post(int kind, const std::string& text);
    void LogFailure(const aspi::SRB_ExecSCSICmd& srb);
    bool Inquiry(uint8_t ha, uint8_t target, uint8_t lun, std::array<uint8_t, 128>& data);
    std::string DeviceNodeOf(uint8_t ha, uint8_t target, uint8_t lun);
    void Deselect();

    std::unique_ptr<IScsiLayer> layer_;
    bool preferBuiltIn_ = true;
    int hostAdapterCount_ = 0;
    std::vector<std::string> devices_;
    TSelectedDrive drive_;
    std::string lastError_;
    bool busy_ = false;
    std::array<uint8_t, 32> sense_{};
    uint8_t lastAsc_ = 0;
};

// The process-wide transport.
TScsiTransport& ScsiTransport();

// Built-in and library layers (defined in their own files).
std::unique_ptr<IScsiLayer> MakeBuiltInLayer(const std::vector<std::string>& deviceNodes,
                                             const std::string& virtualDrive,
                                             std::vector<std::string>* notices);
std::unique_ptr<IScsiLayer> MakeLibraryLayer(const std::vector<std::string>& names, std::string* problem);
// Number of drives the built-in layer found (0: it is of no use).
int BuiltInDriveCount(IScsiLayer& layer);
class TEmulatedDrive;
// The emulated recorder of the built-in layer, when it has one (tests inject faults through it).
TEmulatedDrive* BuiltInEmulatedDrive(IScsiLayer* layer);
// The device node (or image path) of an address in the built-in layer, empty when unknown.
std::string BuiltInDeviceNode(IScsiLayer& layer, uint8_t ha, uint8_t target, uint8_t lun);
