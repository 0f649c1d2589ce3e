#include "burn/write/disc_audit.h"

#include "burn/drive/disc_reader.h"
#include "burn/drive/drive_commands.h"
#include "burn/sector_size.h"
#include "burn/iso/iso_tables.h"
#include "core/base/checksum_list.h"
#include "core/base/sha256.h"
#include "burn/iso/session_checksums.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace {

constexpr uint16_t kSectorsPerRead = 32;
// A session's checksum list larger than this is not read (it would list millions of files).
constexpr int64_t kListLimit = 16 << 20;

struct TDiscFile {
    std::string name;
    int64_t size = 0;
    uint32_t sector = 0;
    bool list = false;  // the session's checksum list (not a user's file of its name)
};

// Reads `size` bytes from `sector` on, handing them on in pieces; false with the reason.
bool readExtent(TDriveCommands& drive, uint32_t sector, int64_t size, std::vector<uint8_t>& buffer,
                const std::function<void(const uint8_t*, std::size_t)>& take, std::string* problem)
{
    buffer.resize(std::size_t(kSectorsPerRead) * kSectorSize);
    for (int64_t done = 0; done < size;) {
        const int64_t left = size - done;
        const auto sectors = static_cast<uint16_t>(std::min<int64_t>(kSectorsPerRead, (left + kSectorSize - 1) / kSectorSize));
        const uint32_t at = sector + static_cast<uint32_t>(done / kSectorSize);
        if (!drive.Read10(at, sectors, buffer)) {
            *problem = "the disc cannot be read at sector " + std::to_string(at) + " (" + drive.LastError() + ")";
            return false;
        }
        const auto n = static_cast<std::size_t>(std::min<int64_t>(left, int64_t(sectors) * kSectorSize));
        take(buffer.data(), n);
        done += static_cast<int64_t>(n);
    }
    return true;
}

