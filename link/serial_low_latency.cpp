#include "link/serial_low_latency.h"

#include "core/base/posix_io.h"

#include <linux/serial.h>

int SystemSerialIoctl(int fd, unsigned long request, void* arg) { return posix::ioctl(fd, request, arg); }

TLowLatencyState EnableLowLatency(int fd, TSerialIoctl call)
{
    TLowLatencyState state;
    serial_struct info{};
    if (call(fd, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY))
        return state;
    const int old = info.flags;
    info.flags |= ASYNC_LOW_LATENCY;
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
