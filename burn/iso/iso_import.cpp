// The session import: the disc's last session read through the drive into the tables,
// its files kept at their old sectors. A disc is outside input: every field is checked.

#include "burn/iso/iso_tables.h"

#include "core/base/byte_order.h"

#include <cstring>

namespace {

constexpr uint32_t kMaxImportDirectoryBytes = 16u * 1024 * 1024;


std::string cutAtSemicolon(std::string name)
{
    const std::size_t semi = name.find(';');
    if (semi != std::string::npos)
        name.erase(semi);
    return name;
}

}  // namespace

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
            ImportDirectory(disc, bytes::le32(sector + 158), bytes::le32(sector + 166), target, pass == 0, 0, visited);
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
            std::string name = joliet ? Utf8FromUcs2(r + 33, idLength)
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
            const uint32_t childExtent = bytes::le32(r + 2);
            const uint32_t childSize = bytes::le32(r + 10);
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
