#pragma once
// What the two files of the emulated recorder share: status and sense-key values, its
// speeds, and the helpers that fill answers. Private to burn/emulated_drive*.cpp.

#include "burn/transport/scsi_opcodes.h"
#include "core/base/byte_order.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace emulated {

inline constexpr uint8_t kGood = 0x00, kCheckCondition = 0x02, kBusy = 0x08;
inline constexpr uint8_t kNotReady = 0x02, kMediumError = 0x03, kIllegalRequest = 0x05;
inline constexpr uint32_t kMaxReadKBs = 7056, kMaxWriteKBs = 4234;  // 40x and 24x

// MSF address of a sector (LBA 0 is 00:02:00).
inline void putMsf(uint8_t* p, uint32_t lba)
{
    const uint32_t frames = lba + 150;
    p[0] = 0;
    p[1] = static_cast<uint8_t>(frames / (60 * 75));
    p[2] = static_cast<uint8_t>(frames / 75 % 60);
    p[3] = static_cast<uint8_t>(frames % 75);
}

// Copies an answer into the caller's buffer, cut to its length.
inline void copyOut(uint8_t* data, uint32_t length, const std::vector<uint8_t>& answer)
{
    if (data && length)
        std::memcpy(data, answer.data(), std::min<std::size_t>(length, answer.size()));
}

}  // namespace emulated
