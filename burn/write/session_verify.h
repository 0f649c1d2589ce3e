#pragma once
// Checks a burn: reads the disc's newest session back through the drive (its directories
// with the session import, its files with READ (10)) and compares every file the burn
// wrote with its source on the local disk, byte for byte. It trusts nothing of the
// burner's own layout: names, sizes and sectors come from the disc.

#include <cstdint>
#include <string>

class TDriveCommands;
class TIsoTables;

struct TVerifyResult {
    bool ok = false;
    int files = 0;          // files compared
    int64_t bytes = 0;      // bytes compared
    std::string problem;    // the first difference, or why the session could not be read
};

// `written` holds the burn's tables: its new files (those with a source) are checked.
TVerifyResult VerifySession(TDriveCommands& drive, TIsoTables& written);
