#pragma once
// The disc as the session import reads it, through the drive commands.

#include "burn/iso/iso_tables.h"

class TDriveCommands;

class TDriveDiscReader : public IDiscReader {
public:
    explicit TDriveDiscReader(TDriveCommands& drive) : drive_(drive) {}
    int LastSessionNumber() override;
    bool SessionStart(int session, uint32_t* sector) override;
    bool ReadSector(uint32_t sector, std::span<uint8_t> buffer) override;

private:
    TDriveCommands& drive_;
};
