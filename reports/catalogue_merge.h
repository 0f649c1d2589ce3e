#pragma once
// Merging the catalogue of this instance with fmList.txt as other instances of the program
// (a command-line download while the window is open, two downloads at once) have left it
// since this instance loaded it. A three-way merge: what another instance added comes in,
// what it deleted goes, what this instance changed stays; of two entries for one report
// name (letter case ignored) the newer one stays.

#include "reports/catalogue.h"

#include <vector>

// base: the entries as this instance loaded them; ours: as they are now; theirs: as the
// file holds them now. Returns the entries to write.
std::vector<TCatalogueEntry> MergeCatalogues(const std::vector<TCatalogueEntry>& base,
                                             const std::vector<TCatalogueEntry>& ours,
                                             const std::vector<TCatalogueEntry>& theirs);
