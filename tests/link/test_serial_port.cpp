#include "link/serial_port_p.h"
#include "tests/support/pty_port.h"
#include "tests/support/spawned_process.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <set>
#include <termios.h>

namespace {

std::string openError(TComm& comm, std::string* hint = nullptr)
{
    try {
        comm.Open();
    } catch (const ECommsError& e) {
        if (hint)
            *hint = e.hint();
        return e.what();
    }
    return {};
}

// The descriptors this process holds.
int openDescriptors()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size());
}

// The ids of this process's threads.
// The names of the process's threads that bear one of these names, one entry per thread.
QStringList threadsNamed(const QStringList& names)
{
    QStringList found;
    const QString tasks = QStringLiteral("/proc/self/task/");
    for (const QString& id : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks + id + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly))
            continue;  // the thread ended meanwhile
        const QString name = QString::fromLatin1(comm.readAll()).trimmed();
        if (names.contains(name))
            found << name;
    }
    found.sort();
    return found;
}

}  // namespace

TEST(SerialPort, DefaultsAndClosedBehaviour)
{
    TComm comm;
    EXPECT_EQ(comm.CommName(), "COM2");
    EXPECT_EQ(comm.BaudRate(), 9600u);
    EXPECT_EQ(comm.DtrControl(), TDtrControl::DtrEnable);
    EXPECT_TRUE(comm.TxContinueOnXoff());
    EXPECT_TRUE(comm.Outx_XonXoffFlow());
    EXPECT_TRUE(comm.Inx_XonXoffFlow());
    EXPECT_EQ(comm.XonLimit(), 500);
    EXPECT_EQ(comm.XonChar(), 17);
    EXPECT_EQ(comm.XoffChar(), 19);
    EXPECT_EQ(comm.ReadIntervalTimeout(), 100u);
    EXPECT_TRUE(comm.SendEmpty());
    const uint8_t byte = 1;
    EXPECT_FALSE(comm.WriteData(&byte, 1));
    comm.Close();  // harmless
}

TEST(SerialPort, OpenFailures)
{
    TestHome home;
    TComm comm;
    const int before = openDescriptors();
    QFile file(home.path("plain.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    comm.setCommName(home.path("plain.txt").toStdString());
    EXPECT_EQ(openError(comm), "File handle is not a comm handle ");
    EXPECT_FALSE(comm.isOpen());

    comm.setCommName("/dev/null");  // a character device but no tty
    EXPECT_EQ(openError(comm), "File handle is not a comm handle ");

    std::string hint;
    comm.setCommName(home.path("no-such-tty").toStdString());
    EXPECT_EQ(openError(comm, &hint), "Error opening serial port");
    EXPECT_NE(hint.find("does not exist"), std::string::npos);
    EXPECT_EQ(openDescriptors(), before);  // a refused device is not left open
}

TEST(SerialPort, ComNamesResolveThroughPortsSection)
{
    TestHome home;
    ASSERT_TRUE(writeSystemConfig("[Ports]\r\nCOM3=" + home.path("adapter").toLocal8Bit() + "\r\n"));
    TComm comm;
    comm.setCommName("COM3");
    openError(comm);
    EXPECT_EQ(comm.DevicePath(), home.path("adapter").toStdString());
    comm.setCommName("COM1");
    openError(comm);
    EXPECT_EQ(comm.DevicePath(), "/dev/ttyS0");
}

TEST(SerialPort, ReportsEmptyOnceAfterOpenAndOpenTwiceDoesNothing)
{
    PtyPort p;
    TComm& comm = p.comm;
    const PortEvents& ev = p.events;
    comm.Open();
    const int applied = comm.ApplyStateCount();
    comm.Open();
    EXPECT_EQ(comm.ApplyStateCount(), applied);
    ASSERT_TRUE(waitFor([&] { return ev.empties == 1; }));
    waitFor([] { return false; }, 100);
    EXPECT_EQ(ev.empties, 1);
    const uint8_t none = 0;
    EXPECT_FALSE(comm.WriteData(&none, 0));
    comm.Close();
    EXPECT_FALSE(comm.isOpen());
}

TEST(SerialPort, ReceivedBytesArriveCompleteAndInOrder)
{
    PtyPort p;
    TComm& comm = p.comm;
    const PortEvents& ev = p.events;
    setRawLine(comm);
    comm.Open();
    std::vector<uint8_t> sent(20000);
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<uint8_t>(i * 31 + i / 256);
    std::size_t at = 0;
    ASSERT_TRUE(waitFor([&] {
        if (at < sent.size()) {
            const ssize_t n = ::write(p.pty.master.get(), sent.data() + at, std::min<std::size_t>(777, sent.size() - at));
            if (n > 0)
                at += static_cast<std::size_t>(n);
        }
        return ev.received.size() >= sent.size();
    }, 10000));
    EXPECT_EQ(ev.received, sent);
    for (std::size_t n : ev.chunks)
        EXPECT_LE(n, 2048u);
    comm.Close();
}

TEST(SerialPort, TwoBlocksQueuedBackToBackGiveOneEmptyReport)
{
    PtyPort p;
    TComm& comm = p.comm;
    const PortEvents& ev = p.events;
    comm.setOutx_XonXoffFlow(false);
    comm.Open();
    ASSERT_TRUE(waitFor([&] { return ev.empties == 1; }));
    // The first block is larger than the pty buffer, so the writer still holds it when
    // the second is queued.
    std::vector<uint8_t> first(300000, 0xA1), second(1000, 0xB2);
    ASSERT_TRUE(comm.WriteData(first.data(), 60000));
    ASSERT_TRUE(comm.WriteData(second.data(), static_cast<uint16_t>(second.size())));
    EXPECT_FALSE(comm.SendEmpty());
    const std::vector<uint8_t> got = p.pty.readAll(61000, 10000);
    ASSERT_EQ(got.size(), 61000u);
    EXPECT_EQ(got[59999], 0xA1);
    EXPECT_EQ(got[60000], 0xB2);
    ASSERT_TRUE(waitFor([&] { return ev.empties == 2; }));
    waitFor([] { return false; }, 100);
    EXPECT_EQ(ev.empties, 2);
    EXPECT_TRUE(comm.SendEmpty());
    comm.Close();
}

TEST(SerialPort, LineSettingsMapToTermios)
{
    TCommSettings s;
    termios tio = LineTermios(s, termios {});
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_TRUE(tio.c_iflag & IXON);
    EXPECT_TRUE(tio.c_iflag & IXOFF);
    EXPECT_EQ(tio.c_cc[VSTART], 17);
    // Without parity checking, bytes with framing errors are delivered, not dropped.
    EXPECT_FALSE(tio.c_iflag & (IGNPAR | INPCK));
    termios marked{};
    marked.c_iflag = IGNPAR | INPCK;
    EXPECT_FALSE(LineTermios(s, marked).c_iflag & (IGNPAR | INPCK));

    s.BaudRate = 57600;
    s.ByteSize = TByteSize::_7;
    s.Parity = TParity::Odd;
    s.StopBits = TStopBits::_2;
    s.Outx_XonXoffFlow = false;
    s.Outx_CtsFlow = true;
    s.ParityCheck = true;
    tio = LineTermios(s, tio);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B57600));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | PARODD));
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(tio.c_iflag & IXON);
    EXPECT_TRUE(tio.c_iflag & INPCK);
    EXPECT_FALSE(tio.c_iflag & IGNPAR);

    s.Parity = TParity::Space;
    s.ByteSize = TByteSize::_5;
    tio = LineTermios(s, tio);
    EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | CMSPAR));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS5));
    s.Parity = TParity::Even;
    tio = LineTermios(s, tio);
    EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB));
}

