#include "burn/burner.h"

#include "burn/drive/disc_reader.h"
#include "burn/sector_size.h"
#include "burn/emulated/emulated_target.h"
#include "burn/write/write_cache.h"

namespace {

// One burn at a time in the process: the transport and the drive are shared.
std::atomic<bool> g_burnRunning{false};

constexpr int kMinimumCacheSize = 2097152;

}  // namespace

// ---------------------------------------------------------------------------------------
// TSCSIDevice

TSCSIDevice::TSCSIDevice(TScsiTransport& transport) : transport_(transport), commands_(transport)
{
    transport_.DoDebug = false;
    TScsiTransportEvents events;
    events.onMessage = [this](int kind, const std::string& text) {
        PostDebugMessage(text, static_cast<uint8_t>(kind));
    };
    events.onReadCapabilities = [this] {
        commands_.ReadCapabilities();
        RefreshSpeeds();
    };
    events.onSelected = [this] {
        if (OnDeviceChange)
            OnDeviceChange(*this);
        commands_.ProbeWriteModes();
    };
    transport_.Attach(this, std::move(events));
}

TSCSIDevice::~TSCSIDevice()
{
    transport_.Detach(this);
}

IDebugWindow* TSCSIDevice::DebugWindow() const
{
    std::lock_guard lock(messageMutex_);
    return debugWindow_;
}

void TSCSIDevice::SetDebugWindow(IDebugWindow* window)
{
    std::lock_guard lock(messageMutex_);
    debugWindow_ = window;
}

void TSCSIDevice::DebugWindowDestroyed(IDebugWindow* window)
{
    std::lock_guard lock(messageMutex_);
    if (debugWindow_ == window)
        debugWindow_ = nullptr;
}

void TSCSIDevice::PostDebugMessage(const std::string& text, uint8_t kind)
{
    std::lock_guard lock(messageMutex_);
    if (debugWindow_)
        debugWindow_->AppendLine(text);
    if (OnDebugMessage)
        OnDebugMessage(*this, text, kind);
}

void TSCSIDevice::RefreshSpeeds()
{
    maxWriteSpeed_ = static_cast<uint16_t>(commands_.DeviceMaxWriteSpeed);
    maxReadSpeed_ = static_cast<uint16_t>(commands_.DeviceMaxReadSpeed);
}

bool TSCSIDevice::InitASPILayer(bool preferBuiltIn)
{
    return transport_.InitASPILayer(preferBuiltIn);
}

void TSCSIDevice::EnumerateDevices()
{
    transport_.EnumerateDevices();
}

bool TSCSIDevice::SelectDevice(const std::string& deviceLine)
{
    // The running burn's commands go to the drive it prepared, whatever line is chosen.
    if (DriveInUse()) {
        PostDebugMessage(kDriveChangeRefused, kMsgDriveError);
        return false;
    }
    return transport_.SelectDevice(deviceLine);
}

bool TSCSIDevice::LoadUnload(bool eject)
{
    return commands_.LoadUnload(eject);
}

int TSCSIDevice::GetDiscType()
{
    return commands_.GetDiscType();
}

bool TSCSIDevice::GetNextWritableAddress(uint32_t* address)
{
    return commands_.GetNextWritableAddress(address);
}

bool TSCSIDevice::ReadCapabilities()
{
    const bool ok = commands_.ReadCapabilities();
    RefreshSpeeds();
    return ok;
}

bool TSCSIDevice::SetWriteParameters(bool testWrite, bool underrunProtection, int discType)
{
    return commands_.SetWriteParameters(testWrite, underrunProtection, discType);
}

bool TSCSIDevice::WaitReady(int totalMs, int stepMs)
{
    return commands_.WaitReady(totalMs, stepMs);
}

void TSCSIDevice::ExecSCSICommand(aspi::SRB_ExecSCSICmd& srb, int timeoutMs)
{
    transport_.ExecSCSICommand(srb, timeoutMs);
}

// ---------------------------------------------------------------------------------------
// TMCDBurner

TMCDBurner::TMCDBurner(TScsiTransport& transport) : TSCSIDevice(transport)
{
    // An image configured as the virtual drive is burned through the emulated recorder.
    if (!transport.Config().openVirtualTarget)
        UseEmulatedRecorder(transport);
    image_.WritePostGap = true;
    ClearFileSystem(65535, 8191);
    SetCacheSize(4194304);
    image_.JolietFileSystem = true;
    finalizeTrack_ = true;
    underrunProtection_ = true;
    tables_.OnMessage = [this](int kind, const std::string& text) {
        PostDebugMessage(text, static_cast<uint8_t>(kind));
    };
    tables_.OnAddFile = [this](TAddFileInfo& info) {
        if (OnAddFile)
            OnAddFile(*this, info);
    };
    image_.OnMessage = tables_.OnMessage;
    if (transport_.Active())
        transport_.EnumerateDevices();
}

