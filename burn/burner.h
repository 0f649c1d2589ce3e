#pragma once
// The burner component: writes a set of local files to a recordable disc (or the emulated
// recorder) as one new ISO 9660 session with a Joliet tree, importing the disc's last
// session so that its files stay visible.
//
// TSCSIDevice is everything about the drive (transport, device list, drive commands, last
// error, the message channel); TMCDBurner adds the session's tables, its layout and the
// write. Properties are getter/setter pairs (setters keep their rules: CacheSize rounds,
// Version ignores assignments, WriteSpeed sends SET CD SPEED at once); events are
// std::function members whose first parameter is the sender.
//
// Threads. The operations are called from one thread (the user interface, the command
// line, a test). OnAddFile and OnDeviceChange come on that thread; OnFinalizingTrack and
// OnWriteDone come on the burner's write thread (OnWriteDone on the calling thread when
// StartWrite fails before the write thread starts); OnDebugMessage and DebugWindow lines
// come from whichever thread posts them, one at a time. Handlers that touch windows must
// pass the work to the user-interface thread; an OnDebugMessage handler must not call
// back into the burner (it may run while a drive command holds the transport). BytesWritten,
// DeviceBufferSize, DeviceFreeBufferSize and CurrentFile may be read from any thread at any
// time.
//
// The burn procedure the window, the command line, the tests and the benchmark share is
// burn_procedure.h; it drives these operations in order and owns the events while it runs.

#include "burn/burn_messages.h"
#include "burn/burn_timing.h"
#include "burn/drive/drive_commands.h"
#include "burn/iso/iso_image.h"
#include "burn/iso/iso_tables.h"
#include "burn/transport/scsi_transport.h"
#include "burn/write/write_pipeline.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TSCSIDevice;
class TMCDBurner;
class TCacheThread;
class TSessionHashes;

// A memo control that shows the message lines (the window's log). AppendLine is called on
// the thread that posts the line.
class IDebugWindow {
public:
    virtual ~IDebugWindow() = default;
    virtual void AppendLine(const std::string& line) = 0;
};

// Event types; the first parameter is the sender.
using TOnDebugMsg = std::function<void(TSCSIDevice& sender, const std::string& message, uint8_t kind)>;
using TDeviceChangedEvent = std::function<void(TSCSIDevice& sender)>;
// The handler may change the names, the date and Skip (see TAddFileInfo).
using TAddFileEvent = std::function<void(TMCDBurner& sender, TAddFileInfo& file)>;
using TAddDirEvent =
    std::function<void(TMCDBurner& sender, std::string& longName, std::string& shortName, bool& skip)>;
using TWriteDoneEvent = std::function<void(TMCDBurner& sender, const std::string& error)>;
using TEraseDoneEvent = std::function<void(TMCDBurner& sender, bool withError)>;
using TNotifyEvent = std::function<void(TMCDBurner& sender)>;

// The message kinds of PostDebugMessage.
inline constexpr uint8_t kMsgDriveError = bmDriveError;    // 0: failed commands, drive errors
inline constexpr uint8_t kMsgInformation = bmInformation;  // 1: lines beginning ">>> "
inline constexpr uint8_t kMsgTableLimit = bmTableLimit;    // 3: a table is full
inline constexpr uint8_t kMsgFileSystem = bmFileSystem;    // 4: paths, import, file sizes

// Everything about the drive.
class TSCSIDevice {
public:
    // The transport is the process-wide one unless a test passes its own.
    explicit TSCSIDevice(TScsiTransport& transport = ScsiTransport());
    virtual ~TSCSIDevice();
    TSCSIDevice(const TSCSIDevice&) = delete;
    TSCSIDevice& operator=(const TSCSIDevice&) = delete;

    // Published.
    TOnDebugMsg OnDebugMessage;
    TDeviceChangedEvent OnDeviceChange;  // raised by SelectDevice after a drive was selected
    IDebugWindow* DebugWindow() const;
    void SetDebugWindow(IDebugWindow* window);
    // The free-notification hook: the memo is going away, forget it.
    void DebugWindowDestroyed(IDebugWindow* window);

    bool ASPIInitialized() const { return transport_.Active(); }
    uint16_t DeviceMaxWriteSpeed() const { return maxWriteSpeed_; }  // x 176.46 KB/s
    uint16_t DeviceMaxReadSpeed() const { return maxReadSpeed_; }
    uint32_t DeviceBufferSize() const { return progress_.deviceBufferSize; }
    void SetDeviceBufferSize(uint32_t v) { progress_.deviceBufferSize = v; }
    uint32_t DeviceFreeBufferSize() const { return progress_.deviceFreeBufferSize; }
    void SetDeviceFreeBufferSize(uint32_t v) { progress_.deviceFreeBufferSize = v; }
    bool DoDebug() const { return transport_.DoDebug; }
    void SetDoDebug(bool on) { transport_.DoDebug = on; }

