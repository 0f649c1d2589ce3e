#pragma once
// Resolving the port names "COM0" to "COM4" (and any "COMn") to device paths.

#include <QString>
#include <string>

// "COMn" is looked up in SYSTEM.CFG [Ports] (COMn=/dev/ttyUSB0), else gives /dev/ttyS(n-1);
// COM0 ("None") and below give an empty path, no device. A name starting with "/" is a
// path already; anything else is returned unchanged.
QString ResolvePortName(const std::string& name);

// The device that COMn means when [Ports] maps it to `mapped` (empty: not mapped).
QString DeviceForPort(int n, const QString& mapped);
// The device of COMn without a [Ports] entry: /dev/ttyS(n-1); none for COM0 ("None").
QString DefaultPortDevice(int n);

// While set, every "COMn" name resolves to this path (the demo register's pty).
void SetPortOverride(const QString& path);
