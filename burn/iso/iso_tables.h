#pragma once
// The directory and file tables of a new session: what it will contain, with the names
// of the ISO 9660 and the Joliet tree. Files come from the local disk (InsertFile) and
// from the disc's last session (ImportSession), which keeps their old sectors.

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct TFEntry;

// The key of the directories' name indexes (colliding keys are told apart by the names).
inline uint64_t IsoNameHash(const std::string& name)
{
    return std::hash<std::string>{}(name);
}

// A recording date as the directory records carry it.
struct TIsoDate {
    int16_t year = 1900;
    int8_t month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// The longest Joliet identifier written (without ";1"): a record of 33 + 2 x 105 + 1 bytes
// fits its 255, and the common readers accept it.
inline constexpr std::size_t kJolietNameLimit = 103;

struct TDEntry {
    std::string isoName;
    std::string longName;
    std::string jolietName;  // the Joliet identifier when the long name had to be cut, else empty
    const std::string& JolietName() const { return jolietName.empty() ? longName : jolietName; }
    int64_t isoSize = 0;
    int64_t jolietSize = 0;
    std::string path;  // the long names, case kept: "\" for the root, otherwise "\A\B"
    int32_t isoExtent = 0;
    int32_t jolietExtent = 0;
    int isoNumber = 0;
    int jolietNumber = 0;
    TDEntry* parent = nullptr;
    TFEntry* firstChild = nullptr;
    TFEntry* lastChild = nullptr;
    // Indexes of the entries by the hash of the long name and of the ISO name
    // (colliding hashes are told apart by comparing the names themselves).
    std::unordered_multimap<uint64_t, TFEntry*> byLongName;
    std::unordered_multimap<uint64_t, TFEntry*> byIsoName;
    std::unordered_map<std::string, int> aliasNext;  // last alias number per alias stem
    std::unordered_set<std::string> jolietCut;       // the cut Joliet names here
};

// The deepest directory the session import reads back (the root is level 0); a tree
// inserted deeper could not be carried into a later session.
inline constexpr int kMaxImportDepth = 64;
// The level of a directory below the root (the root: 0).
int DirectoryLevel(const TDEntry* dir);

inline constexpr int kAttrHidden = 2;
inline constexpr int kAttrDirectory = 16;

struct TFEntry {
    std::string isoName;
    std::string longName;
    std::string jolietName;  // the Joliet identifier when the long name had to be cut, else empty
    const std::string& JolietName() const { return jolietName.empty() ? longName : jolietName; }
    // The local file: its directory (shared by the files inserted from it) and its name,
    // kept only when it is not the long name (or the long name without an appended dot).
    const std::string* sourceDirectory = nullptr;
    std::string sourceName;
    bool dotAppended = false;  // the long name got a dot its source (or its name on the disc) had not
    bool imported = false;
    TIsoDate date;
    int64_t size = 0;
    int64_t jolietSize = 0;
    int32_t isoExtent = 0;
    int32_t jolietExtent = 0;
    int attributes = 0;
    TDEntry* directory = nullptr;
    TFEntry* next = nullptr;

    // The full path of the local file; empty for imported entries and sub-directories.
    std::string SourcePath() const
    {
        if (!sourceDirectory)
            return {};
        if (!sourceName.empty())
            return *sourceDirectory + "/" + sourceName;
        return *sourceDirectory + "/" + (dotAppended ? longName.substr(0, longName.size() - 1) : longName);
    }
};

// What the import reads from the disc.
class IDiscReader {
public:
    virtual ~IDiscReader() = default;
    virtual int LastSessionNumber() = 0;
    // First sector of the session's first track; false when the TOC cannot be read.
    virtual bool SessionStart(int session, uint32_t* sector) = 0;
    // Reads one sector into buffer; false when it cannot, or when buffer is shorter than a sector.
    virtual bool ReadSector(uint32_t sector, std::span<uint8_t> buffer) = 0;
};

// Raised for every file about to be added; the handler may change names, date and skip.
struct TAddFileInfo {
    std::string sourcePath, longName, shortName;
    std::string foundName;              // the name as given or read from the disc, before any dot was appended
    const TDEntry* directory = nullptr; // where it goes
    TIsoDate date;
    int attributes = 0;
    int64_t size = 0;
    bool skip = false;
};

class TIsoTables {
public:
    TIsoTables();

