#include "burn/iso/iso_tables.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <iterator>
#include <sys/stat.h>

namespace {

constexpr int kLongNameLimit = 128;
constexpr int64_t kLargestExtent = 0xFFFFFFFFll;  // one ISO 9660 extent describes less than 4 GiB

void eraseIndexed(std::unordered_multimap<uint64_t, TFEntry*>& index, uint64_t key, const TFEntry* entry)
{
    auto range = index.equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == entry) {
            index.erase(it);
            return;
        }
    }
}

}  // namespace

TIsoDate IsoDateFromTime(int64_t unixSeconds)
{
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm local {};
    localtime_r(&t, &local);
    TIsoDate d;
    d.year = static_cast<int16_t>(local.tm_year + 1900);
    d.month = static_cast<int8_t>(local.tm_mon + 1);
    d.day = static_cast<int8_t>(local.tm_mday);
    d.hour = static_cast<int8_t>(local.tm_hour);
    d.minute = static_cast<int8_t>(local.tm_min);
    d.second = static_cast<int8_t>(local.tm_sec);
    return d;
}

TIsoDate IsoDateNow()
{
    return IsoDateFromTime(std::time(nullptr));
}

TIsoTables::TIsoTables()
{
    ClearFileSystem(65535, 8191);
}

void TIsoTables::Post(int kind, const std::string& text)
{
    if (OnMessage)
        OnMessage(kind, text);
}

void TIsoTables::ClearFileSystem(int maxFiles, int maxDirectories)
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    gmtOffset_ = static_cast<int>(local.tm_gmtoff / 900);
    files_.clear();
    dirs_.clear();
    byPath_.clear();
    byUpperPath_.clear();
    sourceDirectories_.clear();
    maxFiles_ = maxFiles;
    maxDirectories_ = maxDirectories;
    TDEntry root;
    root.isoName = "CD_ROOT";
    root.longName = "CD Root Directory";
    root.path = "\\";
    dirs_.push_back(std::move(root));
    dirs_.front().parent = &dirs_.front();
}

TDEntry* TIsoTables::FindExactDirectory(const std::string& path)
{
    if (path.empty() || path == "\\")
        return Root();
    std::string p = path;
    if (p.size() > 1 && p.back() == '\\')
        p.pop_back();
    const auto it = byPath_.find(p);
    return it == byPath_.end() ? nullptr : it->second;
}

TDEntry* TIsoTables::FindDirectory(const std::string& path)
{
    if (TDEntry* exact = FindExactDirectory(path))
        return exact;
    // A destination typed in another case still names its directory, as long as only
    // one directory has that name in any case.
    std::string p = Upper(path);
    if (p.size() > 1 && p.back() == '\\')
        p.pop_back();
    const auto range = byUpperPath_.equal_range(p);
    if (range.first == range.second || std::next(range.first) != range.second)
        return nullptr;
    return range.first->second;
}

void TIsoTables::Link(TDEntry* dir, TFEntry* entry)
{
    entry->next = nullptr;
    if (dir->lastChild)
        dir->lastChild->next = entry;
    else
        dir->firstChild = entry;
    dir->lastChild = entry;
}

void TIsoTables::Index(TDEntry* dir, TFEntry* entry)
{
    dir->byLongName.emplace(IsoNameHash(entry->longName), entry);
    dir->byIsoName.emplace(IsoNameHash(entry->isoName), entry);
}

