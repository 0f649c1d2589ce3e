// Imports a session from a disc made of arbitrary sectors.
#include "burn/iso/iso_tables.h"

#include <cstring>
#include <vector>

namespace {
class FuzzDisc : public IDiscReader {
public:
    FuzzDisc(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    int LastSessionNumber() override { return 1; }
    bool SessionStart(int, uint32_t* sector) override
    {
        *sector = 0;
        return true;
    }
    bool ReadSector(uint32_t sector, std::span<uint8_t> buffer) override
    {
        // Sectors 16 onward come from the input; a short input repeats itself.
        if (size_ == 0 || buffer.size() < 2048)
            return false;
        for (std::size_t i = 0; i < 2048; ++i)
            buffer[i] = data_[(uint64_t(sector) * 2048 + i) % size_];
        if (sector > 100000)
            return false;
        return true;
    }

private:
    const uint8_t* data_;
    std::size_t size_;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzDisc disc(data, size);
    TIsoTables tables;
    tables.ClearFileSystem(5000, 500);
    tables.ImportSession(disc, -1);
    return 0;
}
