#pragma once
// The SHA-256 of every report as it was stored at its download, in data/fmList.sha256 (the
// sha256sum line format with the report's file name, under a version header), so that a
// report edited or lost later is found (`vobrelfm check`) and a disc can be compared with
// what the register gave. A new download of a name replaces its line (names compared
// without regard to letter case, as the catalogue compares them).

#include "core/base/checksum_list.h"

#include <QString>
#include <string>
#include <vector>

inline constexpr char kReportChecksumsTitle[] = "vobrelfm report checksums";
inline constexpr int kReportChecksumsVersion = 1;

// data/fmList.sha256 of the program folder in use.
QString ReportChecksumsFile();

class TReportChecksums {
public:
    // Reads the file. False with the message when it is unreadable, from a newer version or
    // damaged; the lines that could be read are kept (none for the first two). A missing
    // file is an empty list.
    bool Load(const QString& path, QString* error);
    const std::vector<TChecksumLine>& Lines() const { return lines_; }
    // The line of a report name (letter case ignored), or none.
    const TChecksumLine* Find(const std::string& name) const;

private:
    std::vector<TChecksumLine> lines_;
};

// Records the checksum of a stored report under the lock, merged with the file as other
// instances left it. False with the message when it could not be written (the old file
// stays); true with a message when an old damaged file was kept in fmList.sha256.bak.
bool RecordReportChecksum(const QString& path, const std::string& name, const std::string& hex, QString* message);

// The key under which names are compared.
QString ChecksumNameKey(const std::string& name);