TMCDBurner::~TMCDBurner()
{
    WaitForWriteDone();
    JoinWriter();
}

void TMCDBurner::SetWriteSpeed(uint16_t speed)
{
    commands_.ReadSpeed = readSpeed_;
    commands_.WriteSpeed = speed;
    commands_.SetCdSpeed();
    writeSpeed_ = speed;
}

void TMCDBurner::SetCacheSize(int bytes)
{
    cacheSize_ = bytes < kMinimumCacheSize ? kMinimumCacheSize : bytes / int(kSectorSize) * int(kSectorSize);
}

uint8_t TMCDBurner::InsertFile(const std::string& destination, const std::string& source, bool keepSourcePath)
{
    return static_cast<uint8_t>(tables_.InsertFile(destination, source, keepSourcePath));
}

TSessionPlacement TMCDBurner::SessionPlacement(IDiscReader& disc)
{
    // On a CD the session starts at the next writable address; on DVD media the layout
    // starts at sector 0.
    TSessionPlacement placement;
    placement.disc = &disc;
    commands_.DiscType = commands_.GetDiscType();
    if (commands_.DiscType < dtDvdR || commands_.DiscType > dtDvdPlusR) {
        uint32_t address = 0;
        if (commands_.GetNextWritableAddress(&address))
            placement.start = address;
        else if (image_.OnMessage)
            image_.OnMessage(0, ">>> ERROR GETTING NEXT WRITABLE ADDRESS");
        if (placement.start > 0xFF000000u)
            placement.start = 0;
    }
    return placement;
}

bool TMCDBurner::PrepareImage(bool imageFileOnly)
{
    SetDoDebug(false);
    commands_.FinalizeDisc = finalizeDisc_;
    commands_.TestWrite = testWrite_;
    commands_.UnderrunProtection = underrunProtection_;
    if (imageFileOnly) {
        image_.PrepareImage();
    } else {
        TDriveDiscReader disc(commands_);
        image_.PrepareImage(SessionPlacement(disc));
    }
    SetDoDebug(true);
    return true;
}

uint32_t TMCDBurner::FreeDiscBlocks()
{
    commands_.UnderrunProtection = underrunProtection_;
    return commands_.FreeDiscBlocks();
}

void TMCDBurner::ClearFileSystem(int maxFiles, int maxDirectories)
{
    tables_.ClearFileSystem(maxFiles, maxDirectories);
    image_.ClearHeaderStream();
    hashes_.reset();
}

TDEntry* TMCDBurner::InsertDirectory(TDEntry* parent, const std::string& name, const std::string& shortName,
                                     const TIsoDate& date, int attributes)
{
    return tables_.InsertDirectory(parent, name, shortName, date, attributes);
}

TDEntry* TMCDBurner::ForceDirectories(const std::string& path)
{
    return tables_.ForceDirectories(path);
}

TDEntry* TMCDBurner::FindDirectory(const std::string& path)
{
    return tables_.FindDirectory(path);
}

bool TMCDBurner::ImportSession(int sessionNumber, TDEntry* target)
{
    TDriveDiscReader disc(commands_);
    return tables_.ImportSession(disc, sessionNumber, target);
}

void TMCDBurner::JoinWriter()
{
    if (writer_.joinable())
        writer_.join();
}

