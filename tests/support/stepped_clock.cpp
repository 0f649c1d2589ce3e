#include "tests/support/stepped_clock.h"

#include <QMetaObject>
#include <algorithm>

class SteppedClock::SteppedAlarm final : public IWaitClock::Alarm {
public:
    SteppedAlarm(SteppedClock& clock, Key key) : clock_(clock), key_(key) {}
    ~SteppedAlarm() override { clock_.armed_.erase(key_); }

private:
    SteppedClock& clock_;
    Key key_;
};

SteppedClock::~SteppedClock() = default;

std::unique_ptr<IWaitClock::Alarm> SteppedClock::After(int ms, std::function<void()> fired)
{
    const Key key{now_ + std::chrono::milliseconds(std::max(ms, 0)), nextSequence_++};
    armed_.emplace(key, std::move(fired));
    PostStep();
    return std::make_unique<SteppedAlarm>(*this, key);
}

void SteppedClock::PostStep()
{
    if (stepPosted_ || armed_.empty())
        return;
    stepPosted_ = true;
    // A posted call, not a timer: the loop that waits for it wakes at once, and what the
    // step starts is handled in the loop's next turn.
    QMetaObject::invokeMethod(&context_, [this] { Step(); }, Qt::QueuedConnection);
}

void SteppedClock::Step()
{
    stepPosted_ = false;
    if (armed_.empty())
        return;
    const auto first = armed_.begin();
    now_ = std::max(now_, first->first.first);
    const std::function<void()> fired = std::move(first->second);
    armed_.erase(first);
    PostStep();
    fired();
}
