#pragma once
// The SCSI transport of the burner: one layer chosen at start (a loaded transport library
// or the built-in pass-through layer), the routine that runs a command with its waiting,
// time-out, error text and log line, and the enumeration and selection of drives.
//
// The transport is used from the user-interface thread and from the burner's write
// thread: commands are serialised by one lock, and the state of the last command and the
// selected drive are read as copies taken under a second lock, so no reader sees them torn.
// The layers themselves live in their own files (scsi_passthrough.cpp, scsi_aspi.cpp).

#include "burn/burn_messages.h"
#include "burn/transport/scsi_srb.h"
#include "burn/transport/scsi_target.h"
#include "burn/transport/sense_data.h"
#include "burn/transport/sg_io.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// A transport layer: the two entry points of the ASPI interface.
class IScsiLayer {
public:
    virtual ~IScsiLayer() = default;
    virtual std::string Name() const = 0;
    virtual uint32_t GetSupportInfo() = 0;
    virtual uint32_t SendCommand(void* srb) = 0;
    // An SRB_ExecSCSICmd with the command's own time-out, for a layer that can pass it on.
    virtual uint32_t SendTimed(void* srb, int timeoutMs)
    {
        (void)timeoutMs;
        return SendCommand(srb);
    }
};

// The time-out of a request sent without one of its own.
inline constexpr int kDefaultCommandTimeoutMs = 60000;

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

// What one command left behind: the outcome, the texts and the sense data.
struct TScsiResult {
    bool ok = false;
    bool busy = false;            // the drive answered TARGET BUSY
    bool transportError = false;  // the command did not reach the drive or got no answer
    std::string error;            // LastError's text; empty on success
    std::array<uint8_t, 32> sense{};
    uint32_t residual = 0;        // bytes of the data transfer that did not take place
    // The decoded sense of a failed command (fixed or descriptor format); all 0 after a success.
    TSenseData decoded() const { return ok ? TSenseData() : DecodeSense(sense); }
    uint8_t senseKey() const { return decoded().key; }
    uint8_t asc() const { return decoded().asc; }
    uint8_t ascq() const { return decoded().ascq; }
};

// The library's names in the program's folder, then bare (the system's library path).
std::vector<std::string> DefaultLibraryNames();

// Where the transport finds its drives. Given when the transport is made; Configure
// replaces it while no burn holds the drive, and the layer chosen next uses it.
struct TScsiTransportConfig {
    std::string virtualDrivePath;  // [Burn] VirtualDrive
    int virtualDriveSpeedX = 0;    // [Burn] VirtualDriveSpeed: 0 writes at once
    // Opens the drive of virtualDrivePath at virtualDriveSpeedX (null with the reason); given
    // by the layer above, which knows what kind of drive an image is. Without it a virtual
    // drive path is refused.
    std::function<std::shared_ptr<IScsiTarget>(const std::string& path, int speedX, std::string* error)>
        openVirtualTarget;
    std::vector<std::string> libraryNames = DefaultLibraryNames();  // tried in order by the library layer
    std::vector<std::string> deviceNodes;                           // empty: /dev/sr0 to /dev/sr15
    // The shortest wait for a command that completes through its event.
    int minimumWaitMs = 10000;
};

// What the transport tells the device that uses it. Each event runs on the thread of the
// call that raised it (a message of the write thread on the write thread).
struct TScsiTransportEvents {
    TMessagePoster onMessage;                  // (kind, text)
    std::function<void()> onReadCapabilities;  // SelectDevice, before the INQUIRY
    std::function<void()> onSelected;          // SelectDevice, after a drive was selected
};

class TScsiTransport {
public:
    explicit TScsiTransport(TScsiTransportConfig config = {});
    ~TScsiTransport();

    // Replaces the configuration; refused (false) while a burn holds the drive.
    bool Configure(TScsiTransportConfig config);
    TScsiTransportConfig Config() const;
    // The device that uses the transport attaches its events and detaches them when it
    // ends. The one attached last hears them; detaching hands them back to the one before.
    // A device attached while a burn holds the drive hears nothing until that burn's
    // device has detached, so a burn's messages and probes never change hands.
    void Attach(const void* owner, TScsiTransportEvents events);
    void Detach(const void* owner);

    // Chooses a layer: the built-in one first when preferred and it finds a drive, else a
    // transport library, else the built-in one when it finds a drive.
    bool InitASPILayer(bool preferBuiltIn);
    // Closes the layer and chooses again with the remembered preference. The emulated
    // recorder keeps its medium and its injected faults.
    bool Reinitialise();
    void Shutdown();
    bool Active() const { return active_; }
    std::string LayerName() const;
    IScsiLayer* Layer() const { return layer_.get(); }
    bool BuiltInLayerActive() const;
    // The built-in layer closes the drive's handle after every command when set.
    void SetCloseAfterCommand(bool on);

    int HostAdapterCount() const { return hostAdapterCount_; }
    // Fills DeviceList with the CD/DVD devices found.
    void EnumerateDevices();
    std::vector<std::string> DeviceList() const;
    bool SelectDevice(const std::string& line);
    TSelectedDrive Drive() const;
    // The kernel's address of a listed drive, "1:0:0:0"; empty when the layer cannot tell.
    std::string KernelAddress(const std::string& line) const;
    // Holds the selected drive exclusively for a burn (another program that has it open
    // exclusively or mounted makes this fail); false with the reason. Release lets it go.
    bool ClaimDrive(std::string* reason);
    void ReleaseDrive();
    // Counts the drive selections: facts about a drive stay valid while it does not change.
    uint64_t SelectionCount() const { return selections_; }

