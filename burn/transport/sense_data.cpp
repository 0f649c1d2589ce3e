#include "burn/transport/sense_data.h"

#include <algorithm>

namespace {

// Descriptor type 04h (stream commands) carries the filemark, end-of-medium and
// incorrect-length bits that fixed format keeps in byte 2.
constexpr uint8_t kStreamDescriptor = 0x04;

uint8_t at(std::span<const uint8_t> s, std::size_t i) { return i < s.size() ? s[i] : 0; }

}  // namespace

TSenseData DecodeSense(std::span<const uint8_t> sense)
{
    TSenseData d;
    if (sense.empty())
        return d;
    d.responseCode = static_cast<uint8_t>(sense[0] & 0x7F);
    if (!d.valid())
        return d;
    if (d.descriptorFormat()) {
        // Bytes 1-3: key, ASC, ASCQ; byte 7: length of the descriptors that follow.
        d.key = at(sense, 1) & 0x0F;
        d.asc = at(sense, 2);
        d.ascq = at(sense, 3);
        const std::size_t end = std::min<std::size_t>(sense.size(), 8u + at(sense, 7));
        // The codes sit in the header of this format: they are there whatever follows.
        d.hasAdditional = at(sense, 7) != 0 || d.asc != 0 || d.ascq != 0;
        for (std::size_t i = 8; i + 1 < end;) {
            const uint8_t type = sense[i];
            const std::size_t length = 2u + sense[i + 1];
            if (type == kStreamDescriptor && i + 3 < end) {
                const uint8_t bits = sense[i + 3];
                d.filemark = bits & 0x80;
                d.endOfMedia = bits & 0x40;
                d.illegalLength = bits & 0x20;
            }
            i += length;
        }
        return d;
    }
    const uint8_t b2 = at(sense, 2);
    d.key = b2 & 0x0F;
    d.filemark = b2 & 0x80;
    d.endOfMedia = b2 & 0x40;
    d.illegalLength = b2 & 0x20;
    d.hasAdditional = at(sense, 7) != 0;
    d.asc = at(sense, 12);
    d.ascq = at(sense, 13);
    return d;
}
