// Feeds arbitrary chunks to the reply receiver in both modes.
#include "link/ibus_receiver.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    TIBusReceiver r;
    r.frameMode = data[0] & 1;
    r.expectedHeader = {data[1], data[2], data[3]};
    r.Reset();
    std::size_t at = 4;
    while (at < size) {
        const std::size_t n = 1 + data[at] % 64;
        const std::size_t take = n < size - at ? n : size - at;
        if (r.Feed(data + at, take)) {
            if (r.ReplyByte() == 0 && r.FrameBytes()[0] != 0x03)
                __builtin_trap();
            r.Reset();
        }
        if (r.Position() >= 301)
            __builtin_trap();
        at += take;
    }
    return 0;
}
