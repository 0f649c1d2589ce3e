#pragma once
// I-Bus frame codec: the 259-byte payload with its 16-bit additive checksum, packed into
// a 301-byte frame of 7-bit groups (every inner byte has its top bit set), and the
// packed-BCD helpers for addresses, numbers, dates and times.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ibus {

inline constexpr std::size_t kPayloadDataBytes = 259;  // command, parameter, data block
inline constexpr std::size_t kPayloadSize = 261;       // plus the checksum
inline constexpr std::size_t kFrameSize = 301;
inline constexpr std::size_t kDataBlockSize = 256;
inline constexpr uint8_t kFrameStart = 0x03;
inline constexpr uint8_t kFrameEnd = 0x04;
inline constexpr uint8_t kFrameTrailer = 0xFF;
inline constexpr uint8_t kReplyPositive = 0x02;
inline constexpr uint8_t kReplyNegative = 0x05;
inline constexpr uint8_t kReply55 = 0x55;

using Payload = std::array<uint8_t, kPayloadSize>;
using Frame = std::array<uint8_t, kFrameSize>;

// Sum of payload bytes 0 to 258, modulo 65536.
uint16_t PayloadChecksum(const Payload& payload);
// Stores PayloadChecksum low byte first in bytes 259 and 260.
void StoreChecksum(Payload& payload);

// Packs a payload into a frame, taking bytes 259 and 260 as they stand.
Frame PackFrame(const Payload& payload);

struct Unpacked {
    Payload payload{};
    bool checksumOk = false;
};
// Unpacks a frame; frame bytes 0 and 300 and bit 7 of the data bytes are not looked at.
Unpacked UnpackFrame(const Frame& frame);

// Value as packed BCD in (digits+1)/2 bytes, most significant byte first; higher digits dropped.
std::vector<uint8_t> BcdPack(uint32_t value, int digits);
// Last two decimal digits of value as one packed BCD byte.
uint8_t BcdByte(uint16_t value);
// Copies count bytes; a count of 0 or less copies nothing.
void CopyBytes(uint8_t* destination, const uint8_t* source, int count);

}  // namespace ibus
