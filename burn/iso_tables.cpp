#include "burn/iso_tables.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <iterator>
#include <sys/stat.h>

namespace {

constexpr int kMaxImportDepth = 64;
constexpr uint32_t kMaxImportDirectoryBytes = 16u * 1024 * 1024;
constexpr int kLongNameLimit = 128;
constexpr int64_t kLargestExtent = 0xFFFFFFFFll;  // one ISO 9660 extent describes less than 4 GiB

// The characters of a UTF-8 text, each as its own UTF-8 bytes.
std::vector<std::string> utf8Characters(const std::string& text)
{
    std::vector<std::string> chars;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = 1;
        while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80 && n < 4)
            ++n;
        chars.push_back(text.substr(i, n));
        i += n;
    }
    return chars;
}

bool valid83Char(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::strchr("!#$%&'()-@^_`{}~", c) != nullptr;
}

std::string ucs2ToUtf8(const uint8_t* p, std::size_t bytes)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const unsigned c = (p[i] << 8) | p[i + 1];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

uint64_t nameHash(const std::string& s)
{
    return std::hash<std::string>{}(s);
}

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

uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

std::string cutAtSemicolon(std::string name)
{
    const std::size_t semi = name.find(';');
    if (semi != std::string::npos)
        name.erase(semi);
    return name;
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

std::string Ucs2BigEndian(const std::string& utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned code;
        std::size_t n;
        if (c < 0x80) { code = c; n = 1; }
        else if ((c & 0xE0) == 0xC0) { code = c & 0x1F; n = 2; }
        else if ((c & 0xF0) == 0xE0) { code = c & 0x0F; n = 3; }
        else if ((c & 0xF8) == 0xF0) { code = 0x10000; n = 4; }
        else { code = '_'; n = 1; }
        for (std::size_t k = 1; k < n && code != 0x10000; ++k) {
            if (i + k >= utf8.size() || (static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) {
                code = '_';
                n = k;
                break;
            }
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        if (code > 0xFFFF)
            code = '_';
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
        i += std::max<std::size_t>(n, 1);
    }
    return out;
}

std::size_t Ucs2Length(const std::string& utf8)
{
    return Ucs2BigEndian(utf8).size() / 2;
}

std::string TIsoTables::Upper(const std::string& s)
{
    std::string u = s;
    for (char& c : u)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return u;
}

bool TIsoTables::IsValid83(const std::string& name)
{
    const std::size_t dot = name.find('.');
    if (dot != name.rfind('.'))
        return false;
    const std::string base = name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3)
        return false;
    for (char c : base + ext)
        if (!valid83Char(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::string TIsoTables::ShortNameOf13(const std::string& name)
{
    std::string s = Upper(name.substr(0, 13));
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 33 || static_cast<unsigned char>(c) > 122)
            c = '_';
    return s;
}

bool TIsoTables::IsoNameUsed(const TDEntry& dir, const std::string& name)
{
    auto range = dir.byIsoName.equal_range(nameHash(name));
    for (auto it = range.first; it != range.second; ++it)
        if (it->second->isoName == name)
            return true;
    return false;
}

TFEntry* TIsoTables::FindByLongName(const TDEntry& dir, const std::string& longName)
{
    auto range = dir.byLongName.equal_range(nameHash(longName));
    for (auto it = range.first; it != range.second; ++it)
        if (it->second->longName == longName)
            return it->second;
    return nullptr;
}

std::string TIsoTables::UniqueIsoName(TDEntry& dir, const std::string& wanted, bool alias) const
{
    if (!alias && !IsoNameUsed(dir, wanted))
        return wanted;
    // An alias in the style of generated short names: the first characters, "~" and a
    // number, then up to three characters of the extension.
    const std::size_t dot = wanted.rfind('.');
    const std::string base = dot == std::string::npos ? wanted : wanted.substr(0, dot);
    std::string ext = dot == std::string::npos ? std::string() : wanted.substr(dot);
    std::string cleaned;
    for (char c : base)
        if (c != ' ' && c != '.')
            cleaned += valid83Char(static_cast<unsigned char>(c)) ? c : '_';
    if (cleaned.empty())
        cleaned = "_";
    std::string cleanedExt;
    for (std::size_t i = 1; i < ext.size() && cleanedExt.size() < 3; ++i)
        if (ext[i] != ' ' && ext[i] != '.')
            cleanedExt += valid83Char(static_cast<unsigned char>(ext[i])) ? ext[i] : '_';
    ext = dot == std::string::npos ? std::string() : "." + cleanedExt;
    const std::string key = cleaned.substr(0, 6) + ext;
    int& next = dir.aliasNext[key];
    for (;;) {
        const std::string suffix = "~" + std::to_string(++next);
        const std::string candidate = cleaned.substr(0, 8 - std::min<std::size_t>(suffix.size(), 7)) + suffix + ext;
        if (!IsoNameUsed(dir, candidate))
            return candidate;
    }
}

std::string TIsoTables::JolietNameFor(TDEntry& dir, const std::string& longName)
{
    const std::vector<std::string> chars = utf8Characters(longName);
    if (chars.size() <= kJolietNameLimit && !dir.jolietCut.count(longName))
        return {};
    // The extension (a dot within the last 16 characters) survives the cut.
    std::size_t dot = chars.size();
    for (std::size_t i = chars.size(); i-- > 1 && chars.size() - i <= 16;)
        if (chars[i] == ".") {
            dot = i;
            break;
        }
    std::string ext;
    for (std::size_t i = dot; i < chars.size(); ++i)
        ext += chars[i];
    const std::size_t extLength = chars.size() - dot;
    for (int n = 0;; ++n) {
        const std::string suffix = n == 0 ? std::string() : "~" + std::to_string(n);
        const std::size_t keep = std::min(dot, kJolietNameLimit - extLength - suffix.size());
        std::string candidate;
        for (std::size_t i = 0; i < keep; ++i)
            candidate += chars[i];
        candidate += suffix + ext;
        // Names that differ by case are different names, as in the tables.
        if (candidate != longName && !FindByLongName(dir, candidate) && !dir.jolietCut.count(candidate)) {
            dir.jolietCut.insert(candidate);
            return candidate;
        }
    }
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
    dir->byLongName.emplace(nameHash(entry->longName), entry);
    dir->byIsoName.emplace(nameHash(entry->isoName), entry);
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
        eraseIndexed(dir->byIsoName, nameHash(entry->isoName), entry);
        eraseIndexed(dir->byLongName, nameHash(entry->longName), entry);
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
    entry->dotAppended = false;
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

bool TIsoTables::ImportSession(IDiscReader& disc, int sessionNumber, TDEntry* target)
{
    if (!target)
        target = Root();
    const int last = disc.LastSessionNumber();
    if (last <= 0 || sessionNumber == 0)
        return false;
    const int n = (sessionNumber < 0 || sessionNumber > last) ? last : sessionNumber;
    Post(1, ">>> IMPORTING SESSION # " + std::to_string(n));
    uint32_t start = 0;
    if (!disc.SessionStart(n, &start)) {
        Post(4, ">>> ERROR IMPORTING SESSION # " + std::to_string(n));
        return false;
    }
    uint8_t sector[2048];
    for (int pass = 0; pass < 2; ++pass) {
        const uint8_t wanted = pass == 0 ? 2 : 1;
        for (uint32_t i = 0; i < 21; ++i) {
            if (!disc.ReadSector(start + 16 + i, sector))
                break;
            if (std::memcmp(sector + 1, "CD001", 5) != 0)
                continue;
            if (sector[0] == 255)
                break;
            if (sector[0] != wanted)
                continue;
            std::unordered_set<uint32_t> visited;
            ImportDirectory(disc, le32(sector + 158), le32(sector + 166), target, pass == 0, 0, visited);
            return true;
        }
    }
    Post(4, ">>> ERROR IMPORTING SESSION " + std::to_string(n) + " (ISO IMAGE NOT FOUND)");
    return false;
}

bool TIsoTables::ImportDirectory(IDiscReader& disc, uint32_t extent, uint32_t size, TDEntry* target, bool joliet,
                                 int depth, std::unordered_set<uint32_t>& visited)
{
    // A disc is outside input: loops, deep trees and huge sizes end with a message.
    if (depth > kMaxImportDepth || !visited.insert(extent).second) {
        Post(4, ">>> ERROR IMPORTING SESSION (DIRECTORY LOOP OR TOO DEEP AT SECTOR " + std::to_string(extent) + ")");
        return false;
    }
    if (size > kMaxImportDirectoryBytes) {
        Post(4, ">>> ERROR IMPORTING SESSION (DIRECTORY TOO LARGE AT SECTOR " + std::to_string(extent) + ")");
        return false;
    }
    const uint32_t sectors = (size + 2047) / 2048;
    uint8_t buf[2048];
    for (uint32_t s = 0; s < sectors; ++s) {
        if (!disc.ReadSector(extent + s, buf)) {
            Post(4, ">>> ERROR IMPORTING SESSION (CANNOT READ SECTOR " + std::to_string(extent + s) + ")");
            return false;
        }
        std::size_t at = 0;
        if (s == 0) {
            // Skip the "." and ".." records by their lengths.
            for (int k = 0; k < 2 && at < 2048 && buf[at] != 0; ++k)
                at += buf[at];
        }
        while (at < 2015) {
            const uint8_t length = buf[at];
            if (length == 0 || length < 34 || at + length > 2048)
                break;
            const uint8_t* r = buf + at;
            const uint8_t idLength = r[32];
            if (33u + idLength > length)
                break;
            at += length;
            if (idLength == 1 && (r[33] == 0 || r[33] == 1))
                continue;
            if ((joliet && idLength > 214) || (!joliet && idLength >= 240)) {
                Post(4, "ERROR IMPORTING SESSION, FILE NAME LENGTH EXCEEDS 120 CHARS\n\r" +
                            std::string(reinterpret_cast<const char*>(r + 33), idLength));
                continue;
            }
            std::string name = joliet ? ucs2ToUtf8(r + 33, idLength)
                                      : std::string(reinterpret_cast<const char*>(r + 33), idLength);
            name = cutAtSemicolon(name);
            if (name.empty() || name.find('\\') != std::string::npos || name.find('/') != std::string::npos)
                continue;
            TIsoDate date;
            date.year = static_cast<int16_t>(r[18] + 1900);
            date.month = static_cast<int8_t>(r[19]);
            date.day = static_cast<int8_t>(r[20]);
            date.hour = static_cast<int8_t>(r[21]);
            date.minute = static_cast<int8_t>(r[22]);
            date.second = static_cast<int8_t>(r[23]);
            int attributes = 0;
            if (r[25] & 1)
                attributes |= kAttrHidden;
            if (r[25] & 2)
                attributes |= kAttrDirectory;
            const uint32_t childExtent = le32(r + 2);
            const uint32_t childSize = le32(r + 10);
            if (attributes & kAttrDirectory) {
                TDEntry* dir = InsertDirectory(target, name, ShortNameOf13(name), date, kAttrDirectory);
                if (dir)
                    ImportDirectory(disc, childExtent, childSize, dir, joliet, depth + 1, visited);
            } else {
                AddFileEntry(target, name, attributes, childSize, date, childExtent, std::string());
            }
        }
    }
    return true;
}
