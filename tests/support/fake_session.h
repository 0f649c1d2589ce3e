#pragma once
// A session (TVeskIBusComm) on the in-process fake register port, with its trace switched
// on and the messages it shows to the operator collected. Tests add the register's
// behaviour through `port`.

#include "link/ibus_session.h"
#include "tests/support/fake_register_port.h"

#include <QStringList>
#include <memory>

struct FakeSession {
    FakeRegisterPort* port;  // owned by the bus
    std::unique_ptr<TVeskIBusComm> bus;
    QStringList shown;       // texts of the error boxes, in order

    FakeSession()
    {
        auto fake = std::make_unique<FakeRegisterPort>();
        port = fake.get();
        bus = std::make_unique<TVeskIBusComm>(std::move(fake));
        bus->LogEnabled = true;
        bus->OnShowError = [this](const QString& text) { shown << text; };
    }
};