TEST(SerialPort, LineSettingsReachTheDevice)
{
    // A pty keeps eight data bits and no parity whatever it is told; speed and stop
    // bits it stores, so those are checked on the device.
    PtyPort p;
    TComm& comm = p.comm;
    comm.Open();
    termios tio {};
    ASSERT_EQ(::tcgetattr(p.pty.master.get(), &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_FALSE(tio.c_lflag & ECHO);

    const int applied = comm.ApplyStateCount();
    comm.setBaudRate(38400);
    comm.setStopBits(TStopBits::_2);
    EXPECT_EQ(comm.ApplyStateCount(), applied + 2);
    comm.setBaudRate(38400);
    EXPECT_EQ(comm.ApplyStateCount(), applied + 2);
    ASSERT_EQ(::tcgetattr(p.pty.master.get(), &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    comm.Close();
    comm.setBaudRate(19200);  // closed: stored only
    EXPECT_EQ(comm.ApplyStateCount(), applied + 2);
}

TEST(SerialPort, PortIsHeldExclusively)
{
    Pty pty;
    TComm first, second;
    first.setCommName(pty.slave);
    second.setCommName(pty.slave);
    first.Open();
    const int before = openDescriptors();
    std::string hint;
    EXPECT_EQ(openError(second, &hint), "Error opening serial port");
    EXPECT_NE(hint.find("in use"), std::string::npos);
    EXPECT_EQ(openDescriptors(), before);
    first.Close();
    EXPECT_EQ(openError(second), "");
    second.Close();
}

TEST(SerialPort, OtherSideHangingUpEndsTheReaderWithoutSpinning)
{
    PtyPort p;
    TComm& comm = p.comm;
    const PortEvents& ev = p.events;
    const QStringList workers {QStringLiteral("serial-read"), QStringLiteral("serial-write")};
    comm.Open();
    ASSERT_TRUE(waitFor([&] { return ev.empties == 1; }));
    ASSERT_EQ(threadsNamed(workers), workers);
    p.pty.master.reset();
    ASSERT_TRUE(waitFor([&] { return ev.hangups >= 1; }));
    // The reader has ended (a thread that is gone cannot spin); the writer still waits
    // for blocks.
    EXPECT_TRUE(waitFor([&] { return threadsNamed(workers) == QStringList {QStringLiteral("serial-write")}; }));
    EXPECT_EQ(ev.hangups, 1);
    const uint8_t b = 1;
    EXPECT_TRUE(comm.WriteData(&b, 1));  // formally open: the block is queued
    comm.Close();
}

TEST(SerialPort, TwoPortsOverASocatPair)
{
    SpawnedProcess socat(QStringLiteral("socat"),
                         {"-d", "-d", "pty,raw,echo=0", "pty,raw,echo=0"}, 2);
    const QStringList ptys = socat.waitForMatches(QRegularExpression(QStringLiteral("(/dev/pts/\\d+)")), 2);
    if (ptys.size() < 2)
        GTEST_SKIP() << "socat is not installed (apt-get install socat)";
    TComm a, b;
    PortEvents ea, eb;
    ea.attach(a);
    eb.attach(b);
    a.setCommName(ptys[0].toStdString());
    b.setCommName(ptys[1].toStdString());
    for (TComm* c : {&a, &b}) {
        setRawLine(*c);
        c->Open();
    }
    std::vector<uint8_t> frame(301);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(0x80 | i);
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(a.WriteData(frame.data(), 301));
    ASSERT_TRUE(waitFor([&] { return eb.received.size() >= 20 * 301; }));
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(std::equal(frame.begin(), frame.end(), eb.received.begin() + i * 301));
    a.Close();
    b.Close();
}
