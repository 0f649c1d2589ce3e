#include "burn/burn_procedure.h"

#include "burn/burner.h"
#include "burn/drive/disc_reader.h"
#include "burn/drive/drive_abilities.h"
#include "burn/emulated/emulated_drive.h"
#include "burn/emulated/emulated_target.h"
#include "burn/iso/disc_identity.h"
#include "burn/iso/local_tree.h"
#include "burn/write/disc_audit.h"
#include "core/base/byte_order.h"

#include <ctime>
#include <sys/stat.h>

namespace {

// The burner's table limits after every burn.
constexpr int kMaxFiles = 600000;
constexpr int kMaxDirectories = 20000;

constexpr uint8_t kAscNoMedium = 0x3A;
constexpr uint32_t kWriteCapabilities =
    cap::CdrWrite | cap::CdrwWrite | cap::DvdrWrite | cap::DvdRamWrite | cap::DvdPlusRwCurrent;

bool isSourceFileError(const std::string& text)
{
    return text.rfind("CAN'T OPEN FILE ", 0) == 0 || text.rfind("FILE \"", 0) == 0;
}

// Media that take sessions one after another and can be closed.
bool sequential(int type)
{
    return type == dtCdR || type == dtCdRw || type == dtDvdR || type == dtDvdRw || type == dtDvdPlusR;
}

// Counts the file-system and table-limit lines the burner posts while it lives, and keeps
// the first; the caller's handler still gets every line.
class MessageWatch {
public:
    explicit MessageWatch(TMCDBurner& burner) : burner_(burner), previous_(burner.OnDebugMessage)
    {
        burner_.OnDebugMessage = [this](TSCSIDevice& sender, const std::string& text, uint8_t kind) {
            if (kind == kMsgFileSystem || kind == kMsgTableLimit) {
                ++problems;
                if (first.empty())
                    first = text;
            }
            if (previous_)
                previous_(sender, text, kind);
        };
    }
    ~MessageWatch() { burner_.OnDebugMessage = previous_; }
    int problems = 0;
    std::string first;

private:
    TMCDBurner& burner_;
    TOnDebugMsg previous_;
};

// The emulated recorder when it is the selected drive.
TEmulatedDrive* selectedEmulatedDrive(TMCDBurner& burner)
{
    TScsiTransport& t = burner.Transport();
    if (!t.BuiltInLayerActive() || !t.Layer())
        return nullptr;
    TEmulatedDrive* drive = BuiltInEmulatedDrive(t.Layer());
    const TSelectedDrive selected = t.Drive();
    if (!drive || !selected.selected())
        return nullptr;
    return BuiltInDeviceNode(*t.Layer(), selected.ha, selected.target, selected.lun) == drive->ImagePath() ? drive
                                                                                                         : nullptr;
}

}  // namespace

TBurnProcedure::TBurnProcedure(TMCDBurner& burner, IBurnSink& sink)
    : burner_(burner), sink_(sink), previousWriteDone_(burner.OnWriteDone),
      previousFinalizing_(burner.OnFinalizingTrack), previousLastWrite_(burner.OnLastWrite)
{
    // Handlers set before keep running, first.
    burner_.OnWriteDone = [this](TMCDBurner& sender, const std::string& error) {
        if (previousWriteDone_)
            previousWriteDone_(sender, error);
        {
            std::lock_guard lock(endMutex_);
            endText_ = error;
        }
        sink_.WriteEnded();
    };
    burner_.OnFinalizingTrack = [this](TMCDBurner& sender) {
        if (previousFinalizing_)
            previousFinalizing_(sender);
        sink_.FinalizingTrack();
    };
    burner_.OnLastWrite = [this](TMCDBurner& sender) {
        if (previousLastWrite_)
            previousLastWrite_(sender);
        sink_.LastWriteOut();
    };
}

TBurnProcedure::~TBurnProcedure()
{
    if (running_)
        Finish();
    burner_.OnWriteDone = previousWriteDone_;
    burner_.OnFinalizingTrack = previousFinalizing_;
    burner_.OnLastWrite = previousLastWrite_;
}

bool TBurnProcedure::Refuse(TBurnOutcome outcome, const std::string& text)
{
    checksums_.reset();
    hashes_.reset();
    report_.outcome = outcome;
    report_.text = text;
    ReleaseDisc();
    return false;
}

