#pragma once
// A transport over the emulated recorder for one test: the built-in layer with a virtual
// drive and no real device nodes, its messages collected.

#include "burn/drive/drive_commands.h"
#include "burn/emulated/emulated_target.h"
#include "burn/transport/scsi_transport.h"
#include "tests/support/test_home.h"
#include "tests/support/test_transport.h"

#include <string>
#include <vector>

struct BurnRig {
    TestHome home;
    TScsiTransport transport;
    TDriveCommands commands{transport};
    std::vector<std::string> messages;
    std::string image;

    explicit BurnRig(bool withVirtualDrive = true)
    {
        image = home.path("disc.img").toStdString();
        transport.Configure(testTransportConfig(withVirtualDrive ? image : std::string()));
        transport.Attach(this, {[this](int kind, const std::string& text) {
                                    messages.push_back(std::to_string(kind) + ":" + text);
                                },
                                [this] { commands.ReadCapabilities(); }, [this] { commands.ProbeWriteModes(); }});
    }
    bool start() { return transport.InitASPILayer(true) && !transport.DeviceList().empty() &&
                          transport.SelectDevice(transport.DeviceList()[0]); }
    TEmulatedDrive* drive() { return BuiltInEmulatedDrive(transport.Layer()); }
    bool logged(const std::string& prefix) const
    {
        for (const std::string& m : messages)
            if (m.rfind(prefix, 0) == 0)
                return true;
        return false;
    }
};
