#pragma once
// Checks a burn: reads the disc's newest session back through the drive (its directories
// with the session import, its files with READ (10)) and compares every file the burn
// wrote with its source on the local disk, byte for byte. It trusts nothing of the
// burner's own layout: names, sizes and sectors come from the disc.

#include <cstdint>
#include <string>

#include <vector>

class TDriveCommands;
class TIsoTables;
struct TSessionFile;

struct TVerifyResult {
    bool ok = false;
    int files = 0;          // files compared
    int64_t bytes = 0;      // bytes compared
    std::string problem;    // the first difference, or why the session could not be read
};

// `written` holds the burn's tables: its new files (those with a source) are checked. With
// `listed` (the session's checksum list as made before the burn) the SHA-256 of each file as
// read from the disc must also be the listed one.
TVerifyResult VerifySession(TDriveCommands& drive, TIsoTables& written,
                            const std::vector<TSessionFile>* listed = nullptr);
