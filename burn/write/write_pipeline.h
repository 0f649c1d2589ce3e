#pragma once
// The write thread of a burn (TThWrite): prepares the drive, takes the blocks of the cache
// (write_cache.h) and writes each with one WRITE (10), then flushes, closes the session and
// resets the drive. Its steps and their failure texts are the burner's; RunWriteThread is
// the thread's whole body up to the end-of-burn event, which the burner component raises
// with the returned text.
//
// The write thread sends every command through its own TDriveCommands object, so the
// outcome of its commands is never mixed with commands from another thread. What callers
// read while it runs (bytes written, the drive's buffer figures, the current file) is in
// TWriteProgress, whose members are atomic or locked.

#include "burn/burn_messages.h"
#include "burn/burn_timing.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class TCacheThread;
class TDriveCommands;

// Progress of a running burn, written by the write thread, read by anyone.
struct TWriteProgress {
    std::atomic<int64_t> bytesWritten{0};
    std::atomic<uint32_t> deviceBufferSize{0};
    std::atomic<uint32_t> deviceFreeBufferSize{0};

    void SetCurrentFile(const std::string& path)
    {
        std::lock_guard lock(mutex_);
        currentFile_ = path;
    }
    std::string CurrentFile() const
    {
        std::lock_guard lock(mutex_);
        return currentFile_;
    }

private:
    mutable std::mutex mutex_;
    std::string currentFile_;
};

// Everything one burn's write thread works with.
struct TWriteJob {
    TDriveCommands* commands = nullptr;  // the thread's own command object, settings copied
    TCacheThread* cache = nullptr;
    TWriteProgress* progress = nullptr;
    uint32_t sessionStart = 0;   // where the session was laid out
    int64_t imageSectors = 0;    // sectors the burn writes, post-gap included (RESERVE TRACK)
    bool testWrite = false;
    bool finalizeDisc = false;
    bool finalizeTrack = true;
    bool underrunProtection = true;
    bool performOpc = false;
    TBurnTiming timing;
    TMessagePoster post;
    std::function<void()> onFinalizingTrack;  // raised on the write thread
    // Raised on the write thread just before the last WRITE (10) goes out: from then on
    // the burn is not stopped any more (an abort already set still stops it).
    std::function<void()> onLastWrite;
};

// The end text of a burn whose data went out but whose session the drive did not close,
// and what that means for the disc (it follows the drive's error in brackets).
inline constexpr char kSessionNotClosed[] = "SESSION NOT CLOSED";
inline constexpr char kSessionNotClosedMeans[] =
    ": THE FILES OF THIS BURN ARE NOT READABLE, THE EARLIER SESSIONS ARE; "
    "THE NEXT BURN CLOSES THE UNFINISHED SESSION WITHOUT ITS FILES";

// Runs the write thread's steps: drive preparation, data, flush, close and drive reset.
// Returns the end-of-burn text: empty on success, otherwise the failure's text.
std::string RunWriteThread(TWriteJob& job);

// Gives the calling thread the highest real-time priority the process may take; a
// priority it may not take is skipped silently.
void RaiseThreadPriority();