TDEntry* TIsoTables::InsertDirectory(TDEntry* parent, const std::string& name, const std::string& shortName,
                                     const TIsoDate& date, int attributes)
{
    std::string path = parent->path + "\\" + name;
    if (path.rfind("\\\\", 0) == 0)
        path.erase(0, 1);
    if (TDEntry* found = FindExactDirectory(path))
        return found;
    if (static_cast<int>(dirs_.size()) >= maxDirectories_) {
        Post(3, ">>> MAXIMUM DIRECTORIES CAN BE " + std::to_string(maxDirectories_));
        return nullptr;
    }
    // The file table is checked first so that a full table leaves no orphan directory.
    if (static_cast<int>(files_.size()) >= maxFiles_) {
        Post(3, ">>> MAXIMUM FILES CAN BE " + std::to_string(maxFiles_));
        return nullptr;
    }
    dirs_.emplace_back();
    TDEntry* dir = &dirs_.back();
    dir->isoName = UniqueIsoName(*parent, shortName.empty() ? Upper(name) : shortName, false);
    dir->longName = name;
    dir->jolietName = JolietNameFor(*parent, name);
    dir->parent = parent;
    dir->path = path;
    byPath_.emplace(dir->path, dir);
    byUpperPath_.emplace(Upper(dir->path), dir);
    files_.emplace_back();
    TFEntry* entry = &files_.back();
    entry->isoName = dir->isoName;
    entry->longName = name;
    entry->jolietName = dir->jolietName;
    entry->attributes = attributes;
    entry->date = date;
    entry->directory = dir;
    Link(parent, entry);
    Index(parent, entry);
    return dir;
}

TDEntry* TIsoTables::InsertDirectoryByName(TDEntry* parent, std::string name, int attributes)
{
    if (!name.empty() && name.front() == '\\')
        name.erase(0, 1);
    if (!name.empty() && name.back() == '\\')
        name.pop_back();
    return InsertDirectory(parent, name, ShortNameOf13(name), IsoDateNow(), attributes);
}

TDEntry* TIsoTables::ForceDirectories(const std::string& path)
{
    if (TDEntry* found = FindExactDirectory(path))
        return found;
    std::string p = path;
    if (p.size() > 1 && p.back() == '\\')
        p.pop_back();
    const std::size_t slash = p.rfind('\\');
    const std::string parentPath = slash == std::string::npos ? std::string() : p.substr(0, slash);
    const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    TDEntry* parent = FindExactDirectory(parentPath);
    if (!parent)
        parent = ForceDirectories(parentPath);
    if (!parent || name.empty())
        return parent;
    return InsertDirectoryByName(parent, name, kAttrDirectory);
}

int TIsoTables::InsertFile(const std::string& destination, const std::string& source, bool keepSourcePath)
{
    TDEntry* dir;
    if (keepSourcePath) {
        const std::size_t slash = source.rfind('/');
        std::string tree = slash == std::string::npos ? std::string() : source.substr(0, slash);
        std::replace(tree.begin(), tree.end(), '/', '\\');
        dir = tree.empty() ? Root() : ForceDirectories(tree);
        if (dir)
            dir = FindExactDirectory(dir->path);
    } else {
        dir = FindDirectory(destination);
    }
    if (!dir) {
        Post(4, "INVALID DESTINATION PATH");
        return 0;
    }
    struct stat st {};
    if (::stat(source.c_str(), &st) != 0)
        return 255;
    if (S_ISDIR(st.st_mode)) {
        // A directory has no data of its own; its files are inserted one by one.
        Post(4, "INVALID SOURCE PATH (A DIRECTORY): " + source);
        return 0;
    }
    if (!S_ISREG(st.st_mode)) {
        // A device or a FIFO has no size to record and may never end: it is not stored.
        Post(4, "INVALID SOURCE PATH (NOT A REGULAR FILE): " + source);
        return 0;
    }
    if (st.st_size > kLargestExtent) {
        // Its size does not fit the 32 bits of a directory record: refused, not cut.
        Post(4, "FILE TOO LARGE FOR THE DISC'S FILE SYSTEM (4 GB OR MORE): " + source);
        return 1;
    }
    const std::size_t slash = source.rfind('/');
    const std::string name = slash == std::string::npos ? source : source.substr(slash + 1);
    AddFileEntry(dir, name, 0, static_cast<int64_t>(st.st_size), IsoDateFromTime(st.st_mtime), -1, source);
    return 1;
}

