#pragma once
// The one burn procedure: the burn window, the burn command, the tests and the benchmark
// all write a session through it, so that what a burn reports is decided in one place and
// agrees with the disc.
//
// It takes its objects: the burner (transport set up, drive selected), the paths (a file
// goes into the root, a directory becomes a directory of its name in the root holding its
// tree), the options, and a sink for what the caller shows. In order it checks that there
// is a recorder that can write, that a test write is one the drive can do, that the disc
// can take a session and is not closed, takes the emulated recorder's disc for the length
// of the burn, closes an unfinished track left by an earlier burn (so that the new session
// shows the files of the last good session and never a file whose data was not fully
// written), inserts the paths, imports the disc's last session (stopping when it cannot be
// imported, unless the sink or the options say to go on), lays out the session, checks the
// space and starts the write. Nothing is written before every check has passed.
//
// Use (one burn at a time per procedure object; the caller's thread for everything but
// Cancel):
//     TBurnProcedure burn(burner, sink);
//     if (burn.Start(paths, options)) {
//         ... sink.WriteEnded() comes on the write thread; then, on the caller's thread:
//     }
//     const TBurnReport& report = burn.Finish();   // waits for the write thread
// or RunBurn(), which does all of it on the calling thread.
//
// While it lives the procedure takes the burner's OnWriteDone, OnFinalizingTrack and
// OnLastWrite events (handlers set before it was made still run, first, and are put back
// when it goes); the burner's message lines stay with the caller (OnDebugMessage).

#include "burn/iso/session_checksums.h"
#include "burn/write/session_verify.h"

#include "burn/burner.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TEmulatedDrive;

// What the burn did, as the disc shows it. The command line maps each to its exit status.
enum class TBurnOutcome {
    Done,           // the files are on the disc in a closed session (or the test write ran)
    Failed,         // the burn or its checks failed; the text says what the disc holds
    FileError,      // a source file could not be read or was refused
    NoRoom,         // the session does not fit; nothing was written
    NotWritable,    // no recorder, a drive or disc that cannot be written, a closed disc
    Unimportable,   // the disc's last session cannot be imported; nothing was written
    NothingToBurn,  // no file of the list exists
    Unchanged,      // the disc holds files of the list unchanged and burning them again was
                    // not asked for; nothing was written
};

struct TBurnOptions {
    bool testWrite = false;
    bool finalizeDisc = false;      // close the disc: no further session
    uint16_t speed = 0;             // x 177 KB/s, 0 the fastest
    bool verify = false;            // read the new session back and compare it with the sources
    bool eject = true;              // eject after a burn that is Done
    bool continuePastUnimportable = false;  // burn without the last session's files
    bool missingIsError = false;    // a path that does not exist ends with FileError
    // The session's checksum list: SHA256SUMS, written to this path (whose file name is
    // SHA256SUMS and which must stay until Finish) and added to the session, its volume
    // dated now (the disc's identity when it is the first session). Empty: no list, and the
    // session is as without one (an earlier session's list is not carried into it). A
    // user's file of the list's name in the root is refused (FileError), and so is a burn
    // onto a disc whose last session holds one there (Failed): the list would hide it.
    std::string checksumListPath;
    bool burnUnchanged = false;     // burn files the disc holds unchanged without asking the sink
};

struct TBurnReport {
    TBurnOutcome outcome = TBurnOutcome::Failed;
    // Upper-case text of why it is not Done (the burner's end text or a check's); empty when
    // Done.
    std::string text;
    bool wrote = false;             // the write thread ran (something may be on the disc)
    int64_t requiredSectors = 0;    // the session's sectors (NoRoom and after)
    uint32_t freeSectors = 0;       // the disc's free sectors
    bool verified = false;          // a verification ran and found every file
    TVerifyResult verify;           // its figures
    std::vector<TSessionFile> files;  // the burn's files; their SHA-256 as read by the write (after Finish)
    std::vector<std::string> unchanged;  // disc names of the files the disc held unchanged
    int session = 0;                // the new session's number, when Done (not a test write)
    std::string discIdentity;       // the disc's first-session volume creation time, then
};

