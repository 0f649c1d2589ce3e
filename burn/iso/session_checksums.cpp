#include "burn/iso/session_checksums.h"

#include "burn/iso/iso_tables.h"
#include "core/base/checksum_list.h"
#include "core/base/sha256.h"
#include "core/base/whole_file.h"

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

bool IsSessionChecksumsName(const std::string& longName)
{
    // A name without a dot gets one appended when it is read back.
    return longName == kListName || longName == std::string(kListName) + ".";
}

TSessionChecksums::TSessionChecksums(TIsoTables& tables) : tables_(tables), previous_(tables.OnAddFile)
{
    tables_.OnAddFile = [this](TAddFileInfo& info) {
        if (!listPath_.empty() && info.sourcePath == listPath_) {
            info.longName = kListName;  // as sha256sum users expect it, without an appended dot
        } else if (info.sourcePath.empty() && IsSessionChecksumsName(info.longName)) {
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

bool HashNewFiles(TIsoTables& tables, std::vector<TSessionFile>* files, std::string* error)
{
    files->clear();
    for (TDEntry& dir : tables.Directories()) {
        for (const TFEntry* e = dir.firstChild; e; e = e->next) {
            const std::string source = e->SourcePath();
            if (e->directory || e->imported || source.empty())
                continue;
            TSessionFile f;
            f.discName = discPath(tables, dir, *e);
            f.sourcePath = source;
            std::string reason;
            if (!Sha256OfFile(source, &f.hex, &reason, &f.size)) {
                *error = "CAN'T OPEN FILE " + source + " (" + reason + ")";
                return false;
            }
            files->push_back(std::move(f));
        }
    }
    return true;
}

bool TSessionChecksums::Add(const std::string& listPath, std::string* error)
{
    text_.clear();
    if (!HashNewFiles(tables_, &files_, error))
        return false;
    for (const TSessionFile& f : files_)
        text_ += FormatChecksumLine(f.hex, f.discName);
    std::string reason;
    if (!wholefile::Write(listPath, text_, &reason)) {
        *error = "CANNOT WRITE THE CHECKSUM LIST " + listPath + " (" + reason + ")";
        return false;
    }
    listPath_ = listPath;
    if (tables_.InsertFile("\\", listPath, false) != 1) {
        *error = "CANNOT ADD THE CHECKSUM LIST " + listPath;
        return false;
    }
    return true;
}
