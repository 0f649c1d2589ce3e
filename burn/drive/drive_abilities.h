#pragma once
// What a drive can write, read from its capabilities page (MODE SENSE 2Ah: the CD-R,
// CD-RW, DVD-R and DVD-RAM write bits) and its profile list (GET CONFIGURATION feature 0:
// every medium it takes, the DVD+ and rewritable DVD ones included), so that a reader is
// told from a recorder before anything is written. Asked of any listed drive without
// selecting it (a selection probes the write modes with MODE SELECT).

#include "burn/transport/scsi_transport.h"

#include <cstdint>
#include <span>
#include <string>

struct TDriveAbilities {
    bool known = false;  // the drive answered at least one of the two questions
    bool cdR = false, cdRw = false, dvdR = false, dvdRw = false, dvdRam = false, dvdPlusR = false,
         dvdPlusRw = false;
    bool WritesAnything() const { return cdR || cdRw || dvdR || dvdRw || dvdRam || dvdPlusR || dvdPlusRw; }
    // "CD-R, CD-RW, DVD-R", "nothing", or "unknown" when the drive told nothing.
    std::string WritesText() const;
};

// From the bytes of the two answers (either may be empty: not answered). The page is the
// capabilities page itself (its byte 0 the page code); the configuration is the whole
// GET CONFIGURATION answer with its 8-byte header.
TDriveAbilities AbilitiesFrom(std::span<const uint8_t> capabilitiesPage, std::span<const uint8_t> configuration);

// Asks the drive of a device line.
TDriveAbilities ReadDriveAbilities(TScsiTransport& transport, const std::string& line);

// The end of a burn on a drive that writes nothing.
std::string DriveCannotWriteText(const std::string& line);

// True when the drive of the line cannot write: its capabilities page and its profiles
// name no writable medium (a drive that answers neither question is given the benefit).
bool DriveOnlyReads(TScsiTransport& transport, const std::string& line);
