// Replies that come after their wait has ended, and a port that goes away during a wait.

#include "core/safe_file.h"
#include "core/settings.h"
#include "link/ibus_late_replies.h"
#include "link/ibus_session.h"
#include "link/ibus_trace.h"
#include "tests/support/fake_session.h"
#include "tests/support/test_home.h"

#include <gtest/gtest.h>

namespace {

// A register that answers a page request with the page number in the first data byte,
// on stepped time: replies land after their waits exactly as the delays say.
struct Session : FakeSession {
    Session() : FakeSession(Time::Stepped)
    {
        bus->CommName = "COM2";
        port->responder = [](const ibus::Payload& rq, ibus::Payload& rp) {
            rp[3] = rq[3];
            return true;
        };
    }

    // Asks for a page; the page number answered, or -1 when the exchange failed.
    int page(int number)
    {
        bus->DataBlock.fill(0);
        bus->DataBlock[0] = static_cast<uint8_t>(number);
        return bus->ExchangeCommand(14, 32) ? bus->DataBlock[0] : -1;
    }
};

}  // namespace

TEST(LateReplies, CountedPerHeaderWithinTheirWindow)
{
    using Clock = TLateReplies::Clock;
    const TLateReplies::Header pages{0x8E, 0xA0, 0x80};
    const TLateReplies::Header status{0x80, 0x80, 0x80};
    const Clock::time_point t0 = Clock::now();
    TLateReplies late;
    late.Expect(pages, t0 + std::chrono::milliseconds(100));
    late.Expect(pages, t0 + std::chrono::milliseconds(300));
    EXPECT_FALSE(late.TakeLate(&status, t0));  // another header cannot be a late page reply
    EXPECT_TRUE(late.TakeLate(&pages, t0));
    // Past the first window only the second request may still be answered.
    EXPECT_TRUE(late.TakeLate(&pages, t0 + std::chrono::milliseconds(200)));
    EXPECT_FALSE(late.TakeLate(&pages, t0 + std::chrono::milliseconds(200)));
    // A reply never comes after its window: the frame then answers the current request.
    late.Expect(status, t0 + std::chrono::milliseconds(100));
    EXPECT_FALSE(late.TakeLate(&status, t0 + std::chrono::milliseconds(101)));
    EXPECT_EQ(late.Pending(), 0u);
    // A negative reply byte carries no header: it answers any request left waiting.
    late.Expect(status, t0 + std::chrono::milliseconds(100));
    EXPECT_TRUE(late.TakeLate(nullptr, t0));
    EXPECT_FALSE(late.TakeLate(nullptr, t0));
}

TEST(LateReplies, EveryPageComesAfterTheWaitYetEachAnswerIsItsOwn)
{
    TestHome home;
    Session s;
    s.bus->OpenPort();
    s.bus->RetryInterval = 100;
    s.port->replyDelayMs = 130;  // each reply lands 30 ms after its wait has ended
    for (int page = 1; page <= 6; ++page)
        EXPECT_EQ(s.page(page), page);
}

TEST(LateReplies, AFrameThatAnswersAnEarlierFailedExchangeIsDropped)
{
    TestHome home;
    Session s;
    s.bus->OpenPort();
    s.bus->RetryInterval = 100;
    s.bus->setRetryCount(0);
    s.port->replyDelayMs = 150;
    EXPECT_EQ(s.page(1), -1);  // timed out; its reply is on the way
    // The next page is answered at once, but the late reply to page 1 comes first.
    s.port->replyDelayMs = 60;
    s.bus->setRetryCount(2);
    EXPECT_EQ(s.page(2), 2);
    EXPECT_EQ(s.page(3), 3);
}

TEST(LateReplies, AHangUpEndsTheWaitAndEveryLaterOneAtOnce)
{
    TestHome home;
    Session s;
    s.bus->OpenPort();
    s.bus->RetryInterval = 60000;
    s.port->silent = true;
    s.port->HangUp(50);
    // Without the hang-up this exchange would make 21 attempts over 21 minutes.
    EXPECT_EQ(s.page(1), -1);
    EXPECT_TRUE(s.bus->PortLost());
    EXPECT_TRUE(s.bus->Aborted());
    EXPECT_EQ(s.port->requests.size(), 1u);
    // Sent reports no longer come: the waits end without them.
    EXPECT_FALSE(s.bus->ConnectEcr(1234, false));
    EXPECT_TRUE(s.bus->DisconnectEcr(1234, 1));
    s.bus->ClosePort();
    QByteArray log;
    ASSERT_TRUE(readWholeFile(DebugLogPath(), &log));
    EXPECT_EQ(log.count("Retry:"), 0);
    // The next opening starts afresh.
    s.port->reportSent = true;
    s.port->silent = false;
    s.bus->OpenPort();
    EXPECT_FALSE(s.bus->PortLost());
    EXPECT_EQ(s.page(4), 4);
}
