#pragma once
// An emulated CD/DVD recorder whose medium is an image file: it answers the MMC commands
// the burner sends, writes track-at-once only at the next writable address, keeps a
// multi-session table of contents, and remembers the disc's state in a file beside the
// image so that a later run sees the same disc. Faults can be injected.
//
// Like a real recorder it refuses WRITE (10) unless the write parameters page asks for a
// mode 1 data track, writes nothing in test-write mode, tells CLOSE TRACK from CLOSE
// SESSION, reports "operation in progress" for a while after an immediate close or flush,
// and (when given a speed) drains a buffer at that speed: a WRITE waits for room, READ
// BUFFER CAPACITY reports the real figures and a buffer that runs empty while the track is
// open counts as an underrun. A track left open by a burn that ended early stays open in
// the state file: its next writable address lies inside it, the disc information calls the
// last session incomplete, and a close makes the session start at the track's start. A burn
// holds the disc through BeginBurn/EndBurn. DVD-R, DVD+RW and DVD-RAM media answer enough to walk the
// burner's DVD branches. Every command is logged so that tests can check its bytes.
//
// Answers about the disc (TOC, disc and track information, configuration, mode pages)
// are in emulated_drive_info.cpp.

#include "burn/sector_size.h"
#include "burn/transport/scsi_target.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

class TEmulatedDrive : public IScsiTarget {
public:
    enum class Medium { CDR, CDRW, DVDR, DVDPlusRW, DVDRAM };
    struct Session {
        uint32_t start = 0;  // first sector of its track
        uint32_t end = 0;    // one past the last written sector
    };
    // One command as the drive received it: the CDB and the data sent with it (none for
    // WRITE (10), whose data goes to the medium).
    struct Logged {
        std::vector<uint8_t> cdb;
        std::vector<uint8_t> data;
    };

    // Blank 80-minute disc: sectors up to the start of the last possible lead-out.
    static constexpr uint32_t kBlank80MinBlocks = 359849;
    // Single-layer DVD.
    static constexpr uint32_t kBlankDvdBlocks = 2298496;
    static constexpr uint32_t kBlockSize = kSectorSize;
    // One "x" of CD data speed: 75 sectors of 2048 bytes per second.
    static constexpr uint32_t kBytesPerSecondPerX = 153600;

    // Opens (or creates blank) the disc in imagePath. An image without a state file is
    // taken as a disc holding one closed session: the image itself.
    static std::unique_ptr<TEmulatedDrive> Open(const std::string& imagePath, std::string* error);
    ~TEmulatedDrive() override;

    uint8_t Execute(const uint8_t* cdb, int cdbLength, uint8_t* data, uint32_t dataLength,
                    uint8_t* sense) override;
    std::array<uint8_t, 36> InquiryData() const override;

    // Fault injection.
    int notReadyCommands = 0;        // the next N commands answer NOT READY (becoming ready)
    bool busyOnce = false;           // the next command answers TARGET BUSY
    int busyWrites = 0;              // the next N WRITE (10) answer TARGET BUSY
    bool busyForever = false;        // every WRITE (10) answers TARGET BUSY
    int longWriteWrites = 0;         // the next N WRITE (10) answer NOT READY, LONG WRITE IN PROGRESS
    int transportFailures = 0;       // the next N WRITE (10) never reach the drive
    int64_t writeErrorSector = -1;   // a WRITE that covers this sector fails with a write error
    bool noGetConfiguration = false; // an older drive: GET CONFIGURATION is refused
    bool noUnderrunFree = false;     // the capabilities page does not offer buffer-underrun-free
    bool noWriteParametersPage = false;  // MODE SENSE of page 05h is refused
    bool noTestWrite = false;        // the capabilities page does not offer test write
    bool readOnly = false;           // a CD-ROM drive: it reads, it writes nothing
    int closeFailures = 0;           // the next N CLOSE TRACK/SESSION fail (medium error)
    int syncFailures = 0;            // the next N SYNCHRONIZE CACHE fail (medium error)
    int discInfoFailures = 0;        // the next N READ DISC INFORMATION fail (medium error)
    // "Operation in progress" after an immediate close or flush, at a modelled speed; at
    // speed 0 (an image written at once) the recorder has no mechanism to wait for.
    int operationMs = 300;
    uint16_t lastSpeedRead = 0, lastSpeedWrite = 0;  // as SET CD SPEED sent them
    const std::array<uint8_t, 52>& WritePage() const { return writePage_; }

    // The speed model: 0 writes at once (the default); otherwise the drive's buffer
    // drains at that many "x" (150 KiB/s each) once writing has started.
    void SetSpeedX(int x);
    void SetBufferBytes(uint32_t bytes) { bufferBytes_ = bytes; }
    int BufferUnderruns() const { return underruns_; }
    // CPU time spent writing and flushing the image file: the work a real recorder does
    // itself, which benchmarks keep apart from the burner's own.
    double MediumCpuSeconds() const { return static_cast<double>(mediumCpuNs_) / 1e9; }
    int WritesWhileBusy() const { return busyAnswers_; }

