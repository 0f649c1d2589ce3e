#include "link/wait_clock.h"

#include <QTimer>
#include <algorithm>

namespace {

class TTimerAlarm final : public IWaitClock::Alarm {
public:
    TTimerAlarm(int ms, std::function<void()> fired)
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, std::move(fired));
        timer_.start(std::max(ms, 0));
    }

private:
    QTimer timer_;
};

}  // namespace

std::unique_ptr<IWaitClock::Alarm> TSteadyWaitClock::After(int ms, std::function<void()> fired)
{
    return std::make_unique<TTimerAlarm>(ms, std::move(fired));
}

TSteadyWaitClock& TSteadyWaitClock::Instance()
{
    static TSteadyWaitClock clock;
    return clock;
}