    void ClearFileSystem(int maxFiles, int maxDirectories);
    TDEntry* Root() { return &dirs_.front(); }
    // The directory of exactly this path, else the one directory whose path matches in
    // another case (none when two differ only by case).
    TDEntry* FindDirectory(const std::string& path);
    TDEntry* InsertDirectory(TDEntry* parent, const std::string& name, const std::string& shortName,
                             const TIsoDate& date, int attributes);
    TDEntry* InsertDirectoryByName(TDEntry* parent, std::string name, int attributes);
    TDEntry* ForceDirectories(const std::string& path);
    // 1 inserted (or refused by the rules), 255 source not found, 0 no destination.
    int InsertFile(const std::string& destination, const std::string& source, bool keepSourcePath);
    // importedSector < 0: a new file from sourcePath.
    void AddFileEntry(TDEntry* dir, const std::string& foundName, int attributes, int64_t size,
                      const TIsoDate& date, int64_t importedSector, const std::string& sourcePath);
    bool ImportSession(IDiscReader& disc, int sessionNumber, TDEntry* target = nullptr);

    int DirectoryCount() const { return static_cast<int>(dirs_.size()) - 1; }
    int FileCount() const { return static_cast<int>(files_.size()); }
    std::deque<TDEntry>& Directories() { return dirs_; }
    std::deque<TFEntry>& Files() { return files_; }
    const std::deque<TFEntry>& Files() const { return files_; }
    int GmtOffset() const { return gmtOffset_; }  // in 15-minute units

    bool ReplaceFile = false;
    std::function<void(TAddFileInfo&)> OnAddFile;
    std::function<void(int kind, const std::string&)> OnMessage;

    // Short names: the name itself when it is a valid 8.3 name, else an alias.
    static bool IsValid83(const std::string& name);
    static std::string ShortNameOf13(const std::string& name);
    // wanted itself when it is free in dir and no alias is asked for, else an alias.
    std::string UniqueIsoName(TDEntry& dir, const std::string& wanted, bool alias) const;
    static std::string Upper(const std::string& s);
    static bool IsoNameUsed(const TDEntry& dir, const std::string& name);
    // Names that differ only by case are different names (as on the local file system).
    static TFEntry* FindByLongName(const TDEntry& dir, const std::string& longName);
    // The Joliet identifier for a long name in dir: empty when the long name itself fits
    // and is free; otherwise the name cut to kJolietNameLimit characters (its extension
    // kept), made unique in dir with "~N", and remembered there.
    static std::string JolietNameFor(TDEntry& dir, const std::string& longName);

private:
    void Post(int kind, const std::string& text);
    void Link(TDEntry* dir, TFEntry* entry);   // at the end of the directory's list
    void Index(TDEntry* dir, TFEntry* entry);  // into the directory's name indexes
    bool ImportDirectory(IDiscReader& disc, uint32_t sector, uint32_t size, TDEntry* target, bool joliet,
                         int depth, std::unordered_set<uint32_t>& visited);

    std::deque<TDEntry> dirs_;
    std::deque<TFEntry> files_;
    TDEntry* FindExactDirectory(const std::string& path);

    std::unordered_map<std::string, TDEntry*> byPath_;
    std::unordered_multimap<std::string, TDEntry*> byUpperPath_;
    std::unordered_set<std::string> sourceDirectories_;
    int maxFiles_ = 65535;
    int maxDirectories_ = 8191;
    int gmtOffset_ = 0;
};

// Local time as a recording date, and now.
TIsoDate IsoDateFromTime(int64_t unixSeconds);
TIsoDate IsoDateNow();
// UTF-8 to UCS-2 big-endian (characters outside the basic plane become "_").
std::string Ucs2BigEndian(const std::string& utf8);
// UCS-2 big-endian to UTF-8.
std::string Utf8FromUcs2(const uint8_t* ucs2, std::size_t bytes);
// A name as the disc gives it back: through UCS-2 and back to UTF-8 (bytes that are not
// UTF-8 come back as "_").
std::string JolietNameOnDisc(const std::string& name);
// A directory path ("\A\B") as the disc gives it back, each name through JolietNameOnDisc.
std::string JolietPathOnDisc(const std::string& path);
// The number of UCS-2 characters of a UTF-8 text.
std::size_t Ucs2Length(const std::string& utf8);
