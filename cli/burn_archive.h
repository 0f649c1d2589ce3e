#pragma once
// What a burn adds to the archive, shared by the burn command and the burn window: the
// session's checksum list ([Burn] Checksums, on unless 0), the files the disc holds
// unchanged already, and the archive record's lines after a burn that succeeded.

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "burn/iso/session_checksums.h"

class TDriveCommands;
class TIsoTables;

// [Burn] Checksums of SYSTEM.CFG: 0 turns the checksum lists off.
bool BurnChecksumsOn();

// One burn's part of the archive, from the files inserted to the record after the end.
class TBurnArchive {
public:
    explicit TBurnArchive(TIsoTables& tables);

    // After the files are inserted and before the image is prepared: hashes them and, when
    // the checksum lists are on, adds SHA256SUMS to the session. False with the reason.
    bool Prepare(std::string* error);
    bool ChecksumsOn() const { return checksums_ != nullptr; }
    const std::vector<TSessionFile>& Files() const;
    // The burn's files that the disc's last session holds unchanged (their disc names).
    std::vector<std::string> AlreadyOnDisc(TDriveCommands& drive) const;
    // After a burn that succeeded (and verified, when asked): the archive record's lines.
    // False with the message when they could not be written; true with a message is a warning.
    bool Record(TDriveCommands& drive, const std::string& driveLine, QString* message) const;

private:
    TIsoTables& tables_;
    QTemporaryDir listDir_;
    std::unique_ptr<TSessionChecksums> checksums_;
    std::vector<TSessionFile> files_;
};

// The text shown for files already on the disc.
QString AlreadyOnDiscText(const std::vector<std::string>& names);