void TBurnProcedure::ReleaseDisc()
{
    if (heldDisc_)
        heldDisc_->EndBurn();
    heldDisc_ = nullptr;
}

bool TBurnProcedure::CheckRecorder()
{
    const TSelectedDrive drive = burner_.Transport().Drive();
    if (!burner_.ASPIInitialized() || !drive.selected())
        return Refuse(TBurnOutcome::NotWritable, kNoRecorder);
    if (!(burner_.Commands().CapabilityFlags & kWriteCapabilities) || DriveOnlyReads(burner_.Transport(), drive.line))
        return Refuse(TBurnOutcome::NotWritable, DriveCannotWriteText(drive.line));
    if (options_.testWrite && !(burner_.Commands().CapabilityFlags & cap::TestWrite))
        return Refuse(TBurnOutcome::Failed, TestWriteRefusal(drive.line));
    // The emulated recorder's disc is this burn's until Finish; a real drive is held by
    // its transport while it writes.
    if (TEmulatedDrive* emulated = selectedEmulatedDrive(burner_)) {
        std::string why;
        if (!emulated->BeginBurn(&why))
            return Refuse(TBurnOutcome::Failed, why);
        heldDisc_ = emulated;
    }
    return true;
}

bool TBurnProcedure::CheckDisc()
{
    TDriveCommands& c = burner_.Commands();
    const std::string line = burner_.Transport().Drive().line;
    if (!c.TestUnitReady(5000) && c.LastAsc() == kAscNoMedium)
        return Refuse(TBurnOutcome::NotWritable, "NO DISC IN DRIVE " + line);
    const int type = c.GetDiscType();
    c.DiscType = type;
    const bool writable = type == dtCdR || type == dtCdRw || type == dtDvdR || type == dtDvdRam ||
                          type == dtDvdRw || type == dtDvdRw2 || type == dtDvdPlusRw || type == dtDvdPlusR;
    if (!writable)
        return Refuse(TBurnOutcome::NotWritable,
                      "THE DISC IN DRIVE " + line + " CANNOT BE WRITTEN (" + DiscTypeName(type) + ")");
    uint8_t info[56] = {};
    if (sequential(type) && c.ReadDiscInformation(info) && (info[2] & 0x03) == 2)
        return Refuse(TBurnOutcome::NotWritable, "THE DISC IN DRIVE " + line + " (" + DiscTypeName(type) +
                                                     ") IS CLOSED: NO FURTHER SESSION CAN BE ADDED");
    return true;
}

// A burn that ended early leaves its track open: its data is partial and its descriptors
// name files that were never fully written. It is closed as a session of its own, and the
// new session imports the session before it.
bool TBurnProcedure::CloseUnfinishedTrack(int* sessionToImport)
{
    TDriveCommands& c = burner_.Commands();
    const int type = c.DiscType;
    if (!sequential(type))
        return true;
    uint8_t track[38] = {};
    if (!c.ReadTrackInformation(0xFF, track) || !(track[7] & 0x01))
        return true;
    const uint32_t start = bytes::be32(&track[8]), next = bytes::be32(&track[12]);
    if (next <= start)
        return true;
    const int goodSessions = c.LastSessionNumber();
    const std::string holds = "THE DISC HOLDS AN UNFINISHED TRACK OF " + std::to_string(next - start) +
                              " SECTORS AT SECTOR " + std::to_string(start) + " AFTER " +
                              std::to_string(goodSessions) + " CLOSED SESSION(S)";
    if (options_.testWrite)
        return Refuse(TBurnOutcome::Failed, holds + "; A BURN WITHOUT TEST WRITE CLOSES IT");
    sink_.Notice(">>> " + holds + "; CLOSING IT WITHOUT ITS FILES");
    const bool finalize = c.FinalizeDisc;
    c.FinalizeDisc = false;  // the disc stays open for the new session
    const bool closed = c.SetWriteParameters(false, burner_.UnderrunProtection(), type) &&
                        c.CloseSession(burner_.Transport().Drive().immediateClose);
    c.FinalizeDisc = finalize;
    if (!closed)
        return Refuse(TBurnOutcome::Failed, holds + "; IT COULD NOT BE CLOSED [" + c.LastError() + "]");
    c.WaitReady(240000, 5000);
    *sessionToImport = goodSessions;
    return true;
}

