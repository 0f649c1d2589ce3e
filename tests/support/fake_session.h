#pragma once
// A session (TVeskIBusComm) on the in-process fake register port, with its trace switched
// on and the messages it shows to the operator collected. Tests add the register's
// behaviour through `port`. On stepped time the session and the port share a clock that
// jumps from one deadline to the next, so that waits end in deadline order and at once;
// on real time both use the system's clock.

#include "link/ibus_session.h"
#include "tests/support/fake_register_port.h"
#include "tests/support/stepped_clock.h"

#include <QStringList>
#include <functional>
#include <memory>

struct FakeSession {
    enum class Time { Real, Stepped };

    SteppedClock clock;      // the session's and the port's clock on stepped time
    FakeRegisterPort* port;  // owned by the bus
    std::unique_ptr<TVeskIBusComm> bus;
    QStringList shown;       // texts of the error boxes, in order

    explicit FakeSession(Time time = Time::Real)
    {
        IWaitClock& c = time == Time::Stepped ? static_cast<IWaitClock&>(clock) : TSteadyWaitClock::Instance();
        auto fake = std::make_unique<FakeRegisterPort>(c);
        port = fake.get();
        bus = std::make_unique<TVeskIBusComm>(std::move(fake), &c);
        bus->LogEnabled = true;
        bus->OnShowError = [this](const QString& text) { shown << text; };
    }

    // Runs `action` once, the first time the port reports a frame sent while `ready` holds:
    // the session is then waiting for the answer to that frame.
    void WhenSent(std::function<bool()> ready, std::function<void()> action)
    {
        port->OnSendDataEmpty = [ready = std::move(ready), action = std::move(action),
                                 sent = port->OnSendDataEmpty, done = false]() mutable {
            sent();
            if (!done && ready()) {
                done = true;
                action();
            }
        };
    }

    // The disconnect frames sent with this end code.
    int Disconnects(uint8_t code) const
    {
        int n = 0;
        for (const ibus::Payload& p : port->requests)
            n += p[0] == 14 && p[1] == 2 && p[7] == code;
        return n;
    }
};