    // Public state.
    std::vector<std::string> DeviceList() const { return transport_.DeviceList(); }
    int HostAdapterCount() const { return transport_.HostAdapterCount(); }
    std::string LastError() const { return transport_.LastError(); }
    int DiscType() const { return commands_.DiscType; }

    // Operations.
    bool InitASPILayer(bool preferBuiltIn);
    void EnumerateDevices();
    bool SelectDevice(const std::string& deviceLine);
    bool LoadUnload(bool eject);
    int GetDiscType();
    bool GetNextWritableAddress(uint32_t* address);
    bool ReadCapabilities();
    bool SetWriteParameters(bool testWrite, bool underrunProtection, int discType);
    bool WaitReady(int totalMs, int stepMs);
    void ExecSCSICommand(aspi::SRB_ExecSCSICmd& srb, int timeoutMs);
    // The message channel: the line goes to DebugWindow and OnDebugMessage when set.
    void PostDebugMessage(const std::string& text, uint8_t kind);

    TScsiTransport& Transport() { return transport_; }
    TDriveCommands& Commands() { return commands_; }

protected:
    void RefreshSpeeds();
    // True while a burn uses the selected drive: SelectDevice is refused then.
    virtual bool DriveInUse() const { return false; }

    TScsiTransport& transport_;
    TDriveCommands commands_;
    TWriteProgress progress_;
    std::atomic<uint16_t> maxWriteSpeed_{0}, maxReadSpeed_{0};

private:
    mutable std::mutex messageMutex_;  // one line at a time, in posting order
    IDebugWindow* debugWindow_ = nullptr;
};

// The burner: tables, layout and write.
class TMCDBurner : public TSCSIDevice {
public:
    explicit TMCDBurner(TScsiTransport& transport = ScsiTransport());
    // Waits for a running burn to end; it must not be called from the burner's own events.
    ~TMCDBurner() override;

    // Published properties.
    bool UnderrunProtection() const { return underrunProtection_; }
    void SetUnderrunProtection(bool on) { underrunProtection_ = on; }
    uint16_t ReadSpeed() const { return readSpeed_; }  // x 177 KB/s, 0 the fastest
    void SetReadSpeed(uint16_t speed) { readSpeed_ = speed; }
    uint16_t WriteSpeed() const { return writeSpeed_; }
    // Sends SET CD SPEED (ReadSpeed, speed) at once, then stores the value.
    void SetWriteSpeed(uint16_t speed);
    bool Erasing() const { return false; }
    bool FinalizeDisc() const { return finalizeDisc_; }
    void SetFinalizeDisc(bool on) { finalizeDisc_ = on; }
    bool TestWrite() const { return testWrite_; }
    void SetTestWrite(bool on) { testWrite_ = on; }
    bool ReplaceFile() const { return tables_.ReplaceFile; }
    void SetReplaceFile(bool on) { tables_.ReplaceFile = on; }
    bool FinalizeTrack() const { return finalizeTrack_; }
    void SetFinalizeTrack(bool on) { finalizeTrack_ = on; }
    bool PerformOPC() const { return performOpc_; }
    void SetPerformOPC(bool on) { performOpc_ = on; }
    // The identifier texts of the volume descriptors.
    TVolumeIdentifiers& Identifiers() { return image_.Ids; }
    const std::string& IdVolume() const { return image_.Ids.IdVolume; }
    void SetIdVolume(const std::string& text) { image_.Ids.IdVolume = text; }
    // Dates as Unix seconds; 0 is unset (written as 30 December 1899). Only creation and
    // modification are written.
    int64_t DateCreation() const { return image_.Ids.DateCreation; }
    void SetDateCreation(int64_t t) { image_.Ids.DateCreation = t; }
    int64_t DateModification() const { return image_.Ids.DateModification; }
    void SetDateModification(int64_t t) { image_.Ids.DateModification = t; }
    int64_t DateEffective() const { return dateEffective_; }
    void SetDateEffective(int64_t t) { dateEffective_ = t; }
    int64_t DateExpiration() const { return dateExpiration_; }
    void SetDateExpiration(int64_t t) { dateExpiration_ = t; }
    int CacheSize() const { return cacheSize_; }
    // Below 2 MiB stores 2097152; otherwise rounded down to a multiple of 2048.
    void SetCacheSize(int bytes);
    // Kept for the image-file output, which this burner does not offer.
    const std::string& ISOFileName() const { return isoFileName_; }
    void SetISOFileName(const std::string& path) { isoFileName_ = path; }
    bool JolietFileSystem() const { return image_.JolietFileSystem; }
    void SetJolietFileSystem(bool on) { image_.JolietFileSystem = on; }
    std::string Version() const { return "1.0.0"; }
    void SetVersion(const std::string&) {}  // assignments are ignored
    bool WritePostGap() const { return image_.WritePostGap; }
    void SetWritePostGap(bool on) { image_.WritePostGap = on; }

