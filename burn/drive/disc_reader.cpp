#include "burn/drive/disc_reader.h"

#include "burn/drive/drive_commands.h"
#include <array>

int TDriveDiscReader::LastSessionNumber()
{
    return drive_.LastSessionNumber();
}

bool TDriveDiscReader::SessionStart(int session, uint32_t* sector)
{
    std::array<uint8_t, 12> toc{};
    if (!drive_.ReadTocPmaAtip(0, true, static_cast<uint8_t>(session), toc))
        return false;
    const int frames = toc[9] * 4500 + toc[10] * 75 + toc[11] - 150;
    *sector = frames < 0 ? 0 : static_cast<uint32_t>(frames);
    return true;
}

bool TDriveDiscReader::ReadSector(uint32_t sector, std::span<uint8_t> buffer)
{
    return drive_.Read10(sector, 1, buffer);
}