// The files of a session's tree with their paths below the root.
std::vector<TDiscFile> filesOf(TIsoTables& tables)
{
    std::vector<TDiscFile> files;
    for (TDEntry& dir : tables.Directories()) {
        std::string prefix = dir.path == "\\" ? std::string() : dir.path.substr(1) + "/";
        std::replace(prefix.begin(), prefix.end(), '\\', '/');
        for (const TFEntry* e = dir.firstChild; e; e = e->next)
            if (!e->directory && !(e->attributes & kAttrDirectory))
                files.push_back({prefix + e->longName, e->size, static_cast<uint32_t>(e->isoExtent),
                                 IsSessionChecksumsEntry(*e, &dir == tables.Root())});
    }
    return files;
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

const char* AuditStateText(TAuditState state)
{
    switch (state) {
    case TAuditState::Same: return "same";
    case TAuditState::Differs: return "differs";
    case TAuditState::NotInList: return "not in the list";
    case TAuditState::NoDownloadRecord: return "no download record";
    case TAuditState::Missing: return "missing";
    }
    return "";
}

bool TAuditResult::Differences() const
{
    if (!read || !problem.empty())
        return true;
    return std::any_of(rows.begin(), rows.end(), [](const TAuditRow& r) {
        return r.state == TAuditState::Differs || r.state == TAuditState::Missing;
    });
}

TAuditResult AuditDisc(TDriveCommands& drive, const TAuditOptions& options)
{
    TAuditResult result;
    TDriveDiscReader reader(drive);
    result.sessions = reader.LastSessionNumber();
    if (result.sessions <= 0) {
        result.problem = "the disc holds no session (a blank disc, or no disc in the drive)";
        return result;
    }
    result.read = true;

    // First the trees of all sessions, so that the progress knows the bytes to read.
    struct TPending {
        TAuditRow row;
        uint32_t sector = 0;
        std::optional<std::string> listed;
    };
    std::vector<TPending> pending;
    std::set<std::tuple<std::string, uint32_t, int64_t>> earlier;  // the previous session's files
    std::vector<uint8_t> buffer;
    int64_t total = 0;
    for (int s = 1; s <= result.sessions; ++s) {
        TIsoTables tables;
        tables.ClearFileSystem(1 << 30, 1 << 30);
        std::string importError;
        tables.OnMessage = [&importError](int kind, const std::string& text) {
            if (kind != 1 && importError.empty())
                importError = text;
        };
        if (!tables.ImportSession(reader, s) || !importError.empty()) {
            if (result.problem.empty())
                result.problem = "session " + std::to_string(s) + " cannot be read" +
                                 (importError.empty() ? std::string() : ": " + importError);
            continue;
        }
        const std::vector<TDiscFile> files = filesOf(tables);
        std::map<std::string, std::string> list;  // name -> checksum
        bool hasList = false;
        for (const TDiscFile& f : files) {
            if (!f.list)
                continue;
            hasList = true;
            std::string content, problem;
            if (f.size > kListLimit) {
                result.problem = "the checksum list of session " + std::to_string(s) + " is too large";
                break;
            }
            if (!readExtent(drive, f.sector, f.size, buffer,
                            [&content](const uint8_t* p, std::size_t n) { content.append(reinterpret_cast<const char*>(p), n); },
                            &problem)) {
                result.problem = "the checksum list of session " + std::to_string(s) + ": " + problem;
                break;
            }
            for (TChecksumLine& line : ParseChecksumList(content).lines)
                list[line.name] = line.hex;
        }
        if (!hasList)
            result.withoutList.push_back(s);
        std::set<std::string> present;
        std::set<std::tuple<std::string, uint32_t, int64_t>> now;
        for (const TDiscFile& f : files) {
            if (f.list)
                continue;
            present.insert(f.name);
            now.insert({f.name, f.sector, f.size});
            if (earlier.count({f.name, f.sector, f.size}))
                continue;  // written by an earlier session and checked there
            TPending p;
            p.row = {f.name, s, f.size, TAuditState::Same, {}};
            p.sector = f.sector;
            if (auto it = list.find(f.name); it != list.end())
                p.listed = it->second;
            total += f.size;
            pending.push_back(std::move(p));
        }
        for (const auto& [name, hex] : list)
            if (!present.count(name)) {
                TPending p;
                p.row = {name, s, -1, TAuditState::Missing, "named in the session's checksum list"};
                pending.push_back(std::move(p));
            }
        earlier = std::move(now);
    }

    int64_t done = 0;
    TSha256 hash;
    for (TPending& p : pending) {
        TAuditRow& row = p.row;
        if (row.state == TAuditState::Missing) {
            result.rows.push_back(std::move(row));
            continue;
        }
        std::string problem;
        const bool read = readExtent(drive, p.sector, row.size, buffer, [&](const uint8_t* data, std::size_t n) {
            hash.Add(data, n);
            done += static_cast<int64_t>(n);
            if (options.progress)
                options.progress(done, total);
        }, &problem);
        const std::string hex = hash.FinishHex();
        if (!read) {
            row.state = TAuditState::Differs;
            row.detail = problem;
            row.difference = TAuditDifference::Unreadable;
        } else {
            std::optional<std::string> downloaded;
            if (options.downloadChecksum) {
                const std::string name = baseName(row.name);
                downloaded = options.downloadChecksum(name);
                // The burner appends a dot to a name without one.
                if (!downloaded && name.size() > 1 && name.back() == '.')
                    downloaded = options.downloadChecksum(name.substr(0, name.size() - 1));
            }
            if (p.listed && *p.listed != hex) {
                row.state = TAuditState::Differs;
                row.detail = "differs from the session's checksum list";
                row.difference = TAuditDifference::FromList;
            } else if (downloaded && *downloaded != hex) {
                row.state = TAuditState::Differs;
                row.detail = "differs from the checksum recorded at the download";
                row.difference = TAuditDifference::FromDownload;
            } else if (!p.listed) {
                row.state = TAuditState::NotInList;
            } else if (!downloaded) {
                row.state = TAuditState::NoDownloadRecord;
            }
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}

std::vector<std::string> FilesAlreadyOnDisc(TDriveCommands& drive, const std::vector<TSessionFile>& files)
{
    std::vector<std::string> unchanged;
    TDriveDiscReader reader(drive);
    TIsoTables tables;
    tables.ClearFileSystem(1 << 30, 1 << 30);
    if (files.empty() || reader.LastSessionNumber() <= 0 || !tables.ImportSession(reader, -1))
        return unchanged;
    std::map<std::string, TDiscFile> onDisc;
    for (TDiscFile& f : filesOf(tables))
        onDisc[f.name] = f;
    std::vector<uint8_t> buffer;
    for (const TSessionFile& f : files) {
        const auto it = onDisc.find(f.discName);
        if (it == onDisc.end() || it->second.size != f.size)
            continue;
        // Only a file of a name and size the disc holds is read here, before the burn.
        std::string local = f.hex, problem;
        if (local.empty() && !Sha256OfFile(f.sourcePath, &local, &problem))
            continue;
        TSha256 hash;
        if (readExtent(drive, it->second.sector, f.size, buffer,
                       [&hash](const uint8_t* p, std::size_t n) { hash.Add(p, n); }, &problem) &&
            hash.FinishHex() == local)
            unchanged.push_back(f.discName);
    }
    return unchanged;
}
