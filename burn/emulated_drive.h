#pragma once
// An emulated CD-R/CD-RW recorder whose medium is an image file: it answers the MMC
// commands the burner sends, writes track-at-once only at the next writable address,
// keeps a multi-session table of contents, and remembers the disc's state in a file
// beside the image so that a later run sees the same disc. Faults can be injected.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TEmulatedDrive {
public:
    enum class Medium { CDR, CDRW };
    struct Session {
        uint32_t start = 0;  // first sector of its track
        uint32_t end = 0;    // one past the last written sector
    };

    // Blank 80-minute disc: sectors up to the start of the last possible lead-out.
    static constexpr uint32_t kBlank80MinBlocks = 359849;
    static constexpr uint32_t kBlockSize = 2048;

    // Opens (or creates blank) the disc in imagePath. An image without a state file is
    // taken as a disc holding one closed session: the image itself.
    static std::unique_ptr<TEmulatedDrive> Open(const std::string& imagePath, std::string* error);
    ~TEmulatedDrive();

    // Runs one command. Returns the SCSI status (0 good, 2 check condition, 8 busy);
    // sense (32 bytes) holds the fixed-format sense data of a check condition.
    uint8_t Execute(const uint8_t* cdb, int cdbLength, uint8_t* data, uint32_t dataLength,
                    uint8_t* sense);

    // The 36 bytes of standard INQUIRY data.
    std::array<uint8_t, 36> InquiryData() const;

    // Fault injection.
    int notReadyCommands = 0;       // the next N commands answer NOT READY (becoming ready)
    bool busyOnce = false;          // the next command answers TARGET BUSY
    int64_t writeErrorSector = -1;  // a WRITE that covers this sector fails with a write error
    bool noGetConfiguration = false; // an older drive: GET CONFIGURATION is refused
    bool noUnderrunFree = false;     // the capabilities page does not offer buffer-underrun-free
    uint16_t lastSpeedRead = 0, lastSpeedWrite = 0;  // as SET CD SPEED sent them
    const std::array<uint8_t, 52>& WritePage() const { return writePage_; }

    const std::vector<Session>& Sessions() const { return sessions_; }
    bool Finalized() const { return finalized_; }
    uint32_t Capacity() const { return capacity_; }
    // Change the disc and save its state; false when the state file could not be written.
    bool SetCapacity(uint32_t blocks);
    bool SetMedium(Medium m);
    uint32_t NextWritableAddress() const;
    uint32_t WriteSpeedKBs() const { return writeSpeed_; }
    uint32_t ReadSpeedKBs() const { return readSpeed_; }

private:
    TEmulatedDrive() = default;
    // False without error when there is no state file; false with error when it is refused.
    bool LoadState(std::string* error);
    bool SaveState(std::string* error = nullptr) const;
    uint8_t Fail(uint8_t* sense, uint8_t key, uint8_t asc, uint8_t ascq);
    uint8_t ReadToc(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense);
    uint8_t DiscInformation(uint8_t* data, uint32_t length);
    uint8_t TrackInformation(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense);
    uint8_t Configuration(const uint8_t* cdb, uint8_t* data, uint32_t length);
    uint8_t ModeSense(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense);
    uint8_t ModeSelect(const uint8_t* data, uint32_t length, uint8_t* sense);
    uint8_t Write(const uint8_t* cdb, const uint8_t* data, uint32_t length, uint8_t* sense);
    uint8_t Read(const uint8_t* cdb, uint8_t* data, uint32_t length, uint8_t* sense);
    uint8_t CloseTrackSession(const uint8_t* cdb, uint8_t* sense);
    uint32_t TrackStart() const { return NextWritableAddress(); }

    std::string imagePath_;
    int fd_ = -1;
    Medium medium_ = Medium::CDR;
    uint32_t capacity_ = kBlank80MinBlocks;
    std::vector<Session> sessions_;
    bool finalized_ = false;
    uint32_t openTrackWritten_ = 0;  // sectors written into the open (invisible) track
    std::array<uint8_t, 52> writePage_{};
    uint32_t readSpeed_ = 7056, writeSpeed_ = 4234;
    std::array<uint8_t, 18> lastSense_{};
};