bool TBurnProcedure::InsertPaths(const std::vector<std::string>& paths)
{
    MessageWatch watch(burner_);
    for (const std::string& path : paths) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            if (options_.missingIsError)
                return Refuse(TBurnOutcome::FileError, "CANNOT READ " + path + ": NO SUCH FILE OR DIRECTORY");
            continue;  // the window leaves out a file that is gone
        }
        std::string error;
        const bool ok = S_ISDIR(st.st_mode) ? InsertFolderIntoRoot(burner_.Tables(), path, &error)
                                            : burner_.InsertFile("\\", path, false) != 0;
        if (!ok && S_ISDIR(st.st_mode)) {
            if (options_.missingIsError)
                return Refuse(TBurnOutcome::FileError, error);
            sink_.Notice(error);
        }
    }
    if (watch.problems > 0 && options_.missingIsError)
        return Refuse(TBurnOutcome::FileError, watch.first);
    return true;
}

bool TBurnProcedure::ImportLastSession(int session)
{
    if (session == 0 || burner_.Commands().LastSessionNumber() <= 0)
        return true;
    std::string why;
    {
        MessageWatch watch(burner_);
        const bool imported = burner_.ImportSession(session);
        if (!imported || watch.problems > 0)
            why = watch.first.empty() ? std::string("ERROR IMPORTING SESSION") : watch.first;
    }
    if (why.empty())
        return true;
    // Cut the burner's ">>> " and line breaks: the reason goes into one line.
    if (why.rfind(">>> ", 0) == 0)
        why.erase(0, 4);
    for (char& ch : why)
        if (ch == '\n' || ch == '\r')
            ch = ' ';
    if (options_.continuePastUnimportable || sink_.ContinuePastUnimportable(why)) {
        sink_.Notice(">>> THE NEW SESSION LEAVES OUT THE FILES OF THE LAST SESSION (" + why + ")");
        return true;
    }
    burner_.ClearFileSystem(kMaxFiles, kMaxDirectories);
    return Refuse(TBurnOutcome::Unimportable,
                  "THE LAST SESSION OF THE DISC CANNOT BE IMPORTED (" + why +
                      "); NOTHING WAS WRITTEN: A NEW SESSION WOULD HIDE ITS FILES");
}

bool TBurnProcedure::PrepareArchive()
{
    std::string error;
    // The last session's own list stays in its session, with the lists on or off: a copy
    // carried into a later session would no longer be told from a user's file.
    checksums_ = std::make_unique<TSessionChecksums>(burner_.Tables());
    if (!options_.checksumListPath.empty()) {
        // Inserted before the import, so that the list is counted in the session.
        if (!checksums_->Add(options_.checksumListPath, &hashes_, &error)) {
            burner_.ClearFileSystem(kMaxFiles, kMaxDirectories);
            return Refuse(TBurnOutcome::FileError, error);
        }
    } else {
        std::vector<TSessionFile> files;
        if (!NewSessionFiles(burner_.Tables(), &files, &error)) {
            burner_.ClearFileSystem(kMaxFiles, kMaxDirectories);
            return Refuse(TBurnOutcome::FileError, error);
        }
        hashes_ = std::make_shared<TSessionHashes>(std::move(files));
    }
    // The checksums come as the write reads the files; until then only names and sizes.
    report_.files = hashes_->Files();
    report_.unchanged = FilesAlreadyOnDisc(burner_.Commands(), report_.files);
    if (report_.unchanged.empty() || options_.burnUnchanged || sink_.BurnUnchanged(report_.unchanged))
        return true;
    std::string names;
    for (const std::string& n : report_.unchanged)
        names += (names.empty() ? "" : ", ") + n;
    burner_.ClearFileSystem(kMaxFiles, kMaxDirectories);
    return Refuse(TBurnOutcome::Unchanged, "ALREADY ON THE DISC UNCHANGED: " + names);
}

