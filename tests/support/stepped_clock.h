#pragma once
// A wait clock for tests whose time moves only from one alarm to the next: whenever alarms
// are armed, one turn of the event loop jumps to the earliest deadline and fires it (ties
// in the order they were armed). A session and a fake port on this clock see every time-out
// and every delivery in deadline order and at once, whatever the machine's load.

#include "link/wait_clock.h"

#include <QObject>
#include <cstdint>
#include <map>
#include <utility>

class SteppedClock final : public IWaitClock {
public:
    SteppedClock() = default;
    ~SteppedClock() override;
    SteppedClock(const SteppedClock&) = delete;
    SteppedClock& operator=(const SteppedClock&) = delete;

    Clock::time_point Now() const override { return now_; }
    std::unique_ptr<Alarm> After(int ms, std::function<void()> fired) override;

    // The time that has passed since the clock was made.
    std::chrono::milliseconds Elapsed() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(now_ - Clock::time_point{});
    }
    std::size_t Armed() const { return armed_.size(); }

private:
    using Key = std::pair<Clock::time_point, uint64_t>;
    class SteppedAlarm;

    void PostStep();
    void Step();

    Clock::time_point now_{};
    uint64_t nextSequence_ = 0;
    std::map<Key, std::function<void()>> armed_;
    bool stepPosted_ = false;
    QObject context_;  // the posted steps die with the clock
};
