#pragma once
// What a burn adds to the archive, shared by the burn command and the burn window: the
// session's checksum list ([Burn] Checksums, on unless 0) in a folder of its own for the
// length of the burn, and the archive record's lines after a burn that succeeded.

#include "burn/burn_procedure.h"

#include <QString>
#include <QTemporaryDir>
#include <string>
#include <vector>

// [Burn] Checksums of SYSTEM.CFG: 0 turns the checksum lists off.
bool BurnChecksumsOn();

class TBurnArchive {
public:
    // Sets where the burn writes its checksum list (none when the lists are off). The list
    // lives as long as this object: keep it until the burn's Finish.
    void Apply(TBurnOptions& options);
    // After a burn that is Done (and verified, when asked): the archive record's lines.
    // False with the message when they could not be written; true with a message is a
    // warning.
    static bool Record(const TBurnReport& report, const std::string& driveLine, QString* message);

private:
    QTemporaryDir listDir_;
};

// The text shown for files already on the disc.
QString AlreadyOnDiscText(const std::vector<std::string>& names);
