#pragma once
// The audit of a disc: reads every session through the drive (its tree with the session
// import, its files with READ (10)), computes the SHA-256 of each file a session wrote and
// compares it with the session's checksum list (SHA256SUMS in its root) and with the
// checksum recorded when the report was downloaded. Files carried over from an earlier
// session are checked once, in the session that wrote them. Plain C++; the download
// checksums come through a lookup.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TDriveCommands;

enum class TAuditState {
    Same,              // matches its session's list and its download checksum
    Differs,           // differs from one of them
    NotInList,         // its session has no list, or the list does not name it
    NoDownloadRecord,  // matches the list; no checksum was recorded at a download
    Missing,           // the list names it, the session holds no such file
};

const char* AuditStateText(TAuditState state);

// What a file that differs differs from: a window shows these in its own words.
enum class TAuditDifference {
    None,
    Unreadable,    // the file could not be read; the detail holds the drive's reason
    FromList,      // the session's checksum list
    FromDownload,  // the checksum recorded at the download
};

struct TAuditRow {
    std::string name;   // the path on the disc below the root, "/" between directories
    int session = 0;
    int64_t size = -1;  // -1 when missing
    TAuditState state = TAuditState::Same;
    std::string detail; // for a difference: with what
    TAuditDifference difference = TAuditDifference::None;
};

struct TAuditResult {
    bool read = false;             // the disc could be read (its sessions found)
    std::string problem;           // why not, or the first session that could not be read
    int sessions = 0;
    std::vector<int> withoutList;  // sessions that have no checksum list
    std::vector<TAuditRow> rows;   // in session order, then in the order of the tree
    bool Differences() const;      // a file differs or is missing, or a session is unreadable
};

struct TAuditOptions {
    // The checksum recorded at the download of a report of this file name, if any.
    std::function<std::optional<std::string>(const std::string& name)> downloadChecksum;
    // Bytes read so far of all; called as the files are read.
    std::function<void(int64_t done, int64_t total)> progress;
};

TAuditResult AuditDisc(TDriveCommands& drive, const TAuditOptions& options);

struct TSessionFile;
// The files of a burn that the disc's last session already holds unchanged: the same path
// on the disc, the same size and the same SHA-256 (of the local file, read here when the
// file has none yet). Their disc names, in the burn's order.
std::vector<std::string> FilesAlreadyOnDisc(TDriveCommands& drive, const std::vector<TSessionFile>& files);
