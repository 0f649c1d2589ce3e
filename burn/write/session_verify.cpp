#include "burn/write/session_verify.h"

#include "burn/drive/disc_reader.h"
#include "burn/drive/drive_commands.h"
#include "burn/sector_size.h"
#include "burn/iso/iso_tables.h"
#include "burn/iso/session_checksums.h"
#include "core/base/posix_io.h"
#include "core/base/sha256.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unordered_map>
#include <vector>

namespace {

constexpr uint16_t kSectorsPerRead = 32;

// Compares the file's bytes on the disc (from `sector`) with its source.
bool compareFile(TDriveCommands& drive, const std::string& source, uint32_t sector, int64_t size,
                 TSha256& hash, std::string* problem)
{
    posix::UniqueFd fd(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        *problem = source + ": cannot be read (" + posix::errnoMessage(errno) + ")";
        return false;
    }
    std::vector<uint8_t> disc(std::size_t(kSectorsPerRead) * kSectorSize), local(disc.size());
    int64_t done = 0;
    while (done < size) {
        const int64_t left = size - done;
        const uint16_t sectors = static_cast<uint16_t>(std::min<int64_t>(kSectorsPerRead, (left + kSectorSize - 1) / kSectorSize));
        if (!drive.Read10(sector + static_cast<uint32_t>(done / kSectorSize), sectors, disc)) {
            *problem = source + ": the disc cannot be read at sector " +
                       std::to_string(sector + done / kSectorSize) + " (" + drive.LastError() + ")";
            return false;
        }
        const std::size_t n = static_cast<std::size_t>(std::min<int64_t>(left, int64_t(sectors) * kSectorSize));
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = posix::read(fd.get(), local.data() + got, n - got);
            if (r <= 0) {
                *problem = source + ": the file is shorter than the " + std::to_string(size) + " bytes on the disc";
                return false;
            }
            got += static_cast<std::size_t>(r);
        }
        hash.Add(disc.data(), n);
        if (std::memcmp(disc.data(), local.data(), n) != 0) {
            const auto at = std::mismatch(disc.begin(), disc.begin() + static_cast<std::ptrdiff_t>(n), local.begin());
            *problem = source + ": differs from the disc at byte " +
                       std::to_string(done + (at.first - disc.begin()));
            return false;
        }
        done += static_cast<int64_t>(n);
    }
    return true;
}

}  // namespace

TVerifyResult VerifySession(TDriveCommands& drive, TIsoTables& written, const std::vector<TSessionFile>* listed)
{
    std::unordered_map<std::string, std::string> expected;  // source -> listed checksum
    if (listed)
        for (const TSessionFile& f : *listed)
            expected[f.sourcePath] = f.hex;
    TSha256 hash;
    TVerifyResult result;
    TIsoTables disc;
    disc.ClearFileSystem(1 << 30, 1 << 30);
    std::string importError;
    disc.OnMessage = [&importError](int kind, const std::string& text) {
        if (kind != 1 && importError.empty())
            importError = text;
    };
    TDriveDiscReader reader(drive);
    if (!disc.ImportSession(reader, -1) || !importError.empty()) {
        result.problem = "the new session cannot be read back" + (importError.empty() ? "" : ": " + importError);
        return result;
    }
    for (TDEntry& dir : written.Directories()) {
        for (const TFEntry* e = dir.firstChild; e; e = e->next) {
            const std::string source = e->SourcePath();
            if (e->directory || e->imported || source.empty())
                continue;
            TDEntry* onDisc = disc.FindDirectory(JolietPathOnDisc(dir.path));
            const TFEntry* found = onDisc ? TIsoTables::FindByLongName(*onDisc, JolietNameOnDisc(e->JolietName())) : nullptr;
            // A name written without a dot (the session's checksum list) is read back with one.
            if (!found && onDisc && e->JolietName().find('.') == std::string::npos)
                found = TIsoTables::FindByLongName(*onDisc, JolietNameOnDisc(e->JolietName()) + ".");
            if (!found) {
                result.problem = source + ": not found in the new session";
                return result;
            }
            if (found->size != e->size) {
                result.problem = source + ": " + std::to_string(found->size) + " bytes on the disc, " +
                                 std::to_string(e->size) + " in the file";
                return result;
            }
            if (!compareFile(drive, source, static_cast<uint32_t>(found->isoExtent), e->size, hash, &result.problem))
                return result;
            const std::string hex = hash.FinishHex();
            if (auto it = expected.find(source); it != expected.end() && it->second != hex) {
                result.problem = source + ": differs from the session's checksum list";
                return result;
            }
            if (IsSessionChecksumsEntry(*e, &dir == written.Root()))
                continue;  // checked, and not counted among the files of the burn
            ++result.files;
            result.bytes += e->size;
        }
    }
    result.ok = true;
    return result;
}
