#include "core/safe_file.h"
#include "core/texts.h"
#include "link/ibus_session.h"
#include "link/ibus_trace.h"
#include "tests/support/fake_session.h"
#include "tests/support/test_home.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace std::chrono_literals;

namespace {

// A session on stepped time unless the test asks for the system's clock.
struct Session : FakeSession {
    explicit Session(Time time = Time::Stepped) : FakeSession(time) { bus->CommName = "COM2"; }

    // Calls `action` once, as soon as the port reports the `frames`-th request sent: the
    // session is then waiting for the answer to it.
    void whenSent(std::size_t frames, std::function<void()> action)
    {
        WhenSent([this, frames] { return port->requests.size() >= frames; }, std::move(action));
    }
};

QStringList debugLogLines()
{
    QByteArray content;
    if (!readWholeFile(DebugLogPath(), &content))
        return {};
    QStringList lines = QString::fromLatin1(content).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Counts the bytes the port hands to the session, whether it waits or not.
void countReceived(Session& s, std::size_t& count)
{
    s.port->OnReceiveData = [&count, received = s.port->OnReceiveData](const uint8_t* b, uint16_t n) {
        count += n;
        received(b, n);
    };
}

}  // namespace

TEST(IBusSession, DefaultsAndPortSetup)
{
    Session s;
    // The line settings the component gives its port at creation.
    EXPECT_EQ(s.port->dtrControl, TDtrControl::DtrDisable);
    EXPECT_EQ(s.port->txContinueOnXoff, false);
    EXPECT_EQ(s.port->outxXonXoffFlow, false);
    EXPECT_EQ(s.port->ignoreNullChar, false);
    EXPECT_EQ(s.port->rtsControl, TRtsControl::RtsEnable);
    EXPECT_EQ(s.port->byteSize, TByteSize::_8);
    EXPECT_EQ(s.port->stopBits, TStopBits::_1);
    EXPECT_EQ(s.port->parity, TParity::None);
    EXPECT_EQ(s.port->baudHistory, std::vector<uint32_t>{9600});
    EXPECT_FALSE(s.bus->isActive());
    EXPECT_EQ(s.bus->BaudRate(), 0);
    EXPECT_EQ(s.bus->RetryInterval, 800);
    EXPECT_EQ(s.bus->RetryCount(), 20);
    EXPECT_EQ(s.bus->BroadCastInterval, 200);
    EXPECT_FALSE(s.bus->BroadCast);
    EXPECT_EQ(s.port->baudRate, 9600u);
    EXPECT_EQ(s.port->readInterval, 1u);
    s.bus->setRetryCount(99);
    EXPECT_EQ(s.bus->RetryCount(), 30);
    s.bus->setBaudRate(3);
    EXPECT_EQ(s.port->baudRate, 57600u);
    s.bus->setBaudRate(130);
    EXPECT_EQ(s.bus->BaudRate(), 2);
}

TEST(IBusSession, HandshakeFindsRegisterAt38400ThenRunsAtChosenSpeed)
{
    TestHome home;
    Session s;
    s.port->answerSpeeds = {38400};
    s.bus->setBaudRate(4);
    s.bus->OpenPort();
    ASSERT_TRUE(s.bus->ConnectEcr(1234, false));
    // Attempts at 9600, 9600, 19200, 38400, then the information query.
    ASSERT_EQ(s.port->written.size(), 5u);
    EXPECT_EQ(s.port->written[0].baud, 9600u);
    EXPECT_EQ(s.port->written[1].baud, 9600u);
    EXPECT_EQ(s.port->written[2].baud, 19200u);
    EXPECT_EQ(s.port->written[3].baud, 38400u);
    EXPECT_EQ(s.port->written[3].bytes.size(), 301u);
    EXPECT_EQ(s.port->written[4].baud, 115200u);
    EXPECT_EQ(s.port->written[4].bytes.size(), 302u);
    EXPECT_EQ(s.port->written[4].bytes[301], 0xFF);
    EXPECT_EQ(s.port->baudRate, 115200u);

    const ibus::Payload& hello = s.port->requests[0];
    EXPECT_EQ(hello[0], 14);
    EXPECT_EQ(hello[1], 1);
    EXPECT_EQ(hello[3], 0x34);
    EXPECT_EQ(hello[4], 0x12);
    EXPECT_EQ(hello[5], 0x00);
    EXPECT_EQ(hello[13], 4);
    EXPECT_EQ(hello[14], 1);
    const ibus::Payload& info = s.port->requests[4];
    EXPECT_EQ(info[0], 14);
    EXPECT_EQ(info[1], 16);
    EXPECT_EQ(info[5], 16);  // data byte 2

    s.bus->ClosePort();
    const QStringList log = debugLogLines();
    EXPECT_EQ(log.count("Retry:1") + log.count("Retry:2") + log.count("Retry:3"), 3);
    EXPECT_EQ(log.count(ibus::kTraceReceive), 2);
}

TEST(IBusSession, SilentRegisterGivesTenAttemptsInTheTrace)
{
    TestHome home;
    Session s;
    s.port->silent = true;
    s.bus->OpenPort();
    EXPECT_FALSE(s.bus->ConnectEcr(1234, false));
    EXPECT_TRUE(s.bus->Aborted());
    s.bus->ClosePort();

    const std::vector<uint32_t> speeds = {9600, 9600, 19200, 38400, 57600,
                                          115200, 9600, 19200, 38400, 57600};
    ASSERT_EQ(s.port->written.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(s.port->written[i].baud, speeds[i]) << i;

    // Each block: the send header, the 301 bytes as "%02X " sixteen to a line (18 full
    // lines of 48 characters and one of 13 bytes), an empty line; a retry line between.
    QStringList expected;
    for (std::size_t n = 0; n < 10; ++n) {
        if (n > 0)
            expected << QString() << QStringLiteral("Retry:%1").arg(n);
        expected << QStringLiteral(">>>>>>Send data<<<<<<<<");
        const std::vector<uint8_t>& bytes = s.port->written[n].bytes;
        ASSERT_EQ(bytes.size(), 301u);
        for (std::size_t line = 0; line < 19; ++line) {
            std::string text;
            for (std::size_t i = line * 16; i < std::min<std::size_t>(line * 16 + 16, 301); ++i) {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%02X ", bytes[i]);
                text += hex;
            }
            expected << QString::fromStdString(text);
        }
        expected << QString();
    }
    ASSERT_EQ(expected[1].size(), 48);
    ASSERT_EQ(expected[19].size(), 39);
    EXPECT_EQ(debugLogLines(), expected);
}

namespace {
// The date and time in bytes 7 to 12 of a handshake payload, read as BCD.
QDateTime handshakeDateTime(const ibus::Payload& p)
{
    auto bcd = [&p](std::size_t i) { return (p[i] >> 4) * 10 + (p[i] & 0x0F); };
    return QDateTime(QDate(2000 + bcd(7), bcd(8), bcd(9)), QTime(bcd(10), bcd(11), bcd(12)));
}
}  // namespace

// Both handshakes carry the PC's date and time, the broadcast one included.
TEST(IBusSession, HandshakesCarryThePcDateAndTime)
{
    TestHome home;
    for (const bool broadcast : {false, true}) {
        Session s;
        s.bus->BroadCast = broadcast;
        s.bus->OpenPort();
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        ASSERT_TRUE(s.bus->ConnectEcr(1234, false)) << broadcast;
        const QDateTime after = QDateTime::currentDateTime();
        s.bus->ClosePort();
        ASSERT_FALSE(s.port->requests.empty());
        const ibus::Payload& hello = s.port->requests[0];
        EXPECT_EQ(hello[0], 14);
        EXPECT_EQ(hello[1], 1);
        EXPECT_EQ(hello[14], broadcast ? 0x5A : 1);
        const QDateTime sent = handshakeDateTime(hello);
        EXPECT_TRUE(sent.isValid()) << broadcast;
        EXPECT_LE(before, sent) << broadcast;
        EXPECT_LE(sent, after) << broadcast;
    }
}

TEST(IBusSession, TenthAttemptStillConnects)
{
    TestHome home;
    Session s;
    s.port->silent = true;
    s.bus->OpenPort();
    // Only the tenth attempt (57600 bit/s after the first 57600 one) is answered.
    s.whenSent(10, [&] {
        s.port->Deliver({ibus::kReplyPositive}, 5);
        s.port->silent = false;
    });
    EXPECT_TRUE(s.bus->ConnectEcr(1234, false));
    EXPECT_EQ(s.port->requests.size(), 11u);
    EXPECT_EQ(s.port->written[9].baud, 57600u);
}

TEST(IBusSession, Reply55RetriesUnlessStrict)
{
    TestHome home;
    for (const bool strict : {false, true}) {
        Session s;
        s.port->answerSpeeds = {19200};
        s.port->otherSpeedReply = ibus::kReply55;
        s.bus->OpenPort();
        // Not strict: 9600, 9600, 19200, then the information query.
        EXPECT_EQ(s.bus->ConnectEcr(1234, strict), !strict) << strict;
        EXPECT_EQ(s.port->requests.size(), strict ? 1u : 4u) << strict;
    }
}

TEST(IBusSession, ExchangeRetriesBadChecksumsButNotNak)
{
    TestHome home;
    Session s;
    s.bus->RetryInterval = 300;
    s.port->responder = [](const ibus::Payload& rq, ibus::Payload& rp) {
        rp[3] = static_cast<uint8_t>(rq[3] + 1);
        return true;
    };
    s.bus->OpenPort();
    ASSERT_TRUE(s.bus->ConnectEcr(1234, false));
    s.port->corruptReplies = 2;
    const std::size_t before = s.port->requests.size();
    s.bus->DataBlock.fill(0);
    s.bus->DataBlock[0] = 41;
    ASSERT_TRUE(s.bus->ExchangeCommand(0, 0));
    EXPECT_EQ(s.port->requests.size() - before, 3u);
    EXPECT_EQ(s.bus->DataBlock[0], 42);

    s.port->nakReplies = 1;
    const std::size_t beforeNak = s.port->requests.size();
    EXPECT_FALSE(s.bus->ExchangeCommand(0, 0));
    EXPECT_TRUE(s.bus->Aborted());
    EXPECT_EQ(s.port->requests.size() - beforeNak, 1u);
    EXPECT_EQ(s.bus->DataBlock[0], 42);  // the request's own data again
}

TEST(IBusSession, RetryCountZeroMakesOneAttempt)
{
    TestHome home;
    Session s;
    s.bus->OpenPort();
    s.port->silent = true;
    s.bus->RetryInterval = 50;
    s.bus->setRetryCount(0);
    EXPECT_FALSE(s.bus->ExchangeCommand(0, 0));
    EXPECT_EQ(s.port->requests.size(), 1u);
    s.bus->setRetryCount(3);
    EXPECT_FALSE(s.bus->ExchangeCommand(0, 0));
    EXPECT_EQ(s.port->requests.size(), 5u);
}

TEST(IBusSession, FrameSplitIntoManyChunksAndTwoFramesInOne)
{
    TestHome home;
    Session s;
    s.port->responder = [](const ibus::Payload&, ibus::Payload& rp) {
        rp[3] = 0x99;
        return true;
    };
    s.bus->OpenPort();
    s.port->chunkSize = 1;
    ASSERT_TRUE(s.bus->ExchangeCommand(14, 32));
    EXPECT_EQ(s.bus->DataBlock[0], 0x99);
    s.port->chunkSize = 0;
    s.port->doubleFrame = true;
    ASSERT_TRUE(s.bus->ExchangeCommand(14, 32));
    EXPECT_EQ(s.bus->DataBlock[0], 0x99);  // the first frame, not the second
}

TEST(IBusSession, ReceiverSkipsNoiseAndWrongHeaders)
{
    TestHome home;
    Session s;
    s.bus->RetryInterval = 400;
    s.bus->OpenPort();
    s.port->silent = true;
    ibus::Payload wrong{};
    wrong[0] = 14;
    wrong[1] = 33;  // not the parameter asked for
    ibus::Payload right{};
    right[0] = 14;
    right[1] = 32;
    right[3] = 0x55;
    std::vector<uint8_t> stream = {0x80, 0x03, 0x03, 0x8E, 0x77};
    const auto w = FakeRegisterPort::FrameBytes(wrong);
    stream.insert(stream.end(), w.begin(), w.end());
    const auto r = FakeRegisterPort::FrameBytes(right);
    stream.insert(stream.end(), r.begin(), r.begin() + 150);
    stream.push_back(0x03);  // restarts the frame
    stream.insert(stream.end(), r.begin() + 1, r.end());
    // Nothing runs the event loop before the exchange's wait: the bytes arrive during it.
    s.port->Deliver(stream, 1, 7);
    ASSERT_TRUE(s.bus->ExchangeCommand(14, 32));
    EXPECT_EQ(s.bus->DataBlock[0], 0x55);
}

TEST(IBusSession, NakInsideHalfFrameEndsWaitNegative)
{
    TestHome home;
    Session s;
    s.bus->OpenPort();
    s.port->silent = true;
    ibus::Payload p{};
    p[0] = 14;
    p[1] = 32;
    auto bytes = FakeRegisterPort::FrameBytes(p);
    bytes.resize(100);
    bytes.push_back(ibus::kReplyNegative);
    s.port->Deliver(bytes, 1);  // arrives during the exchange's wait
    EXPECT_FALSE(s.bus->ExchangeCommand(14, 32));
    EXPECT_EQ(s.port->requests.size(), 1u);
}

TEST(IBusSession, LateBytesAreDiscardedWhenTheNextWaitBegins)
{
    TestHome home;
    Session s;
    s.bus->OpenPort();
    s.port->silent = true;
    s.bus->RetryInterval = 100;
    s.bus->setRetryCount(0);
    std::size_t received = 0;
    countReceived(s, received);
    ibus::Payload p{};
    p[0] = 0;
    p[3] = 0x11;
    const auto bytes = FakeRegisterPort::FrameBytes(p);
    // Half a frame during the wait, which then times out.
    s.port->Deliver({bytes.begin(), bytes.begin() + 200}, 1);
    EXPECT_FALSE(s.bus->ExchangeCommand(0, 0));
    ASSERT_EQ(received, 200u);
    // The tail arrives between the waits; the next wait starts a fresh frame.
    s.port->Deliver({bytes.begin() + 200, bytes.end()}, 1);
    while (received < bytes.size())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_FALSE(s.bus->ExchangeCommand(0, 0));
}

TEST(IBusSession, TimeoutRunsFromTheSentReport)
{
    TestHome home;
    Session s;
    s.bus->OpenPort();
    s.bus->RetryInterval = 800;
    s.bus->setRetryCount(0);
    // Sending takes 600 ms; the reply comes 300 ms after that: 900 ms after queueing, past
    // a time-out counted from the queueing, inside one that starts when the frame has left.
    s.port->sentDelayMs = 600;
    s.port->replyDelayMs = 300;
    const auto start = s.clock.Elapsed();
    EXPECT_TRUE(s.bus->ExchangeCommand(0, 0));
    EXPECT_EQ(s.clock.Elapsed() - start, 900ms);
    EXPECT_EQ(s.port->requests.size(), 1u);
}

TEST(IBusSession, PortThatNeverReportsSentWaitsUntilAbort)
{
    TestHome home;
    Session s;
    s.bus->OpenPort();
    s.port->reportSent = false;
    // A time-out that ran from the queueing would have retried six times before the abort.
    s.bus->RetryInterval = 50;
    const auto abort = s.clock.After(300, [&] { s.bus->AbortExchange(); });
    EXPECT_FALSE(s.bus->ExchangeCommand(0, 0));
    EXPECT_TRUE(s.bus->Aborted());
    EXPECT_EQ(s.port->requests.size(), 1u);
    EXPECT_EQ(s.clock.Elapsed(), 300ms);
}

TEST(IBusSession, AbortEndsHandshakeAtOnce)
{
    TestHome home;
    Session s;
    s.port->silent = true;
    s.bus->OpenPort();
    s.whenSent(1, [&] { s.bus->AbortExchange(); });
    EXPECT_FALSE(s.bus->ConnectEcr(1234, false));
    EXPECT_EQ(s.port->requests.size(), 1u);
}

TEST(IBusSession, DisconnectSilentRegisterSendsThreeTimes)
{
    TestHome home;
    Session s;
    s.port->silent = true;
    s.bus->OpenPort();
    const auto start = s.clock.Elapsed();
    EXPECT_TRUE(s.bus->DisconnectEcr(1234, 1));
    EXPECT_EQ(s.clock.Elapsed() - start, 300ms);  // three waits of 100 ms
    ASSERT_EQ(s.port->requests.size(), 3u);
    EXPECT_EQ(s.port->requests[0][1], 2);
    EXPECT_EQ(s.port->requests[0][7], 1);
    EXPECT_EQ(s.port->written[0].bytes.size(), 302u);
    s.bus->ClosePort();
    EXPECT_EQ(debugLogLines().count("Retry:1"), 0);
}

TEST(IBusSession, DisconnectStopsAtFirstPositive)
{
    TestHome home;
    Session s;
    s.bus->OpenPort();
    EXPECT_TRUE(s.bus->DisconnectEcr(1234, 0));
    EXPECT_EQ(s.port->requests.size(), 1u);
}

TEST(IBusSession, BroadcastHandshakeTimeoutCountsPositive)
{
    TestHome home;
    Session s;
    s.port->silent = true;
    s.bus->BroadCast = true;
    s.bus->BroadCastScaleType = TBroadCastScaleType::tbs5120;
    s.bus->BroadcastAddresses[1] = 42;
    s.bus->setBaudRate(2);
    s.bus->OpenPort();
    s.bus->setRetryCount(0);
    s.bus->RetryInterval = 50;
    // The handshake succeeds on its time-out; the silent information query gets no frame.
    EXPECT_FALSE(s.bus->ConnectEcr(1234, false));
    const ibus::Payload& hello = s.port->requests[0];
    EXPECT_EQ(hello[3], 0);
    EXPECT_EQ(hello[14], 0xA5);
    EXPECT_EQ(hello[39], 0x42);
    EXPECT_EQ(s.port->written[0].baud, 38400u);
    EXPECT_EQ(s.port->written[0].bytes.size(), 301u);
}

TEST(IBusSession, OpenFailureShowsMessageAndRethrows)
{
    TestHome home;
    texts::ResetToDefaults();
    Session s;
    s.port->openFails = true;
    s.bus->CommName = "COM5";
    s.bus->DebugLog << "old";
    EXPECT_THROW(s.bus->OpenPort(), ECommsError);
    ASSERT_EQ(s.shown.size(), 1);
    EXPECT_EQ(s.shown[0], "Error openingCOM5!\r\nplease select other ports.");
    EXPECT_FALSE(s.bus->isActive());
    EXPECT_EQ(s.bus->DebugLog, QStringList{"old"});
}

TEST(IBusSession, SpeedIndexOutsideTableIsRefusedAtOpen)
{
    TestHome home;
    Session s;
    s.bus->setBaudRate(7);
    EXPECT_EQ(s.port->baudRate, 9600u);  // the port's speed is left alone
    EXPECT_THROW(s.bus->OpenPort(), ECommsError);
    ASSERT_EQ(s.shown.size(), 1);
    EXPECT_TRUE(s.shown[0].contains("speed index must be 0 to 4"));
    EXPECT_EQ(s.port->openCount, 0);
    s.bus->setBaudRate(-1);
    EXPECT_THROW(s.bus->OpenPort(), ECommsError);
    // Set past the table once the port is open, the index ends the connect unsent.
    s.bus->setBaudRate(0);
    s.bus->OpenPort();
    s.bus->setBaudRate(5);
    EXPECT_FALSE(s.bus->ConnectEcr(1234, false));
    EXPECT_TRUE(s.bus->Aborted());
    EXPECT_TRUE(s.port->requests.empty());
}

TEST(IBusSession, ClosePortWritesEmptyLogWhenTraceOff)
{
    TestHome home;
    Session s;
    s.bus->LogEnabled = false;
    s.bus->OpenPort();
    s.bus->DisconnectEcr(1234, 0);
    s.bus->ClosePort();
    QByteArray content;
    ASSERT_TRUE(readWholeFile(DebugLogPath(), &content));
    EXPECT_TRUE(content.isEmpty());
}

// A wait for an answer that does not come sleeps in the event loop: it wakes for its
// events only, where a loop that polled would wake thousands of times in 300 ms.
TEST(IBusSession, SilentWaitSleepsUntilItsTimeout)
{
    TestHome home;
    Session s(FakeSession::Time::Real);
    s.port->silent = true;
    s.bus->OpenPort();
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    ASSERT_NE(dispatcher, nullptr);
    int wakeUps = 0;
    const auto count = [&wakeUps] { ++wakeUps; };
    const QMetaObject::Connection awake = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, count);
    const QMetaObject::Connection blocking =
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, count);
    EXPECT_EQ(s.bus->WaitReply(300), wrTimeout);
    QObject::disconnect(awake);
    QObject::disconnect(blocking);
    EXPECT_GE(wakeUps, 1);
    EXPECT_LT(wakeUps, 50);
}
