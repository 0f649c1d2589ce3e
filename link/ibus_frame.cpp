#include "link/ibus_frame.h"

#include <cstring>

namespace ibus {

uint16_t PayloadChecksum(const Payload& payload)
{
    uint32_t sum = 0;
    for (std::size_t i = 0; i < kPayloadDataBytes; ++i)
        sum += payload[i];
    return static_cast<uint16_t>(sum & 0xFFFF);
}

void StoreChecksum(Payload& payload)
{
    const uint16_t sum = PayloadChecksum(payload);
    payload[259] = static_cast<uint8_t>(sum & 0xFF);
    payload[260] = static_cast<uint8_t>(sum >> 8);
}

Frame PackFrame(const Payload& payload)
{
    Frame frame{};
    frame[0] = kFrameStart;
    frame[300] = kFrameEnd;
    for (std::size_t i = 0; i < kPayloadDataBytes; ++i) {
        const std::size_t g = i / 7;
        const std::size_t k = i % 7;
        frame[1 + 8 * g + k] = payload[i] & 0x7F;
        if (payload[i] & 0x80)
            frame[8 + 8 * g] |= static_cast<uint8_t>(1u << k);
    }
    frame[297] = payload[259] & 0x7F;
    frame[298] = payload[260] & 0x7F;
    if (payload[259] & 0x80)
        frame[299] |= 0x01;
    if (payload[260] & 0x80)
        frame[299] |= 0x02;
    for (std::size_t i = 1; i <= 299; ++i)
        frame[i] |= 0x80;
    return frame;
}

Unpacked UnpackFrame(const Frame& frame)
{
    Unpacked result;
    Payload& p = result.payload;
    for (std::size_t j = 0; j < kPayloadDataBytes; ++j) {
        const std::size_t g = j / 7;
        const std::size_t k = j % 7;
        p[j] = frame[1 + 8 * g + k] & 0x7F;
        if (frame[8 + 8 * g] & (1u << k))
            p[j] |= 0x80;
    }
    p[259] = (frame[297] & 0x7F) | ((frame[299] & 0x01) ? 0x80 : 0);
    p[260] = (frame[298] & 0x7F) | ((frame[299] & 0x02) ? 0x80 : 0);
    const uint16_t sum = PayloadChecksum(p);
    result.checksumOk = p[259] == (sum & 0xFF) && p[260] == (sum >> 8);
    return result;
}

std::vector<uint8_t> BcdPack(uint32_t value, int digits)
{
    if (digits < 1)
        return {};
    const int n = (digits - 1) / 2;
    std::vector<uint8_t> out(static_cast<std::size_t>(n) + 1);
    for (std::size_t i = out.size(); i-- > 0;) {
        out[i] = static_cast<uint8_t>(((value / 10) % 10) * 16 + value % 10);
        value /= 100;
    }
    return out;
}

uint8_t BcdByte(uint16_t value)
{
    return static_cast<uint8_t>(((value / 10) % 10) * 16 + value % 10);
}

void CopyBytes(uint8_t* destination, const uint8_t* source, int count)
{
    if (count > 0)
        std::memcpy(destination, source, static_cast<std::size_t>(count));
}

}  // namespace ibus
