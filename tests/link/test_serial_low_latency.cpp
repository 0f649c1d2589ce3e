// The low-latency flag against a fake driver: set where the driver allows it, the old
// flags put back, nothing touched where the driver refuses.

#include "link/serial_low_latency.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <vector>

namespace {

struct FakeDriver {
    bool hasSerialStruct = true;  // a pty has none
    bool allowsChange = true;
    int flags = 0;
    std::vector<int> flagsSet;

    static FakeDriver& get()
    {
        static FakeDriver d;
        return d;
    }
    static int ioctl(int, unsigned long request, void* arg)
    {
        FakeDriver& d = get();
        auto* info = static_cast<serial_struct*>(arg);
        if (!d.hasSerialStruct) {
            errno = ENOTTY;
            return -1;
        }
        if (request == TIOCGSERIAL) {
            *info = {};
            info->flags = d.flags;
            return 0;
        }
        if (!d.allowsChange) {
            errno = EPERM;
            return -1;
        }
        d.flags = info->flags;
        d.flagsSet.push_back(info->flags);
        return 0;
    }
};

}  // namespace

TEST(SerialLowLatency, SetWhereTheDriverAllowsItAndRestoredAtClose)
{
    struct Case {
        const char* name;
        bool hasSerialStruct, allowsChange;
        int flagsBefore;
        int flagsWhileOpen;
        std::vector<int> flagsSet;  // every TIOCSSERIAL, open and close
    };
    const int other = ASYNC_SPD_HI;  // a flag of the driver's own that stays
    const Case cases[] = {
        {"USB adapter", true, true, other, other | ASYNC_LOW_LATENCY, {other | ASYNC_LOW_LATENCY, other}},
        {"already low latency", true, true, ASYNC_LOW_LATENCY, ASYNC_LOW_LATENCY, {}},
        {"driver refuses the change", true, false, other, other, {}},
        {"pseudo-terminal", false, true, 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDriver& d = FakeDriver::get();
        d = FakeDriver();
        d.hasSerialStruct = c.hasSerialStruct;
        d.allowsChange = c.allowsChange;
        d.flags = c.flagsBefore;
        const TLowLatencyState state = EnableLowLatency(7, FakeDriver::ioctl);
        EXPECT_EQ(d.flags, c.flagsWhileOpen);
        RestoreLowLatency(7, state, FakeDriver::ioctl);
        EXPECT_EQ(d.flags, c.flagsBefore);
        EXPECT_EQ(d.flagsSet, c.flagsSet);
    }
}
