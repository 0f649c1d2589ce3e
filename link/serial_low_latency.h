#pragma once
// The low-latency flag of a serial port. A USB serial adapter's driver hands received bytes
// on when its latency timer runs out (up to 16 ms), which adds to every reply of the
// register; with ASYNC_LOW_LATENCY set the driver passes them at once. The flag is set
// where the driver allows it (TIOCGSERIAL/TIOCSSERIAL; a pty has neither, an 8250 UART
// takes it without harm) and the old flags are put back when the port closes.

#include <sys/ioctl.h>

// The ioctl the functions call; tests pass their own.
using TSerialIoctl = int (*)(int fd, unsigned long request, void* arg);
int SystemSerialIoctl(int fd, unsigned long request, void* arg);

// What to restore: the flags before, when this program changed them.
struct TLowLatencyState {
    bool changed = false;
    int oldFlags = 0;
};

// Sets the flag when the driver has it off and allows the change; a refusal changes nothing.
TLowLatencyState EnableLowLatency(int fd, TSerialIoctl call = SystemSerialIoctl);
// Puts the old flags back when EnableLowLatency changed them.
void RestoreLowLatency(int fd, const TLowLatencyState& state, TSerialIoctl call = SystemSerialIoctl);
