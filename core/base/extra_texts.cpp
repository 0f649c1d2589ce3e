#include "core/base/extra_texts.h"

#include <cstring>
#include <utility>
#include <strings.h>

namespace extra {
namespace {

struct Entry {
    const char* key;
    const char* defaultText;
    std::string text;
};

constexpr std::pair<const char*, const char*> kDefaults[] = {
    // The language of Qt's own texts (standard buttons, file and print dialogs).
    {"Language", "en"},
    // Communication settings: the state of each port's device and the access hints.
    {"PortPresent", "present"},
    {"PortNotFound", "not found"},
    {"PortNoAccess", "no access"},
    {"PortDefault", "(default)"},
    {"PortDeviceTip", "The device this port name means"},
    {"HintJoinGroup", "The device belongs to the group %1: add the user to it (sudo adduser $USER %1) and log in again."},
    {"HintLogInAgain", "The user is in the group %1 that owns the device, but this session started before: log out and in again."},
    {"HintAskAdministrator", "Only the device's owner may use it: ask the administrator for access."},
    // The detail line of the port's open error.
    {"PortNotChosen", "No port is chosen (%1): choose COM1 to COM4 in the communication settings."},
    {"PortDenied", "Access to %1 was denied."},
    {"PortMissing", "The device %1 does not exist."},
    {"PortBusy", "The device %1 is in use by another program."},
    {"PortBadSpeed", "Invalid line speed setting %1; the speed index must be 0 to 4 (9600 to 115200 bit/s)"},
    // The burn window.
    {"BurnCancel", "&Cancel"},
    {"BurnCancelQuestion", "Stop the burn? The files written so far stay on the disc in a session that is not "
                           "closed; a write-once disc may not take further sessions."},
    {"BurnCloseRefused", "A disc is being burned. The program can be closed when the burn has ended."},
    {"BurnStillRunning", "BURN REFUSED - THE PREVIOUS BURN HAS NOT ENDED YET"},
    {"BurnNoHandover", "BURN REFUSED - THE WINDOW CANNOT RECEIVE THE BURNER'S EVENTS"},
    {"BurnFolderTitle", "Open folder"},
    {"BurnNoRecorderHelp", "No recorder: connect a CD writer (/dev/sr*) and give the user access to it (on Debian: "
                           "the cdrom group), or set [Burn] VirtualDrive=IMAGE in SYSTEM.CFG to burn into an image file."},
    {"BurnCannotStop", "The last data has gone to the drive: the burn can no longer be stopped."},
    {"BurnImportQuestion", "The disc's last session cannot be read (%1). A new session would not show its files. Burn anyway?"},
    {"BurnCheckDisc", "Check disc"},
    {"BurnUnarchived", "Reports never archived"},
    {"BurnDriveLine", "%1 [writes: %2]"},
    {"BurnWritesUnknown", "unknown"},
    {"BurnWritesNothing", "nothing"},
    {"BurnAlreadyOnDisc", "Already on the disc unchanged: %1"},
    {"BurnAgainQuestion", "%1. Burn them again?"},
    // The disc check's window: its title, columns, summary and the files' states.
    {"AuditTitle", "Check disc"},
    {"AuditFile", "File"},
    {"AuditSession", "Session"},
    {"AuditSize", "Size"},
    {"AuditState", "State"},
    {"AuditUnreadable", "The disc cannot be read: %1"},
    {"AuditDiffer", "%1 of %2 files differ or are missing."},
    {"AuditNoDifference", "%1 files checked in %2 sessions: no difference."},
    {"AuditNoList", "Session %1 has no checksum list."},
    {"AuditSame", "same"},
    {"AuditDiffers", "differs"},
    {"AuditNotInList", "not in the list"},
    {"AuditNoDownloadRecord", "no download record"},
    {"AuditMissing", "missing"},
    {"AuditDiffersFromList", "differs from the session's checksum list"},
    {"AuditDiffersFromDownload", "differs from the checksum recorded at the download"},
    // The burner's and the command line's own lines shown in the windows, and what the
    // checksum and archive files' readers say of a file (reworded by Reword; each
    // built-in text is the line exactly as they write it).
    {"BurnNoRecorder", "NO RECORDER FOUND"},
    {"BurnNoDisc", "NO DISC IN DRIVE %1"},
    {"BurnDiscNotWritable", "THE DISC IN DRIVE %1 CANNOT BE WRITTEN (%2)"},
    {"BurnDiscClosed", "THE DISC IN DRIVE %1 (%2) IS CLOSED: NO FURTHER SESSION CAN BE ADDED"},
    {"BurnCannotReadFile", "CANNOT READ %1: NO SUCH FILE OR DIRECTORY"},
    {"BurnAlreadyRunning", "A BURN IS ALREADY RUNNING"},
    {"BurnVerifyFailed", "VERIFY FAILED: %1"},
    {"BurnUnimportable", "THE LAST SESSION OF THE DISC CANNOT BE IMPORTED (%1); NOTHING WAS WRITTEN: A NEW "
                         "SESSION WOULD HIDE ITS FILES"},
    {"BurnLeavesOutLastSession", ">>> THE NEW SESSION LEAVES OUT THE FILES OF THE LAST SESSION (%1)"},
    {"BurnUnfinishedTrack", "THE DISC HOLDS AN UNFINISHED TRACK OF %1 SECTORS AT SECTOR %2 AFTER %3 CLOSED SESSION(S)"},
    {"BurnClosingUnfinishedTrack", ">>> %1; CLOSING IT WITHOUT ITS FILES"},
    {"BurnUnfinishedTrackTestWrite", "%1; A BURN WITHOUT TEST WRITE CLOSES IT"},
    {"ArchiveNoDiscIdentity", "The archive record was not written: the disc's first session cannot be read"},
    {"AuditUnreadableAt", "the disc cannot be read at sector %1 (%2)"},
    {"AuditNamedInList", "named in the session's checksum list"},
    {"AuditNoSession", "the disc holds no session (a blank disc, or no disc in the drive)"},
    {"AuditSessionUnreadableWhy", "session %1 cannot be read: %2"},
    {"AuditSessionUnreadable", "session %1 cannot be read"},
    {"AuditListTooLarge", "the checksum list of session %1 is too large"},
    {"AuditListUnreadable", "the checksum list of session %1: %2"},
    {"FileNewerVersion", "\"%1\" was written by a newer version of the program (version %2); it is left as it is"},
    {"ChecksumsDamaged", "\"%1\": line %2 is no checksum line (%3 such lines)"},
    {"ArchiveRecordDamaged", "\"%1\": line %2 is no archive record line (%3 such lines)"},
    {"FileKeptAsBackup", "%1; the old file is kept in %2.bak"},
    // The About window.
    {"AboutCaption", "About..."},
    {"AboutVersion", "Version %1"},
    {"AboutBuild", "Build for Linux"},
    {"AboutNotice", "Fiscal memory service tool"},
    {"AboutFolder", "Program folder: %1"},
    {"AboutOK", "&OK"},
    // The main window's status bar and title.
    {"StatusReady", "Ready"},
    {"StatusTestOk", "Register answered on %1 at %2 bit/s"},
    {"StatusTestFailed", "Register did not answer on %1 at %2 bit/s"},
    {"StatusPortFailed", "Port %1 could not be opened"},
    {"StatusStored", "Report stored as %1"},
    {"StatusNoRecords", "No records in this range; report stored as %1"},
    {"StatusCancelled", "Download cancelled"},
    {"StatusFailed", "Download failed: %1"},
    {"StatusRefused", "The register refused the report: %1"},
    {"StatusFileFailed", "Report not stored: %1"},
    {"StatusOpened", "Report %1 shown"},
    {"StatusSaved", "Report saved as %1"},
    {"StatusDeleted", "Catalogue entry %1 deleted"},
    {"StatusPrinted", "Report sent to %1"},
    {"TitleDemo", "demo"},
    {"TitleSeparator", " - "},
    // The report window's file dialogs.
    {"OpenTitle", "Open report"},
    {"SaveTitle", "Save report as"},
    // The name of the file dialogs' one filter.
    {"FileFilter", "File"},
    // Qt's own texts that its translations leave English: the file dialogs' "Computer".
    {"QtComputer", "Computer"},
    // The error box for a failure that carries no message.
    {"UnknownError", "Unknown error"},
};

// The keys whose built-in texts are lines of the burner or the command line.
constexpr const char* kRewordable[] = {
    "BurnNoRecorder", "BurnNoDisc", "BurnDiscNotWritable", "BurnDiscClosed", "BurnCannotReadFile",
    "BurnAlreadyRunning", "BurnVerifyFailed", "BurnUnimportable", "BurnLeavesOutLastSession", "BurnUnfinishedTrack",
    "BurnClosingUnfinishedTrack", "BurnUnfinishedTrackTestWrite", "ArchiveNoDiscIdentity", "AuditUnreadableAt",
    "AuditNamedInList", "AuditNoSession", "AuditSessionUnreadableWhy", "AuditSessionUnreadable", "AuditListTooLarge",
    "AuditListUnreadable", "FileNewerVersion", "ChecksumsDamaged", "ArchiveRecordDamaged", "FileKeptAsBackup"};

// Whether text from `at` on has the shape of pattern from `from` on; each "%N" stands for
// a value of at least one character, put into values[N-1].
bool matches(const std::string& pattern, std::size_t from, const std::string& text, std::size_t at,
             std::vector<std::string>& values)
{
    auto placeholderAt = [&pattern](std::size_t i) {
        return pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9';
    };
    // The literal part up to the next placeholder, character for character.
    for (; from < pattern.size() && !placeholderAt(from); ++from, ++at)
        if (at >= text.size() || text[at] != pattern[from])
            return false;
    if (from == pattern.size())
        return at == text.size();
    const auto n = static_cast<std::size_t>(pattern[from + 1] - '1');
    for (std::size_t end = at + 1; end <= text.size(); ++end) {
        if (values.size() <= n)
            values.resize(n + 1);
        values[n] = text.substr(at, end - at);
        if (matches(pattern, from + 2, text, end, values))
            return true;
    }
    return false;
}

std::string reword(const std::string& line, int depth);

std::vector<Entry>& table()
{
    static std::vector<Entry> entries = [] {
        std::vector<Entry> t;
        for (const auto& [key, text] : kDefaults)
            t.push_back({key, text, text});
        return t;
    }();
    return entries;
}

}  // namespace

const std::string& Text(const char* key)
{
    static const std::string none;
    for (const Entry& e : table())
        if (std::strcmp(e.key, key) == 0)
            return e.text;
    return none;
}

std::string Format(const char* key, const std::vector<std::string>& values)
{
    const std::string& pattern = Text(key);
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const std::size_t n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < values.size()) {
                out += values[n];
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

bool SetText(const std::string& key, const std::string& text)
{
    for (Entry& e : table()) {
        if (key.size() == std::strlen(e.key) && strncasecmp(key.c_str(), e.key, key.size()) == 0) {
            e.text = text;
            return true;
        }
    }
    return false;
}

std::vector<std::string> Keys()
{
    std::vector<std::string> keys;
    for (const Entry& e : table())
        keys.emplace_back(e.key);
    return keys;
}

namespace {

const char* defaultOf(const char* key)
{
    for (const auto& [k, text] : kDefaults)
        if (std::strcmp(k, key) == 0)
            return text;
    return "";
}

std::string reword(const std::string& line, int depth)
{
    if (depth > 3)
        return line;
    for (const char* key : kRewordable) {
        std::vector<std::string> values;
        if (!matches(defaultOf(key), 0, line, 0, values))
            continue;
        for (std::string& v : values)
            v = reword(v, depth + 1);
        return Format(key, values);
    }
    return line;
}

}  // namespace

std::string Reword(const std::string& line)
{
    return reword(line, 0);
}

void ResetToDefaults()
{
    for (Entry& e : table())
        e.text = e.defaultText;
}

}  // namespace extra