// What the caller shows. Every member has a default that does nothing.
class IBurnSink {
public:
    virtual ~IBurnSink() = default;
    // A line of the procedure itself (upper-case, like the burner's), caller's thread.
    virtual void Notice(const std::string& text) { (void)text; }
    // The checks passed and the write starts (sectors: the session's), caller's thread.
    virtual void WriteStarting(int64_t sectors) { (void)sectors; }
    // The last WRITE (10) is going out: Cancel no longer stops the burn. Write thread.
    virtual void LastWriteOut() {}
    // The data is written and the close begins. Write thread.
    virtual void FinalizingTrack() {}
    // The write thread has ended: call Finish() on the caller's thread. Write thread.
    virtual void WriteEnded() {}
    // The last session cannot be imported (why: the reason): true burns without its files.
    // Caller's thread; asked only when the options do not already say to go on.
    virtual bool ContinuePastUnimportable(const std::string& why) { (void)why; return false; }
    // The disc's last session holds these files (disc names) unchanged: true burns them
    // again. Caller's thread; asked only when the options do not already say to.
    virtual bool BurnUnchanged(const std::vector<std::string>& names) { (void)names; return false; }
};

class TBurnProcedure {
public:
    TBurnProcedure(TMCDBurner& burner, IBurnSink& sink);
    // Waits for a running burn; the burner's events are released.
    ~TBurnProcedure();
    TBurnProcedure(const TBurnProcedure&) = delete;
    TBurnProcedure& operator=(const TBurnProcedure&) = delete;

    // Runs the checks and starts the write. True: the write thread runs, and Finish() is
    // due once the sink heard WriteEnded. False: the burn ended before anything was written
    // (Report() says why; Finish() returns the same).
    bool Start(const std::vector<std::string>& paths, const TBurnOptions& options);
    // Any thread. Asks the running burn to stop; false when none runs or its last WRITE
    // (10) has gone out, after which it completes its flush and close.
    bool Cancel();
    // True from a successful Start until Finish.
    bool Running() const { return running_; }
    // Waits for the write thread, then verifies and ejects as the options say, empties the
    // burner's tables and gives back the disc. Returns the burn's report.
    const TBurnReport& Finish();
    const TBurnReport& Report() const { return report_; }

private:
    bool Refuse(TBurnOutcome outcome, const std::string& text);
    bool CheckRecorder();
    bool CheckDisc();
    bool CloseUnfinishedTrack(int* sessionToImport);
    bool InsertPaths(const std::vector<std::string>& paths);
    bool ImportLastSession(int session);
    bool PrepareArchive();
    void ReleaseDisc();

    TMCDBurner& burner_;
    IBurnSink& sink_;
    TBurnOptions options_;
    TBurnReport report_;
    TEmulatedDrive* heldDisc_ = nullptr;  // the emulated recorder whose disc this burn holds
    std::unique_ptr<TSessionChecksums> checksums_;  // the list's hook, from the archive's preparation to the layout
    std::shared_ptr<TSessionHashes> hashes_;        // the new files' checksums, filled by the write
    std::atomic<bool> running_{false};
    TWriteDoneEvent previousWriteDone_;
    TNotifyEvent previousFinalizing_, previousLastWrite_;
    std::mutex endMutex_;
    std::string endText_;  // OnWriteDone's text, under endMutex_
};

// Start, wait and Finish on the calling thread.
TBurnReport RunBurn(TMCDBurner& burner, const std::vector<std::string>& paths, const TBurnOptions& options,
                    IBurnSink& sink);

// Texts of the procedure's checks.
inline constexpr char kNoRecorder[] = "NO RECORDER FOUND";
