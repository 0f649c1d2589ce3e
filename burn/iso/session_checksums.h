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

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TIsoTables;
struct TAddFileInfo;

struct TSessionFile {
    std::string discName;    // the path below the root on the disc
    std::string sourcePath;  // the local file
    std::string hex;         // its SHA-256 when the list was made
    int64_t size = 0;
};

class TSessionChecksums {
public:
    // Takes the tables' add-file hook over until destroyed (the hook before it is called too).
    explicit TSessionChecksums(TIsoTables& tables);
    ~TSessionChecksums();
    TSessionChecksums(const TSessionChecksums&) = delete;
    TSessionChecksums& operator=(const TSessionChecksums&) = delete;

    // Hashes every new file of the tables, writes the list to `listPath` (its file name must
    // be SHA256SUMS; the file must stay until the burn has ended) and inserts it into the
    // root. False with the reason when a file cannot be read or the list not written.
    bool Add(const std::string& listPath, std::string* error);
    // The files listed, in the order of the tables.
    const std::vector<TSessionFile>& Files() const { return files_; }
    // The list's text as written.
    const std::string& ListText() const { return text_; }
    // After the import: the last session's root holds a file or folder of the list's name
    // that is no checksum list (a user's); empty when not, else the refusal's text.
    std::string ImportedClash();

private:
    TIsoTables& tables_;
    std::function<void(TAddFileInfo&)> previous_;
    std::string listPath_;
    std::vector<TSessionFile> files_;
    std::string text_;
};

// The new files of the tables (those with a source) with their SHA-256, in table order;
// false with the reason when one cannot be read.
bool HashNewFiles(TIsoTables& tables, std::vector<TSessionFile>* files, std::string* error);

struct TFEntry;
// True for a session's checksum list: in a new session's tables (the entry the list was
// inserted as) and in an imported session's (a root file whose name on the disc is the
// list's, without an appended dot). `inRoot`: the entry is in the root.
bool IsSessionChecksumsEntry(const TFEntry& entry, bool inRoot);
// True for a name that a file in the root cannot take beside the list.
bool TakesSessionChecksumsName(const std::string& longName);
