#include "link/serial_low_latency.h"

#include "core/base/posix_io.h"

#include <linux/serial.h>

int SystemSerialIoctl(int fd, unsigned long request, void* arg) { return posix::ioctl(fd, request, arg); }

namespace {
// The flag as the int field of serial_struct holds it (the header spells it unsigned).
constexpr int kLowLatencyFlag = static_cast<int>(ASYNC_LOW_LATENCY);
}  // namespace

TLowLatencyState EnableLowLatency(int fd, TSerialIoctl call)
{
    TLowLatencyState state;
    serial_struct info{};
    if (call(fd, TIOCGSERIAL, &info) != 0 || (info.flags & kLowLatencyFlag))
        return state;
    const int old = info.flags;
    info.flags |= kLowLatencyFlag;
    if (call(fd, TIOCSSERIAL, &info) != 0)
        return state;
    state.changed = true;
    state.oldFlags = old;
    return state;
}

void RestoreLowLatency(int fd, const TLowLatencyState& state, TSerialIoctl call)
{
    if (!state.changed)
        return;
    serial_struct info{};
    if (call(fd, TIOCGSERIAL, &info) != 0)
        return;
    info.flags = state.oldFlags;
    call(fd, TIOCSSERIAL, &info);
}