void TIsoTables::AddFileEntry(TDEntry* dir, const std::string& foundName, int attributes, int64_t size,
                              const TIsoDate& date, int64_t importedSector, const std::string& sourcePath)
{
    const bool isDirectory = attributes & kAttrDirectory;
    TAddFileInfo info;
    info.sourcePath = sourcePath;
    info.foundName = foundName;
    info.directory = dir;
    info.longName = foundName;
    info.shortName = IsValid83(foundName) ? Upper(foundName) : std::string();
    if (!isDirectory) {
        if (info.longName.find('.') == std::string::npos)
            info.longName += '.';
        if (!info.shortName.empty() && info.shortName.find('.') == std::string::npos)
            info.shortName += '.';
    }
    const bool needsAlias = info.shortName.empty();
    if (needsAlias)
        info.shortName = Upper(info.longName);
    // The duplicate check compares the stored form of the long name, case included:
    // names that differ only by case are different files here.
    TFEntry* existing = FindByLongName(*dir, info.longName);
    info.date = date;
    info.attributes = attributes;
    info.size = size;
    const bool tooLong = static_cast<int>(info.longName.size()) >= kLongNameLimit;
    info.skip = tooLong;
    if (OnAddFile)
        OnAddFile(info);
    if (info.skip) {
        if (tooLong && static_cast<int>(info.longName.size()) >= kLongNameLimit)
            Post(4, "FILE NAME TOO LONG (" + std::to_string(kLongNameLimit) + " CHARACTERS OR MORE), NOT ADDED: " +
                        (sourcePath.empty() ? info.longName : sourcePath));
        return;
    }
    TFEntry* entry;
    if (existing && ReplaceFile) {
        entry = existing;
        eraseIndexed(dir->byIsoName, IsoNameHash(entry->isoName), entry);
        eraseIndexed(dir->byLongName, IsoNameHash(entry->longName), entry);
        if (!entry->jolietName.empty())
            dir->jolietCut.erase(entry->jolietName);
    } else if (existing) {
        // An imported entry gives way silently; a new file that cannot be added is reported.
        if (importedSector < 0)
            Post(4, "FILE EXISTS, NOT ADDED: " + sourcePath);
        return;
    } else {
        if (static_cast<int>(files_.size()) >= maxFiles_) {
            Post(3, ">>> MAXIMUM FILES CAN BE " + std::to_string(maxFiles_));
            return;
        }
        files_.emplace_back();
        entry = &files_.back();
        Link(dir, entry);
    }
    // Not a valid 8.3 name, or one already taken here: an alias unique in the directory.
    entry->isoName = UniqueIsoName(*dir, Upper(info.shortName), needsAlias && info.shortName == Upper(info.longName));
    entry->longName = info.longName;
    entry->jolietName = JolietNameFor(*dir, info.longName);
    entry->size = entry->jolietSize = size;
    entry->attributes = info.attributes;
    entry->date = info.date;
    entry->sourceDirectory = nullptr;
    entry->sourceName.clear();
    entry->dotAppended = sourcePath.empty() && !isDirectory && entry->longName == foundName + ".";
    if (!sourcePath.empty()) {
        const std::size_t slash = sourcePath.rfind('/');
        entry->sourceDirectory = &*sourceDirectories_.insert(slash == std::string::npos ? std::string(".")
                                                                                        : sourcePath.substr(0, slash)).first;
        const std::string name = slash == std::string::npos ? sourcePath : sourcePath.substr(slash + 1);
        if (entry->longName == name + ".")
            entry->dotAppended = true;
        else if (entry->longName != name)
            entry->sourceName = name;
    }
    entry->imported = importedSector >= 0;
    entry->isoExtent = entry->jolietExtent = importedSector >= 0 ? static_cast<int32_t>(importedSector) : 0;
    Index(dir, entry);
}
