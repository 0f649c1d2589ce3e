#include "burn/write/write_pipeline.h"

#include "burn/drive/drive_abilities.h"
#include "burn/drive/drive_commands.h"
#include "burn/sector_size.h"
#include "burn/transport/scsi_transport.h"
#include "burn/write/write_cache.h"
#include "core/base/byte_order.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <vector>

namespace {

constexpr uint8_t kAscNotReady = 0x04;

bool isDvd(int type)
{
    return type == dtDvdR || (type >= dtDvdRw && type <= dtDvdPlusR);
}

bool isDvdMinus(int type)
{
    return type == dtDvdR || type == dtDvdRw;
}

// The performance descriptor of SET STREAMING for DVD-R/RW: the whole disc (sectors 0 to
// 0023127Fh) at the drive's reading and writing rates per second.
std::vector<uint8_t> streamingDescriptor()
{
    std::vector<uint8_t> d(28, 0);
    const uint32_t endSector = 0x0023127F, readSize = 0xABBD, writeSize = 0x058A, time = 1000;
    bytes::putBe32(&d[4], 0);  // start sector
    bytes::putBe32(&d[8], endSector);
    bytes::putBe32(&d[12], readSize);
    bytes::putBe32(&d[16], time);
    bytes::putBe32(&d[20], writeSize);
    bytes::putBe32(&d[24], time);
    return d;
}

// SEND DVD STRUCTURE format 0Fh: the time stamp of the recording, local time.
std::vector<uint8_t> timeStamp()
{
    std::vector<uint8_t> d(22, 0);
    d[1] = 0x14;  // length 20
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::copy(text, text + 14, d.begin() + 8);
    return d;
}

void publishBuffer(TWriteJob& job)
{
    job.progress->deviceBufferSize = job.commands->DeviceBufferSize;
    job.progress->deviceFreeBufferSize = job.commands->DeviceFreeBufferSize;
}

// Prepares the drive (steps 2 to 7). Returns an error text when the session cannot be
// written where it was laid out.
std::string prepareDrive(TWriteJob& job)
{
    TDriveCommands& c = *job.commands;
    // A reader ends the burn before anything is sent that could disturb it.
    const std::string drive = c.Transport().Drive().line;
    if (DriveOnlyReads(c.Transport(), drive))
        return DriveCannotWriteText(drive);
    // The drive is ours until the burn ends: no disk service or automounter may probe it.
    std::string held;
    if (!c.Transport().ClaimDrive(&held))
        return held;
    c.DiscType = c.GetDiscType();
    const int type = c.DiscType;
    if (type != dtDvdRam)
        c.LoadUnload(false);
    if (type != dtDvdPlusRw)
        c.RezeroUnit();
    if (type != dtDvdRam)
        c.SetCdSpeed();
    c.WaitReady(10000, 1000);
    c.ReadCapabilities();
    int speed = TDriveCommands::SpeedFromKBs(bytes::be16(&c.CapabilitiesPage[20]));  // current write speed

    c.TestWrite = job.testWrite;
    c.UnderrunProtection = job.underrunProtection;
    c.FinalizeDisc = true;
    c.SetWriteParameters(job.testWrite, job.underrunProtection, type);
    c.FinalizeDisc = job.finalizeDisc;
    uint32_t address = 0;
    const bool haveAddress = c.GetNextWritableAddress(&address);
    // The header carries absolute sector numbers: a session written anywhere else than
    // where it was laid out would point at the wrong sectors.
    if (!haveAddress && job.sessionStart != 0)
        return "ERROR GETTING NEXT WRITABLE ADDRESS [" + c.LastError() + "]";
    if (haveAddress && address != job.sessionStart)
        return "NEXT WRITABLE ADDRESS " + std::to_string(address) + " IS NOT THE PREPARED SESSION START " +
               std::to_string(job.sessionStart);

    if (isDvdMinus(type)) {
        const std::vector<uint8_t> perf = streamingDescriptor();
        c.SetStreaming(perf);
        const std::vector<uint8_t> stamp = timeStamp();
        c.SendDvdStructure(0x0F, stamp);
        c.ReserveTrack(static_cast<uint32_t>(job.imageSectors + 1));
        c.WaitReady(10000, 1000);
    }
    if (type != dtDvdRam && !job.testWrite && job.performOpc)
        c.SendOpc();
    if (isDvd(type) || type == dtDvdRam)
        speed /= 7;
    char line[128];
    std::snprintf(line, sizeof line, ">>> STARTING WRITE PROCESS ON %s AT %dX", DiscTypeName(type), speed);
    job.post(bmInformation, line);
    if (job.testWrite)
        job.post(bmInformation, ">>> TEST/DUMMY WRITE");
    return {};
}

// Writes the blocks of the cache (step 8). Sets the cache's error on a failure. True when
// every sector of the session went out.
bool writeData(TWriteJob& job)
{
    TDriveCommands& c = *job.commands;
    TCacheThread& cache = *job.cache;
    const bool dvdRam = c.DiscType == dtDvdRam;
    std::vector<uint8_t> buffer(TCacheThread::kBlockBytes);
    uint32_t written = 0;
    int countdown = 5;
    bool lastAnnounced = false;
    for (;;) {
        const int n = cache.WaitBlock(buffer);
        if (n <= 0 || !cache.ErrorText().empty())
            return n == 0 && cache.ErrorText().empty() && int64_t(written) >= job.imageSectors;
        job.progress->SetCurrentFile(cache.CurrentFile());
        job.progress->bytesWritten += n;
        // The drive's buffer figures before blocks 6, 11, 16 and so on; a failed read
        // stops the refresh for this burn.
        if (!dvdRam) {
            if (countdown == 0 && c.ReadBufferCapacity()) {
                countdown = 5;
                publishBuffer(job);
            }
            --countdown;
        }
        const uint16_t sectors = static_cast<uint16_t>(static_cast<uint32_t>(n) / kSectorSize);
        // From the last block on the burn runs to its close: stopping now would leave a
        // complete session unclosed. An abort that came first still stops it here.
        if (!lastAnnounced && int64_t(written) + sectors >= job.imageSectors) {
            lastAnnounced = true;
            if (job.onLastWrite)
                job.onLastWrite();
            if (!cache.ErrorText().empty())
                return false;
        }
        for (int attempt = 1;; ++attempt) {
            if (c.Write10(job.sessionStart + written, sectors, buffer)) {
                written += sectors;
                break;
            }
            const TScsiResult& r = c.LastResult();
            // Busy, or "not ready" while the drive empties its buffer (ASC 04h), or a check
            // condition without a code: the drive will take the block later. A command
            // that failed below the drive is not retried.
            const bool retry = r.busy || (!r.transportError && (r.asc() == kAscNotReady || r.asc() == 0));
            if (!retry) {
                cache.Abort("WRITER ERROR [" + r.error + "]");
                return false;
            }
            if (attempt >= job.timing.busyRetries) {
                cache.Abort("WRITER BUSY/BUFFER FULL");
                return false;
            }
            if (cache.WaitForAbort(job.timing.busyRetryMs))
                return false;
        }
    }
}

// Flushes the drive's buffer (step 9); OnFinalizingTrack is raised here. Returns an error
// text when the drive did not confirm that its buffer is on the disc.
std::string flush(TWriteJob& job)
{
    std::string error;
    TDriveCommands& c = *job.commands;
    const int type = c.DiscType;
    if (type != dtDvdRam && c.ReadBufferCapacity())
        publishBuffer(job);
    if (isDvdMinus(type)) {
        if (job.onFinalizingTrack)
            job.onFinalizingTrack();
        if (c.Transport().Drive().dvrDrive)
            job.post(bmInformation, ">>> WRITING LEAD-OUT (THIS CAN TAKE APPROXIMATELY 15-20 MINUTES)");
        c.SynchronizeCache(true, 1800000);
        job.progress->deviceFreeBufferSize = job.progress->deviceBufferSize.load();
        std::array<uint8_t, 56> info{};
        // The lead-out takes minutes, not hours: the wait has an end.
        int polls = 0;
        while (!c.ReadDiscInformation(info)) {
            if (++polls > job.timing.leadOutPolls) {
                error = "LEAD-OUT NOT CONFIRMED [" + c.LastError() + "]";
                break;
            }
            const uint32_t size = job.progress->deviceBufferSize;
            const uint32_t free = job.progress->deviceFreeBufferSize;
            job.progress->deviceFreeBufferSize = free > size / 960 ? free - size / 960 : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(job.timing.leadOutPollMs));
        }
    } else {
        if (job.onFinalizingTrack)
            job.onFinalizingTrack();
        if (!c.SynchronizeCache(false, 120000) && !c.SynchronizeCache(true, 120000))
            error = "CACHE NOT FLUSHED [" + c.LastError() + "]";
    }
    job.progress->deviceBufferSize = 0;
    job.progress->deviceFreeBufferSize = 0;
    return error;
}

