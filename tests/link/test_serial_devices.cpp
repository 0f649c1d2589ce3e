// The serial devices offered in the communication settings, and which device a port name means.

#include "link/port_names.h"
#include "link/serial_devices.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(SerialDevices, PresentDevicesInOrderWithStableNames)
{
    QTemporaryDir root;
    const QString dev = root.path() + "/dev";
    const QString sys = root.path() + "/sys";
    QDir().mkpath(dev + "/serial/by-id");
    for (const char* name : {"ttyS10", "ttyS2", "ttyS1", "ttyS0", "ttyUSB1", "ttyUSB0", "ttyACM0", "ttySx", "ttyprintk",
                             "tty1", "sda"})
        ASSERT_TRUE(writeTestFile(dev + '/' + name, ""));
    // ttyS1 is a slot without a UART; ttyS2 and ttyS10 have no sysfs entry and stay.
    QDir().mkpath(sys + "/class/tty/ttyS0");
    QDir().mkpath(sys + "/class/tty/ttyS1");
    ASSERT_TRUE(writeTestFile(sys + "/class/tty/ttyS0/type", "4\n"));
    ASSERT_TRUE(writeTestFile(sys + "/class/tty/ttyS1/type", "0\n"));
    const QString adapter = dev + "/serial/by-id/usb-Adapter_A50285BI-if00-port0";
    ASSERT_TRUE(QFile::link("../../ttyUSB0", adapter));

    const QList<SerialDevice> found = ListSerialDevices(dev, sys);
    QStringList paths;
    for (const SerialDevice& d : found)
        paths << d.path;
    EXPECT_EQ(paths, (QStringList{dev + "/ttyS0", dev + "/ttyS2", dev + "/ttyS10", dev + "/ttyUSB0", dev + "/ttyUSB1",
                                  dev + "/ttyACM0", adapter}));
    ASSERT_EQ(found.size(), 7);
    EXPECT_EQ(found.last().target, QDir(dev).canonicalPath() + "/ttyUSB0");
    EXPECT_EQ(found.first().target, "");
}

TEST(SerialDevices, NoDevicesNoFolder)
{
    QTemporaryDir root;
    EXPECT_TRUE(ListSerialDevices(root.path() + "/nothing", root.path()).isEmpty());
}

TEST(PortNames, MappedDefaultAndDemoDevices)
{
    TestHome home;
    EXPECT_EQ(DeviceForPort(1, ""), "/dev/ttyS0");
    EXPECT_EQ(DeviceForPort(0, ""), "") << "COM0 is the choice None";
    EXPECT_EQ(DeviceForPort(0, "/dev/ttyUSB3"), "/dev/ttyUSB3");
    EXPECT_EQ(DeviceForPort(4, "/dev/serial/by-id/usb-x"), "/dev/serial/by-id/usb-x");
    WritePortMapping(3, "/dev/ttyUSB0");
    EXPECT_EQ(ReadPortMapping(3), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortName("COM3"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortName("com3"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortName("COM2"), "/dev/ttyS1");
    WritePortMapping(3, "");  // back to the default
    EXPECT_EQ(ResolvePortName("COM3"), "/dev/ttyS2");
    SetPortOverride("/dev/pts/7");
    EXPECT_EQ(ResolvePortName("COM1"), "/dev/pts/7");
    EXPECT_EQ(DeviceForPort(2, "/dev/ttyUSB0"), "/dev/pts/7");
    SetPortOverride(QString());
}
