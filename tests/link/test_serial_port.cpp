#include "core/posix_io.h"
#include "link/serial_port.h"
#include "link/serial_port_p.h"
#include "tests/spawned_process.h"
#include "tests/test_home.h"
#include "tests/wait_util.h"

#include <QFile>
#include <QRegularExpression>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>

namespace {

struct Pty {
    int master = -1;
    std::string slave;
    Pty()
    {
        int s = -1;
        char name[128];
        if (::openpty(&master, &s, name, nullptr, nullptr) == 0) {
            slave = name;
            ::close(s);
            ::fcntl(master, F_SETFL, O_NONBLOCK);
        }
    }
    ~Pty() { posix::close(master); }
    std::vector<uint8_t> readAll(std::size_t want, int timeoutMs = 3000)
    {
        std::vector<uint8_t> out;
        waitFor([&] {
            uint8_t buf[4096];
            ssize_t n;
            while ((n = ::read(master, buf, sizeof buf)) > 0)
                out.insert(out.end(), buf, buf + n);
            return out.size() >= want;
        }, timeoutMs);
        return out;
    }
};

struct Events {
    std::vector<uint8_t> received;
    std::vector<std::size_t> chunks;
    int empties = 0;
    int hangups = 0;
    void attach(TComm& comm)
    {
        comm.OnReceiveData = [this](const uint8_t* b, uint16_t n) {
            received.insert(received.end(), b, b + n);
            chunks.push_back(n);
        };
        comm.OnSendDataEmpty = [this] { ++empties; };
        comm.OnRequestHangup = [this] { ++hangups; };
    }
};

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
}

TEST(SerialPort, ComNamesResolveThroughPortsSection)
{
    TestHome home;
    QFile cfg(Settings().SettingsFile);
    ASSERT_TRUE(cfg.open(QIODevice::WriteOnly));
    cfg.write("[Ports]\r\nCOM3=" + home.path("adapter").toLocal8Bit() + "\r\n");
    cfg.close();
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
    Pty pty;
    TComm comm;
    Events ev;
    ev.attach(comm);
    comm.setCommName(pty.slave);
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
    Pty pty;
    TComm comm;
    Events ev;
    ev.attach(comm);
    comm.setCommName(pty.slave);
    comm.setReadIntervalTimeout(1);
    comm.setOutx_XonXoffFlow(false);
    comm.setInx_XonXoffFlow(false);
    comm.Open();
    std::vector<uint8_t> sent(20000);
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<uint8_t>(i * 31 + i / 256);
    std::size_t at = 0;
    ASSERT_TRUE(waitFor([&] {
        if (at < sent.size()) {
            const ssize_t n = ::write(pty.master, sent.data() + at, std::min<std::size_t>(777, sent.size() - at));
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
    Pty pty;
    TComm comm;
    Events ev;
    ev.attach(comm);
    comm.setCommName(pty.slave);
    comm.setOutx_XonXoffFlow(false);
    comm.Open();
    ASSERT_TRUE(waitFor([&] { return ev.empties == 1; }));
    // The first block is larger than the pty buffer, so the writer still holds it when
    // the second is queued.
    std::vector<uint8_t> first(300000, 0xA1), second(1000, 0xB2);
    ASSERT_TRUE(comm.WriteData(first.data(), 60000));
    ASSERT_TRUE(comm.WriteData(second.data(), static_cast<uint16_t>(second.size())));
    EXPECT_FALSE(comm.SendEmpty());
    const std::vector<uint8_t> got = pty.readAll(61000, 10000);
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
    Pty pty;
    TComm comm;
    comm.setCommName(pty.slave);
    comm.Open();
    termios tio {};
    ASSERT_EQ(::tcgetattr(pty.master, &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_FALSE(tio.c_lflag & ECHO);

    const int applied = comm.ApplyStateCount();
    comm.setBaudRate(38400);
    comm.setStopBits(TStopBits::_2);
    EXPECT_EQ(comm.ApplyStateCount(), applied + 2);
    comm.setBaudRate(38400);
    EXPECT_EQ(comm.ApplyStateCount(), applied + 2);
    ASSERT_EQ(::tcgetattr(pty.master, &tio), 0);
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
    std::string hint;
    EXPECT_EQ(openError(second, &hint), "Error opening serial port");
    EXPECT_NE(hint.find("in use"), std::string::npos);
    first.Close();
    EXPECT_EQ(openError(second), "");
    second.Close();
}

TEST(SerialPort, OtherSideHangingUpEndsTheReaderWithoutSpinning)
{
    Pty pty;
    TComm comm;
    Events ev;
    ev.attach(comm);
    comm.setCommName(pty.slave);
    comm.Open();
    ASSERT_TRUE(waitFor([&] { return ev.empties == 1; }));
    posix::close(pty.master);
    pty.master = -1;
    ASSERT_TRUE(waitFor([&] { return ev.hangups >= 1; }));
    rusage before {}, after {};
    getrusage(RUSAGE_SELF, &before);
    waitFor([] { return false; }, 500);
    getrusage(RUSAGE_SELF, &after);
    const double cpu = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                       (after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1e6;
    EXPECT_LT(cpu, 0.1);
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
    Events ea, eb;
    ea.attach(a);
    eb.attach(b);
    a.setCommName(ptys[0].toStdString());
    b.setCommName(ptys[1].toStdString());
    for (TComm* c : {&a, &b}) {
        c->setOutx_XonXoffFlow(false);
        c->setInx_XonXoffFlow(false);
        c->setReadIntervalTimeout(1);
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