    // A burn holds the disc for its whole length: an exclusive lock on the image (other
    // processes and other drive objects on the same image are refused at once), and the
    // state is read again, since another burn may have changed the disc meanwhile. False
    // with the reason when the disc is in use.
    bool BeginBurn(std::string* error);
    void EndBurn();
    const std::string& ImagePath() const { return imagePath_; }

    const std::vector<Logged>& CommandLog() const { return log_; }
    void ClearCommandLog() { log_.clear(); }
    // The logged commands with this operation code.
    std::vector<Logged> Commands(uint8_t code) const;

    const std::vector<Session>& Sessions() const { return sessions_; }
    bool Finalized() const { return finalized_; }
    uint32_t Capacity() const { return capacity_; }
    // Change the disc and save its state; false when the state file could not be written.
    bool SetCapacity(uint32_t blocks);
    bool SetMedium(Medium m);
    Medium CurrentMedium() const { return medium_; }
    uint32_t NextWritableAddress() const;
    uint32_t WriteSpeedKBs() const { return writeSpeed_; }
    uint32_t ReadSpeedKBs() const { return readSpeed_; }

private:
    using Clock = std::chrono::steady_clock;

    TEmulatedDrive() = default;
    // False without error when there is no state file; false with error when it is refused.
    bool LoadState(std::string* error);
    bool SaveState(std::string* error = nullptr) const;
    bool IsDvd() const { return medium_ == Medium::DVDR || medium_ == Medium::DVDPlusRW || medium_ == Medium::DVDRAM; }
    bool Overwritable() const { return medium_ == Medium::DVDPlusRW || medium_ == Medium::DVDRAM; }
    uint8_t Fail(uint8_t* sense, uint8_t key, uint8_t asc, uint8_t ascq);
    uint8_t ReadToc(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense);
    uint8_t DiscInformation(uint8_t* data, uint32_t length);
    uint8_t TrackInformation(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense);
    uint8_t Configuration(const uint8_t* cdb, uint8_t* data, uint32_t length);
    uint8_t ModeSense(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense);
    uint8_t ModeSelect(const uint8_t* data, uint32_t length, uint8_t* sense);
    uint8_t BufferCapacity(uint8_t* data, uint32_t length);
    uint8_t Write(const uint8_t* cdb, const uint8_t* data, uint32_t length, uint8_t* sense);
    uint8_t Read(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense);
    uint8_t CloseTrackSession(const uint8_t* cdb, uint8_t* sense);
    uint8_t Synchronize(const uint8_t* cdb, uint8_t* sense);
    void CloseOpenTrack();
    uint32_t TrackStart() const { return NextWritableAddress(); }
    // The speed model: empties the buffer by the time that passed; counts an underrun.
    void Drain();
    std::chrono::nanoseconds DrainTime(uint64_t bytes) const;
    // How long an immediate close or flush keeps the drive busy.
    std::chrono::milliseconds OperationTime() const;
    // Starts the disk write of the image's written pages every kWritebackBytes; false when
    // the system reports an I/O error.
    bool StartWriteback(off_t offset, uint64_t bytes);
    static constexpr off_t kWritebackBytes = 8 << 20;

    std::string imagePath_;
    int fd_ = -1;
    bool locked_ = false;
    Medium medium_ = Medium::CDR;
    uint32_t capacity_ = kBlank80MinBlocks;
    std::vector<Session> sessions_;
    bool finalized_ = false;
    uint32_t openTrackWritten_ = 0;  // sectors written into the open (invisible) track
    bool trackClosed_ = false;       // CLOSE TRACK ended the open track; its session is still open
    uint32_t testWritten_ = 0;       // sectors "written" in test-write mode
    uint32_t reserved_ = 0;          // sectors reserved by RESERVE TRACK (DVD-R)
    std::array<uint8_t, 52> writePage_{};
    uint32_t readSpeed_ = 7056, writeSpeed_ = 4234;
    std::array<uint8_t, 18> lastSense_{};
    Clock::time_point busyUntil_{};  // an immediate close or flush runs until then
    std::vector<Logged> log_;

    // Speed model.
    int speedX_ = 0;
    uint32_t bufferBytes_ = 2 * 1024 * 1024;
    uint64_t fill_ = 0;
    bool recording_ = false;  // the laser is writing: between the first WRITE and the flush
    Clock::time_point drained_{};
    int underruns_ = 0;
    int busyAnswers_ = 0;
    int64_t mediumCpuNs_ = 0;
    off_t writebackFrom_ = 0, writebackTo_ = 0;  // written since the last writeback started
};
