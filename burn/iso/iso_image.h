#pragma once
// The layout of a new session and its header: volume descriptors, path tables and the
// directories of the ISO 9660 tree and (optionally) the Joliet tree, laid out whole
// before a byte is written, then serialised into the header stream.

#include "burn/iso/iso_tables.h"
#include "burn/sector_size.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Where a session written to a disc goes, as the burner found it from the drive.
struct TSessionPlacement {
    uint32_t start = 0;           // first sector of the session
    IDiscReader* disc = nullptr;  // the disc to import SessionToImport from (none: nothing is imported)
};

struct TVolumeIdentifiers {
    std::string IdSystem, IdVolume, IdVolumeSet, IdPublisher, IdPreparer, IdApplication;
    std::string FileCopyright, FileAbstract, FileBibliographic;
    // Unix seconds; 0 leaves the date unset (written as 30 December 1899).
    int64_t DateCreation = 0, DateModification = 0;
};

class TIsoImage {
public:
    explicit TIsoImage(TIsoTables& tables) : tables_(tables) {}

    bool JolietFileSystem = true;
    bool WritePostGap = true;
    TVolumeIdentifiers Ids;
    uint32_t SessionStart = 0;
    // Where an image-file-only session starts (0: a first session).
    uint32_t ImageSessionStart = 0;
    int SessionToImport = 0;
    std::function<void(int kind, const std::string&)> OnMessage;

    // Lays the session out and builds its header. On a disc (not image-file only) the
    // placement gives the session start and the disc to import the session from first;
    // without one the session starts at ImageSessionStart.
    bool PrepareImage(const std::optional<TSessionPlacement>& onDisc = std::nullopt);
    void BuildLayout(const std::optional<TSessionPlacement>& onDisc);
    void WriteHeaderStream();

    const std::vector<uint8_t>& HeaderStream() const { return header_; }
    void ClearHeaderStream() { header_.clear(); }
    // Hands the header stream over to the writer and leaves it empty.
    std::vector<uint8_t> TakeHeaderStream() { return std::exchange(header_, {}); }
    int64_t ImageEnd() const { return imageEnd_; }
    int64_t ImageSectors() const;
    int64_t FirstFilePosition() const { return firstFile_; }
    int64_t FileSectors() const { return fileSectors_; }
    uint32_t IsoDirectoryAreaSector() const { return static_cast<uint32_t>(isoDirArea_ / kSectorSize); }
    uint32_t JolietDirectoryAreaSector() const { return static_cast<uint32_t>(jolietDirArea_ / kSectorSize); }
    // Directories in path-table order of each tree.
    const std::vector<TDEntry*>& IsoOrder() const { return isoOrder_; }
    const std::vector<TDEntry*>& JolietOrder() const { return jolietOrder_; }

    static int64_t IsoDirectorySize(const TDEntry& dir);
    static int64_t JolietDirectorySize(const TDEntry& dir);

private:
    void NumberDirectories(bool joliet);
    int64_t PathTableSize(bool joliet) const;
    void AppendPathTable(bool joliet, bool bigEndian);
    void AppendDirectories(bool joliet);
    void AppendDescriptor(bool joliet);
    void AppendRecord(std::vector<uint8_t>& out, uint32_t extent, uint32_t length, const TIsoDate& date,
                      uint8_t flags, const std::string& identifier);

    TIsoTables& tables_;
    std::vector<uint8_t> header_;
    std::vector<TDEntry*> isoOrder_, jolietOrder_;
    int64_t pvd_ = 0, svd_ = 0, terminator_ = 0, isoPathL_ = 0, isoPathM_ = 0, jolietPathL_ = 0, jolietPathM_ = 0;
    int64_t isoDirArea_ = 0, jolietDirArea_ = 0, isoAreaSize_ = 0, jolietAreaSize_ = 0;
    int64_t isoPathSize_ = 0, jolietPathSize_ = 0;
    int64_t firstFile_ = 0, fileSectors_ = 0, imageEnd_ = 0;
};
