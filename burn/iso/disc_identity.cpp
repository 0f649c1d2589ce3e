#include "burn/iso/disc_identity.h"

#include "burn/iso/iso_tables.h"
#include "burn/sector_size.h"

#include <cstring>

bool ReadDiscIdentity(IDiscReader& disc, std::string* identity)
{
    uint32_t start = 0;
    if (disc.LastSessionNumber() <= 0 || !disc.SessionStart(1, &start))
        return false;
    uint8_t sector[kSectorSize];
    for (uint32_t i = 0; i < 21; ++i) {
        if (!disc.ReadSector(start + 16 + i, sector) || std::memcmp(sector + 1, "CD001", 5) != 0 || sector[0] == 255)
            return false;
        if (sector[0] != 1)
            continue;
        std::string text;
        for (int k = 0; k < 16; ++k) {
            const char c = static_cast<char>(sector[813 + k]);
            text += (c >= '0' && c <= '9') ? c : '_';
        }
        const auto offset = static_cast<int8_t>(sector[829]);
        if (offset != 0)
            text += (offset > 0 ? "+" : "") + std::to_string(offset);
        *identity = text;
        return true;
    }
    return false;
}
