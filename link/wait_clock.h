#pragma once
// The time the register session waits by: a monotonic "now" and single-shot alarms that
// fire through the event loop of the thread that armed them. The session's reply
// time-outs, the wait for the port's first report and the windows of late replies all
// run on one clock, so that a test can put in a clock whose time moves from one alarm to
// the next and get every wait in deadline order, however loaded the machine is.

#include <chrono>
#include <functional>
#include <memory>

class IWaitClock {
public:
    using Clock = std::chrono::steady_clock;

    // An armed alarm; destroying it disarms it.
    class Alarm {
    public:
        virtual ~Alarm() = default;
    };

    virtual ~IWaitClock() = default;
    virtual Clock::time_point Now() const = 0;
    // Calls `fired` once from the event loop when `ms` milliseconds (0 when negative) have
    // passed, unless the alarm is destroyed first.
    [[nodiscard]] virtual std::unique_ptr<Alarm> After(int ms, std::function<void()> fired) = 0;
};

// The system's steady clock with Qt's precise timers. It holds no state: one object
// serves every session of the process.
class TSteadyWaitClock final : public IWaitClock {
public:
    Clock::time_point Now() const override { return Clock::now(); }
    std::unique_ptr<Alarm> After(int ms, std::function<void()> fired) override;

    static TSteadyWaitClock& Instance();
};
