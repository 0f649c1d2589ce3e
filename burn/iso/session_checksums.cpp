#include "burn/iso/session_checksums.h"

#include "burn/iso/iso_tables.h"
#include "core/base/checksum_list.h"
#include "core/base/whole_file.h"

#include <sys/stat.h>

namespace {

constexpr char kListName[] = "SHA256SUMS";

// The path below the root as the Joliet tree names it.
std::string discPath(TIsoTables& tables, const TDEntry& dir, const TFEntry& file)
{
    std::string path = file.JolietName();
    for (const TDEntry* d = &dir; d && d != tables.Root(); d = d->parent)
        path = d->JolietName() + "/" + path;
    return path;
}

}  // namespace

bool TakesSessionChecksumsName(const std::string& longName)
{
    // A name without a dot gets one appended as it goes into the tables.
    return longName == kListName || longName == std::string(kListName) + ".";
}

bool IsSessionChecksumsEntry(const TFEntry& entry, bool inRoot)
{
    if (!inRoot || entry.directory)
        return false;
    if (!entry.imported)
        return entry.longName == kListName;  // only the list is inserted without the dot
    return entry.dotAppended && entry.longName == std::string(kListName) + ".";
}

TSessionChecksums::TSessionChecksums(TIsoTables& tables) : tables_(tables), previous_(tables.OnAddFile)
{
    tables_.OnAddFile = [this](TAddFileInfo& info) {
        const bool inRoot = info.directory == tables_.Root();
        if (!listPath_.empty() && info.sourcePath == listPath_) {
            info.longName = kListName;  // as sha256sum users expect it, without an appended dot
        } else if (inRoot && info.sourcePath.empty() && info.foundName == kListName) {
            info.skip = true;  // the imported session's own list
            return;
        }
        if (previous_)
            previous_(info);
    };
}

TSessionChecksums::~TSessionChecksums()
{
    tables_.OnAddFile = previous_;
}

bool NewSessionFiles(TIsoTables& tables, std::vector<TSessionFile>* files, std::string* error)
{
    files->clear();
    for (TDEntry& dir : tables.Directories()) {
        for (const TFEntry* e = dir.firstChild; e; e = e->next) {
            std::string source = e->SourcePath();
            if (e->directory || e->imported || source.empty())
                continue;
            // Opened once now, so that a file that cannot be read stops the burn before
            // anything is written; its bytes are read (and hashed) by the session's stream.
            struct stat st {};
            std::string reason;
            if (!wholefile::OpenRegular(source, &st, &reason)) {
                *error = "CAN'T OPEN FILE " + source + " (" + reason + ")";
                return false;
            }
            files->push_back({discPath(tables, dir, *e), std::move(source), {}, e->size, e});
        }
    }
    return true;
}

bool TSessionChecksums::Add(const std::string& listPath, std::shared_ptr<TSessionHashes>* hashes, std::string* error)
{
    std::vector<TSessionFile> files;
    if (!NewSessionFiles(tables_, &files, error))
        return false;
    for (const TFEntry* e = tables_.Root()->firstChild; e; e = e->next)
        if (!e->imported && TakesSessionChecksumsName(e->longName)) {
            *error = "A FILE NAMED " + std::string(kListName) + " CANNOT GO INTO THE ROOT OF A SESSION WITH A CHECKSUM "
                     "LIST OF THAT NAME: " + (e->directory ? e->longName : e->SourcePath()) +
                     " (RENAME IT, PUT IT INTO A FOLDER, OR SET [Burn] Checksums=0)";
            return false;
        }
    // The text comes once the files are read; a file of its size now shows that it can be
    // written and keeps the space for it.
    const int64_t size = TSessionHashes::ListSize(files);
    std::string reason;
    if (!wholefile::Write(listPath, std::string(static_cast<std::size_t>(size), ' '), &reason)) {
        *error = "CANNOT WRITE THE CHECKSUM LIST " + listPath + " (" + reason + ")";
        return false;
    }
    listPath_ = listPath;
    const TFEntry* last = tables_.Root()->lastChild;
    tables_.AddFileEntry(tables_.Root(), kListName, 0, size, IsoDateNow(), -1, listPath);
    const TFEntry* list = tables_.Root()->lastChild;
    if (list == last || list->SourcePath() != listPath) {
        *error = "CANNOT ADD THE CHECKSUM LIST " + listPath;
        return false;
    }
    *hashes = std::make_shared<TSessionHashes>(std::move(files), list, listPath);
    return true;
}

std::string TSessionChecksums::ImportedClash()
{
    // The imported session's own list was left out; any other entry of the name is a user's.
    for (const TFEntry* e = tables_.Root()->firstChild; e; e = e->next)
        if (e->imported && TakesSessionChecksumsName(e->longName))
            return "THE DISC'S LAST SESSION HOLDS " + std::string(e->directory ? "A FOLDER " : "A FILE ") + kListName +
                   " IN ITS ROOT THAT IS NO CHECKSUM LIST; A NEW SESSION WITH ITS LIST WOULD HIDE IT: SET [Burn] "
                   "Checksums=0 TO BURN ON THIS DISC";
    return {};
}
