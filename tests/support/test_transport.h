#pragma once
// The transport configuration of a test: the emulated recorder for an image (none when the
// path is empty), no real device node, no transport library, and a command that never
// completes given up after 200 ms instead of 10 s.

#include "burn/emulated/emulated_target.h"
#include "burn/transport/scsi_transport.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

inline TScsiTransportConfig testTransportConfig(const std::string& virtualDrive,
                                                std::vector<std::string> deviceNodes = {"/nonexistent/sr0"})
{
    TScsiTransportConfig config;
    config.virtualDrivePath = virtualDrive;
    config.openVirtualTarget = OpenEmulatedRecorder;
    config.deviceNodes = std::move(deviceNodes);
    config.libraryNames = {"/nonexistent/libwnaspi32.so"};
    config.minimumWaitMs = 200;
    return config;
}

// Changes one part of a transport's configuration.
template <typename Change>
void reconfigure(TScsiTransport& transport, Change change)
{
    TScsiTransportConfig config = transport.Config();
    change(config);
    EXPECT_TRUE(transport.Configure(std::move(config)));
}