// Closes the session (step 11). Returns an error text when the drive did not close it.
std::string closeSession(TWriteJob& job)
{
    TDriveCommands& c = *job.commands;
    const int type = c.DiscType;
    if (job.testWrite || type == dtDvdRam || isDvdMinus(type) || !job.finalizeTrack)
        return {};
    c.FinalizeDisc = job.finalizeDisc;
    c.SetWriteParameters(job.testWrite, job.underrunProtection, type);
    const bool immediate = c.Transport().Drive().immediateClose;
    bool closed = false;
    for (int attempt = 0; attempt < job.timing.closeRetries && !closed; ++attempt) {
        if (c.CloseSession(immediate)) {
            closed = true;
        } else if (!c.TargetBusy() && c.LastAsc() != kAscNotReady) {
            closed = c.CloseSession(immediate);
            break;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(job.timing.closeRetryMs));
        }
    }
    return closed ? std::string() : std::string(kSessionNotClosed) + " [" + c.LastError() + "]" + kSessionNotClosedMeans;
}

// Leaves the drive as a reader expects it (step 12).
void resetDrive(TWriteJob& job)
{
    TDriveCommands& c = *job.commands;
    const int type = c.DiscType;
    c.WaitReady(240000, 5000);
    if (type != dtDvdRam && c.ReadBufferCapacity())
        publishBuffer(job);
    c.Transport().SetCloseAfterCommand(true);
    c.SetWriteParameters(false, false, dtCdRom);
    c.ReadSpeed = c.DeviceMaxReadSpeed;
    c.WriteSpeed = 2;
    c.SetCdSpeed();
    c.RezeroUnit();
    c.PreventRemoval(false);
    c.LoadUnload(false);
    c.RezeroUnit();
    c.TestUnitReady(5000);
    if (type != dtDvdRam && !isDvdMinus(type) && type != dtDvdPlusRw)
        c.RezeroUnit();
}

}  // namespace

