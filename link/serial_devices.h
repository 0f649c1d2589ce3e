#pragma once
// The serial devices present on this machine, so that the operator can choose which
// device a port name (COM1 to COM4) means: on-board and add-in UARTs (/dev/ttyS*, only
// those with a UART behind them), USB adapters (/dev/ttyUSB*, /dev/ttyACM*) and the
// stable names of USB adapters (/dev/serial/by-id/*), which survive re-plugging.

#include <QList>
#include <QString>

struct SerialDevice {
    QString path;    // the device node or the by-id name
    QString target;  // for a by-id name: the node it leads to; empty otherwise
};

// The devices in a stable order: ttyS, ttyUSB, ttyACM by number, then the by-id names.
// The roots are parameters for tests.
QList<SerialDevice> ListSerialDevices(const QString& devRoot = QStringLiteral("/dev"),
                                      const QString& sysRoot = QStringLiteral("/sys"));