bool TMCDBurner::StartWrite()
{
    auto refuse = [this](const std::string& why) {
        if (OnWriteDone)
            OnWriteDone(*this, why);
        return false;
    };
    // A test write that the drive cannot do would be a real write.
    if (testWrite_ && !(commands_.CapabilityFlags & cap::TestWrite))
        return refuse(TestWriteRefusal(transport_.Drive().line));
    bool expected = false;
    if (!g_burnRunning.compare_exchange_strong(expected, true))
        return refuse("A BURN IS ALREADY RUNNING");
    JoinWriter();
    // The header is used once: a second StartWrite needs a new PrepareImage.
    std::vector<uint8_t> header = image_.TakeHeaderStream();
    if (header.empty()) {
        g_burnRunning = false;
        return refuse("NO SESSION PREPARED");
    }
    // The session as laid out: the header, the new files, the padding up to ImageSectors.
    TSessionStream stream(std::move(header), TSessionStream::NewFiles(tables_),
                          image_.ImageSectors() * int64_t{kSectorSize}, std::move(hashes_));
    auto cache = std::make_unique<TCacheThread>(std::move(stream), cacheSize_);
    progress_.bytesWritten = 0;
    try {
        cache->Start();
    } catch (const std::exception& e) {
        g_burnRunning = false;
        return refuse(std::string("CACHE THREAD NOT STARTED [") + e.what() + "]");
    }
    if (!cache->WaitPrimed()) {
        progress_.SetCurrentFile(cache->CurrentFile());
        const std::string error = cache->ErrorText();
        cache->Join();
        g_burnRunning = false;
        return refuse(error);
    }

    auto commands = std::make_unique<TDriveCommands>(commands_);
    commands->ReadSpeed = readSpeed_;
    commands->WriteSpeed = writeSpeed_;
    TWriteJob job;
    job.cache = cache.get();
    job.progress = &progress_;
    job.sessionStart = image_.SessionStart;
    job.imageSectors = image_.ImageSectors();
    job.testWrite = testWrite_;
    job.finalizeDisc = finalizeDisc_;
    job.finalizeTrack = finalizeTrack_;
    job.underrunProtection = underrunProtection_;
    job.performOpc = performOpc_;
    job.timing = Timing;
    job.post = [this](int kind, const std::string& text) { PostDebugMessage(text, static_cast<uint8_t>(kind)); };
    job.onFinalizingTrack = [this] {
        if (OnFinalizingTrack)
            OnFinalizingTrack(*this);
    };
    job.onLastWrite = [this] {
        {
            std::lock_guard lock(burnMutex_);
            lastWriteOut_ = true;
        }
        if (OnLastWrite)
            OnLastWrite(*this);
    };
    {
        std::lock_guard lock(burnMutex_);
        cache_ = cache.get();
        writing_ = true;
        lastWriteOut_ = false;
    }
    // The thread's share stays ours until it runs: a thread that cannot be started destroys
    // its arguments, and the cache must be stopped before it goes.
    struct THandOver {
        std::unique_ptr<TCacheThread> cache;
        std::unique_ptr<TDriveCommands> commands;
        TWriteJob job;
    };
    auto handOver = std::make_shared<THandOver>(THandOver{std::move(cache), std::move(commands), std::move(job)});
    try {
        writer_ = StartThread([this, handOver] {
            WriteThread(std::move(handOver->cache), std::move(handOver->commands), std::move(handOver->job));
        });
    } catch (const std::exception& e) {
        {
            std::lock_guard lock(burnMutex_);
            cache_ = nullptr;
        }
        handOver->cache->Abort();
        handOver->cache->Join();
        handOver.reset();
        EndBurn(std::string());
        return refuse(std::string("WRITE THREAD NOT STARTED [") + e.what() + "]");
    }
    return true;
}

void TMCDBurner::WriteThread(std::unique_ptr<TCacheThread> cache, std::unique_ptr<TDriveCommands> commands,
                             TWriteJob job)
{
    RaiseThreadPriority();
    job.commands = commands.get();
    std::string result;
    // An exception (from a handler or the engine) ends the burn with its text; the drive
    // is left unlocked.
    try {
        result = RunWriteThread(job);
    } catch (const std::exception& e) {
        result = std::string("WRITER ERROR [") + e.what() + "]";
    } catch (...) {
        result = "WRITER ERROR [UNKNOWN EXCEPTION]";
    }
    if (cache->ErrorText().empty() && !result.empty() && result.rfind("WRITER ERROR [", 0) == 0) {
        cache->Abort(result);  // stops the reader, which the exception left running
        commands->PreventRemoval(false);
    }
    {
        std::lock_guard lock(burnMutex_);
        cache_ = nullptr;
    }
    cache.reset();
    if (OnWriteDone)
        OnWriteDone(*this, result);
    progress_.SetCurrentFile(std::string());
    EndBurn(result);
}

void TMCDBurner::EndBurn(const std::string&)
{
    std::lock_guard lock(burnMutex_);
    writing_ = false;
    g_burnRunning = false;
    burnEnded_.notify_all();
}

bool TMCDBurner::AbortWrite()
{
    std::lock_guard lock(burnMutex_);
    if (!cache_ || lastWriteOut_)
        return false;
    cache_->Abort("OPERATION ABORTED BY USER");
    return true;
}

bool TMCDBurner::LastWriteOut() const
{
    std::lock_guard lock(burnMutex_);
    return writing_ && lastWriteOut_;
}

bool TMCDBurner::DriveInUse() const
{
    return writing_ || g_burnRunning;
}

std::string TestWriteRefusal(const std::string& driveLine)
{
    return "TEST WRITE REFUSED - THE DRIVE " + driveLine + " CANNOT DO A TEST WRITE; NOTHING WAS WRITTEN";
}

void TMCDBurner::WaitForWriteDone()
{
    std::unique_lock lock(burnMutex_);
    burnEnded_.wait(lock, [this] { return !writing_; });
}

bool TMCDBurner::WaitForWriteDone(int ms)
{
    std::unique_lock lock(burnMutex_);
    return burnEnded_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !writing_; });
}