void RaiseThreadPriority()
{
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_RR);
    pthread_setschedparam(pthread_self(), SCHED_RR, &param);  // refused without the right: skipped
}

std::string RunWriteThread(TWriteJob& job)
{
    TCacheThread& cache = *job.cache;
    TDriveCommands& c = *job.commands;
    job.progress->bytesWritten = 0;
    c.Timing = job.timing;

    const std::string prepared = prepareDrive(job);
    if (!prepared.empty()) {
        cache.Abort(prepared);
    } else {
        // The tray stays shut while the session is written; every end path below opens it
        // again (and the kernel does when the program dies and the drive is closed).
        c.PreventRemoval(true);
        writeData(job);
    }
    const std::string flushError = flush(job);
    // The outcome is what the drive confirmed: the data, its flush and the close.
    std::string result = cache.ErrorText();
    if (result.empty())
        result = flushError;
    if (result.empty()) {
        result = closeSession(job);
        resetDrive(job);
    } else {
        // The drive is never left locked, whatever ended the burn.
        c.PreventRemoval(false);
    }

    TScsiTransport& transport = c.Transport();
    transport.ReleaseDrive();
    if (transport.BuiltInLayerActive())
        transport.Reinitialise();
    job.progress->SetCurrentFile(cache.CurrentFile());
    if (!result.empty())
        cache.Abort(result);
    cache.Join();
    return result;
}
