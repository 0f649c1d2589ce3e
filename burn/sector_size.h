#pragma once
// The size of a data sector: the user bytes of a CD mode 1 or DVD sector, which is also
// the logical block of the ISO 9660 and Joliet trees. Every count of sectors turns into
// bytes with it.

#include <cstdint>

inline constexpr uint32_t kSectorSize = 2048;
