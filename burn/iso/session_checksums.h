#pragma once
// The checksum list of a new session: SHA256SUMS in the root of the session, in the
// sha256sum line format, one line for every file the burn writes (names as on the disc,
// the Joliet names with "/" between directories). It is inserted like the other files,
// before the last session is imported, so it is counted in the session's size; the list of
// an imported session is not carried into the new tree (each session keeps its own).
//
// The list is told from a user's file of that name by its name on the disc: the list's
// Joliet name is SHA256SUMS as it stands, while every file the burner writes without a dot
// gets one appended (SHA256SUMS.). A user's file that would share the list's name in the root
// is refused (the burn then stops before anything is written): on a mounted disc both show
// as SHA256SUMS, and one would hide the other.

#include "burn/iso/session_hashes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TIsoTables;
struct TAddFileInfo;

class TSessionChecksums {
public:
    // Takes the tables' add-file hook over until destroyed (the hook before it is called too).
    explicit TSessionChecksums(TIsoTables& tables);
    ~TSessionChecksums();
    TSessionChecksums(const TSessionChecksums&) = delete;
    TSessionChecksums& operator=(const TSessionChecksums&) = delete;

    // Inserts the list into the root, sized for every new file of the tables, and gives the
    // hash store that makes its text when the session's stream reaches it and writes it to
    // `listPath` (its file name must be SHA256SUMS; the file must stay until the burn has
    // ended). The file gets the list's size at once, so that the space is there when the
    // text comes. False with the reason when the list's name is taken or its file cannot be
    // written.
    bool Add(const std::string& listPath, std::shared_ptr<TSessionHashes>* hashes, std::string* error);
    // After the import: the last session's root holds a file or folder of the list's name
    // that is no checksum list (a user's); empty when not, else the refusal's text.
    std::string ImportedClash();

private:
    TIsoTables& tables_;
    std::function<void(TAddFileInfo&)> previous_;
    std::string listPath_;
};

// The new files of the tables (those with a source), without checksums, in the order of
// the list: directory by directory. False with the reason when one cannot be opened.
bool NewSessionFiles(TIsoTables& tables, std::vector<TSessionFile>* files, std::string* error);

struct TFEntry;
// True for a session's checksum list: in a new session's tables (the entry the list was
// inserted as) and in an imported session's (a root file whose name on the disc is the
// list's, without an appended dot). `inRoot`: the entry is in the root.
bool IsSessionChecksumsEntry(const TFEntry& entry, bool inRoot);
// True for a name that a file in the root cannot take beside the list.
bool TakesSessionChecksumsName(const std::string& longName);