    // Sends the request and waits; the caller reads SRB_Status (1 success).
    void ExecSCSICommand(aspi::SRB_ExecSCSICmd& srb, int timeoutMs);
    // Builds the request for a CDB and runs it. dir: SRB_DIR_IN, SRB_DIR_OUT or 0. The
    // outcome of this very command goes to *result when given.
    bool Command(const std::vector<uint8_t>& cdb, uint8_t dir, uint8_t* buffer, uint32_t length,
                 int timeoutMs, TScsiResult* result = nullptr);

    // The same for the drive of a device line, selected or not (false for a line that
    // names no address).
    bool CommandTo(const std::string& line, const std::vector<uint8_t>& cdb, uint8_t dir, uint8_t* buffer,
                   uint32_t length, int timeoutMs);

    // The most recent command of any thread.
    std::string LastError() const;
    bool TargetBusy() const;
    std::array<uint8_t, 32> Sense() const;
    uint8_t LastAsc() const;

    // The command log: every command's CDB and outcome goes to the events' message channel.
    std::atomic<bool> DoDebug{true};

    // The last command's texts, built from its status and sense data.
    static std::string StatusText(const aspi::SRB_ExecSCSICmd& srb, bool* busy);

private:
    struct Address {
        uint8_t ha, target, lun;
    };
    void Post(int kind, const std::string& text);
    TScsiTransportEvents Events() const;
    void LogFailure(const aspi::SRB_ExecSCSICmd& srb, const std::string& error);
    void Execute(aspi::SRB_ExecSCSICmd& srb, int timeoutMs, Address address, TScsiResult* result);
    bool Inquiry(uint8_t ha, uint8_t target, uint8_t lun, std::array<uint8_t, 128>& data);
    std::string DeviceNodeOf(uint8_t ha, uint8_t target, uint8_t lun);
    void Deselect();

    // Held while a command runs and while the layer is replaced.
    mutable std::recursive_mutex commandMutex_;
    // Guards the selected drive, the device list and the last command's state.
    mutable std::mutex stateMutex_;
    // Guards the configuration and the attached devices' events.
    mutable std::mutex setupMutex_;
    TScsiTransportConfig config_;
    std::vector<std::pair<const void*, TScsiTransportEvents>> listeners_;  // the last one hears
    std::atomic<bool> held_{false};  // a burn holds the drive (ClaimDrive to ReleaseDrive)
    std::unique_ptr<IScsiLayer> layer_;
    std::atomic<bool> active_{false};
    std::shared_ptr<IScsiTarget> virtualTarget_;  // survives re-initialisation
    std::string virtualTargetPath_;
    bool preferBuiltIn_ = true;
    std::atomic<int> hostAdapterCount_{0};
    std::atomic<uint64_t> selections_{0};
    std::vector<std::string> devices_;
    TSelectedDrive drive_;
    TScsiResult last_;
};

// The process-wide transport.
TScsiTransport& ScsiTransport();

// Built-in and library layers (defined in their own files).
// A target passed in answers for virtualDrive (its node in the device list) as it is.
std::unique_ptr<IScsiLayer> MakeBuiltInLayer(const std::vector<std::string>& deviceNodes,
                                             const std::string& virtualDrive,
                                             std::shared_ptr<IScsiTarget> target,
                                             std::vector<std::string>* notices);
// Loads the first library of names that offers both entry points; a relative path with a
// folder in it is never tried. *loaded: the file that was loaded.
std::unique_ptr<IScsiLayer> MakeLibraryLayer(const std::vector<std::string>& names, std::string* problem,
                                             std::string* loaded = nullptr);
// Number of drives the built-in layer found (0: it is of no use).
int BuiltInDriveCount(IScsiLayer& layer);
// The target of the built-in layer's virtual drive, when it has one.
IScsiTarget* BuiltInTarget(IScsiLayer* layer);
// The device node (or image path) of an address in the built-in layer, empty when unknown.
std::string BuiltInDeviceNode(IScsiLayer& layer, uint8_t ha, uint8_t target, uint8_t lun);
// Device lines carry one digit per adapter, so the built-in layer numbers the kernel's
// SCSI hosts 0 to 9 in ascending order, as the ASPI interface numbers its adapters: the
// result lists the kernel host of each adapter number (hosts beyond the tenth are left out).
std::vector<int> AdapterHosts(const std::vector<int>& kernelHosts);
// The kernel's host number of a built-in adapter (-1 when there is none).
// The kernel's address of a built-in drive (unknown for the emulated recorder).
sgio::Address BuiltInKernelAddress(IScsiLayer& layer, uint8_t ha, uint8_t target, uint8_t lun);
// Holds the drive open exclusively (on) or lets it go; 0 or the errno of the failed open.
int BuiltInClaim(IScsiLayer& layer, uint8_t ha, uint8_t target, uint8_t lun, bool on);
// How one pass-through command ended, written into the request block as the layer answers it.
void ToRequestBlock(const sgio::Outcome& outcome, const uint8_t* sense, aspi::SRB_ExecSCSICmd& srb);
void BuiltInSetCloseAfterCommand(IScsiLayer& layer, bool on);