    // Published events.
    TAddFileEvent OnAddFile;
    TAddDirEvent OnAddDir;          // declared; never raised
    TWriteDoneEvent OnWriteDone;    // once per burn
    TNotifyEvent OnFinalizingTrack; // the data is written and closing begins
    // The last WRITE (10) is about to go out (write thread): from now on AbortWrite is
    // refused and the burn runs to its close.
    TNotifyEvent OnLastWrite;
    TEraseDoneEvent OnEraseDone;    // declared; this burner has no erase

    // Public state.
    int SessionToImport() const { return image_.SessionToImport; }
    void SetSessionToImport(int session) { image_.SessionToImport = session; }  // 0 none, -1 last
    int DirectoryCount() const { return tables_.DirectoryCount(); }
    int FileCount() const { return tables_.FileCount(); }
    int64_t ImageSectors() const { return image_.ImageSectors(); }
    uint32_t SessionStart() const { return image_.SessionStart; }
    int64_t BytesWritten() const { return progress_.bytesWritten; }
    std::string CurrentFile() const { return progress_.CurrentFile(); }

    // Operations, in the burn window's order.
    // 1 the source was found (added, or refused by a name clash, a limit, its size or
    // Skip); 255 the source was not found; 0 the destination directory is invalid.
    uint8_t InsertFile(const std::string& destination, const std::string& source, bool keepSourcePath);
    // Lays out the session and builds its header; with imageFileOnly false it first asks
    // the disc for its type, the next writable address and the session to import.
    bool PrepareImage(bool imageFileOnly);
    uint32_t FreeDiscBlocks();
    // Starts the burn: returns once the cache has been filled and the write thread runs
    // (true), or false after raising OnWriteDone with the reason on this thread.
    bool StartWrite();
    // The next StartWrite's session takes each file's SHA-256 as it reads it, into this
    // store (and makes the checksum list the store names); used by one StartWrite, and
    // dropped with the file system.
    void SetSessionHashes(std::shared_ptr<TSessionHashes> hashes) { hashes_ = std::move(hashes); }
    void ClearFileSystem(int maxFiles, int maxDirectories);

    TDEntry* InsertDirectory(TDEntry* parent, const std::string& name, const std::string& shortName,
                             const TIsoDate& date, int attributes);
    TDEntry* ForceDirectories(const std::string& path);
    TDEntry* FindDirectory(const std::string& path);
    bool ImportSession(int sessionNumber, TDEntry* target = nullptr);

    // Beyond the window's needs: the abort path (Ctrl-C, a Cancel button), waiting for
    // the end of a burn, and the pauses of the pipeline (tests shorten them).
    // Asks the running burn to stop; false when there is none or its last WRITE (10) has
    // gone out (it then completes its flush and close).
    bool AbortWrite();
    bool LastWriteOut() const;
    bool Writing() const { return writing_; }
    void WaitForWriteDone();
    // Waits at most ms; true when no burn runs (any more).
    bool WaitForWriteDone(int ms);
    TBurnTiming Timing;
    // Starts the write thread with what it runs; a test makes the start fail through it.
    std::function<std::thread(std::function<void()>)> StartThread = [](std::function<void()> run) {
        return std::thread(std::move(run));
    };
    TIsoTables& Tables() { return tables_; }
    TIsoImage& Image() { return image_; }

protected:
    bool DriveInUse() const override;

private:
    void WriteThread(std::unique_ptr<TCacheThread> cache, std::unique_ptr<TDriveCommands> commands, TWriteJob job);
    void EndBurn(const std::string& result);
    void JoinWriter();
    // Where the next session goes on the disc in the drive (sets the drive's disc type).
    TSessionPlacement SessionPlacement(IDiscReader& disc);

    TIsoTables tables_;
    TIsoImage image_{tables_};
    bool underrunProtection_ = true;
    uint16_t readSpeed_ = 0, writeSpeed_ = 0;
    bool finalizeDisc_ = false, testWrite_ = false, finalizeTrack_ = true, performOpc_ = false;
    int64_t dateEffective_ = 0, dateExpiration_ = 0;
    int cacheSize_ = 4194304;
    std::string isoFileName_;
    std::shared_ptr<TSessionHashes> hashes_;

    // The running burn.
    mutable std::mutex burnMutex_;
    std::condition_variable burnEnded_;
    std::atomic<bool> writing_{false};
    bool lastWriteOut_ = false;  // under burnMutex_
    TCacheThread* cache_ = nullptr;  // the running burn's cache, for AbortWrite
    std::thread writer_;
};

// The refusal of a test write by a drive without that capability.
std::string TestWriteRefusal(const std::string& driveLine);
// The refusal of a drive change while a burn runs.
inline constexpr char kDriveChangeRefused[] = "DRIVE CHANGE REFUSED - A BURN IS RUNNING ON THE SELECTED DRIVE";

// The name the system gives the component.
using TCDBurner = TMCDBurner;
