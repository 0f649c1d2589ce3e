#pragma once
// The Test command (connect and disconnect) and the register status check.

#include "reports/progress_sink.h"

#include <QString>
#include <array>
#include <cstdint>

class TVeskIBusComm;

struct TEcrStatus {
    std::array<uint8_t, 256> Data{};
    uint8_t FiscalMemoryClosed = 0;  // byte 15 of the status reply; non-zero: closed
};

// The status kept from the last successful check.
TEcrStatus& EcrStatus();

inline constexpr int32_t kEcrAddress = 1234;

// Port name of a CommPort choice: "COM" + the number.
QString PortNameOf(int commPort);

// Connects to the register and disconnects. Returns true when the register answered;
// false when the port did not open (its message already shown) or the connect failed.
bool TestCommand(TVeskIBusComm& bus, IProgressSink& progress, const QString& commName,
                 int baudIndex);

// Sends the status command; on success keeps the reply in EcrStatus().
bool CheckEcrStatus(TVeskIBusComm& bus, IProgressSink& progress);