bool TBurnProcedure::Start(const std::vector<std::string>& paths, const TBurnOptions& options)
{
    report_ = TBurnReport{};
    options_ = options;
    if (running_ || burner_.Writing())
        return Refuse(TBurnOutcome::Failed, "A BURN IS ALREADY RUNNING");
    {
        std::lock_guard lock(endMutex_);
        endText_.clear();
    }
    burner_.ClearFileSystem(kMaxFiles, kMaxDirectories);
    if (!CheckRecorder() || !CheckDisc())
        return false;
    int session = -1;
    if (!CloseUnfinishedTrack(&session))
        return false;
    burner_.SetTestWrite(options.testWrite);
    burner_.SetFinalizeDisc(options.finalizeDisc);
    if (!InsertPaths(paths)) {
        burner_.ClearFileSystem(kMaxFiles, kMaxDirectories);
        return false;
    }
    // SET CD SPEED goes out at once; DVD-RAM takes none (as in the write pipeline).
    if (burner_.Commands().DiscType != dtDvdRam)
        burner_.SetWriteSpeed(options.speed);
    if (burner_.DirectoryCount() == 0 && burner_.FileCount() == 0)
        return Refuse(TBurnOutcome::NothingToBurn, "NOTHING TO BURN");
    if (!PrepareArchive())
        return false;
    // The session is imported here, after the new files (as the layout would), so that a
    // session that cannot be read stops the burn before anything is written.
    if (!ImportLastSession(session))
        return false;
    if (!options_.checksumListPath.empty()) {
        if (const std::string clash = checksums_->ImportedClash(); !clash.empty()) {
            burner_.ClearFileSystem(kMaxFiles, kMaxDirectories);
            return Refuse(TBurnOutcome::Failed, clash + "; NOTHING WAS WRITTEN");
        }
    }
    burner_.SetSessionToImport(0);
    const int64_t created = burner_.DateCreation(), modified = burner_.DateModification();
    if (!options_.checksumListPath.empty()) {
        const int64_t now = static_cast<int64_t>(std::time(nullptr));
        burner_.SetDateCreation(now);
        burner_.SetDateModification(now);
    }
    burner_.PrepareImage(false);
    // The header is built: the caller's dates and the tables' add-file hook come back.
    burner_.SetDateCreation(created);
    burner_.SetDateModification(modified);
    checksums_.reset();
    burner_.SetSessionToImport(-1);
    report_.freeSectors = burner_.FreeDiscBlocks();
    report_.requiredSectors = burner_.ImageSectors();
    if (report_.requiredSectors > int64_t(report_.freeSectors)) {
        burner_.ClearFileSystem(kMaxFiles, kMaxDirectories);
        return Refuse(TBurnOutcome::NoRoom, "INSUFFICIENT DISC SPACE");
    }
    sink_.WriteStarting(report_.requiredSectors);
    running_ = true;
    burner_.SetSessionHashes(hashes_);
    if (burner_.StartWrite()) {
        report_.wrote = true;
        return true;
    }
    // StartWrite raised OnWriteDone with its reason on this thread.
    Finish();
    return false;
}

bool TBurnProcedure::Cancel()
{
    return running_ && burner_.AbortWrite();
}

const TBurnReport& TBurnProcedure::Finish()
{
    if (!running_)
        return report_;
    burner_.WaitForWriteDone();
    std::string text;
    {
        std::lock_guard lock(endMutex_);
        text = endText_;
    }
    report_.text = text;
    report_.outcome = text.empty()           ? TBurnOutcome::Done
                      : isSourceFileError(text) ? TBurnOutcome::FileError
                                                : TBurnOutcome::Failed;
    // The checksums of the bytes the write read.
    if (hashes_)
        report_.files = hashes_->Files();
    hashes_.reset();
    if (report_.outcome == TBurnOutcome::Done && options_.verify && !options_.testWrite) {
        report_.verify = VerifySession(burner_.Commands(), burner_.Tables(), &report_.files);
        report_.verified = report_.verify.ok;
        if (!report_.verify.ok) {
            report_.outcome = TBurnOutcome::Failed;
            report_.text = "VERIFY FAILED: " + report_.verify.problem;
        }
    }
    if (report_.outcome == TBurnOutcome::Done && !options_.testWrite) {
        // Which disc and session the files went to, for the archive record.
        TDriveDiscReader reader(burner_.Commands());
        report_.session = reader.LastSessionNumber();
        if (!ReadDiscIdentity(reader, &report_.discIdentity))
            report_.discIdentity.clear();
    }
    if (report_.outcome == TBurnOutcome::Done && options_.eject)
        burner_.LoadUnload(true);
    burner_.ClearFileSystem(kMaxFiles, kMaxDirectories);
    ReleaseDisc();
    running_ = false;
    return report_;
}

TBurnReport RunBurn(TMCDBurner& burner, const std::vector<std::string>& paths, const TBurnOptions& options,
                    IBurnSink& sink)
{
    TBurnProcedure burn(burner, sink);
    if (burn.Start(paths, options))
        return burn.Finish();
    return burn.Report();
}
