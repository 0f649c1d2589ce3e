#pragma once
// Where each report is archived: data/fmArchive.txt, one line per file of a burn that
// succeeded (and was verified, when that was asked): when, which disc (the volume creation
// time of its first session, with the drive), which session, the file's SHA-256 and its name
// on the disc. TAB-separated text under a version header; TAB, LF, CR and backslash in a
// field are escaped with a backslash. Lines are only ever added.

#include <QSet>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

class TReportChecksums;

inline constexpr char kArchiveRecordTitle[] = "vobrelfm archive record";
inline constexpr int kArchiveRecordVersion = 1;

struct TArchiveEntry {
    std::string when;     // ISO 8601 local time with its offset
    std::string disc;     // the first session's volume creation time
    std::string drive;    // the drive's line
    int session = 0;
    std::string hex;      // SHA-256 of the file as burnt
    std::string name;     // the file's name on the disc
};

// data/fmArchive.txt of the program folder in use.
QString ArchiveRecordFile();

// Reads the record. False with the message when it is unreadable, from a newer version or
// damaged; the lines that could be read are kept (none for the first two).
bool LoadArchiveRecord(const QString& path, std::vector<TArchiveEntry>* entries, QString* error);
// Adds lines under the lock, merged with the file as other instances left it. False with the
// message when nothing could be written (the old file stays); true with a message when an
// old damaged file was kept in fmArchive.txt.bak.
bool AppendArchiveRecord(const QString& path, const std::vector<TArchiveEntry>& entries, QString* message);

// The names (ChecksumNameKey) of reports archived at least once as they are now: a line of
// the record with the report's name and, when the report has a download checksum, that one.
QSet<QString> ArchivedReportNames(const std::vector<TArchiveEntry>& record, const TReportChecksums& sums);

// The same from the program folder's side files. False with the messages (one per line)
// when one could not be read whole; the names found are given anyway.
bool LoadArchivedReportNames(QSet<QString>* names, QString* errors);

// The text of one line (LF included), and the reverse; false for a line that is none.
std::string FormatArchiveLine(const TArchiveEntry& entry);
bool ParseArchiveLine(std::string_view line, TArchiveEntry* entry);
