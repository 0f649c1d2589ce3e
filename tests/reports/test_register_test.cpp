#include "reports/register_test.h"
#include "core/texts.h"
#include "tests/support/fake_session.h"
#include "tests/support/recording_progress.h"
#include "tests/support/test_home.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
struct Rig : FakeSession {
    RecordingProgress progress;
    Rig() : FakeSession(Time::Stepped) { texts::ResetToDefaults(); }
};
}  // namespace

TEST(RegisterTest, AnsweringRegisterConnectsAndDisconnects)
{
    TestHome home;
    Rig r;
    EXPECT_TRUE(TestCommand(*r.bus, r.progress, PortNameOf(2), 1));
    EXPECT_EQ(r.port->commName, "COM2");
    EXPECT_EQ(r.progress.statuses, (QStringList{"N:Connect...", "N:Disconnect..."}));
    EXPECT_EQ(r.progress.closes, 1);
    EXPECT_EQ(r.progress.waits, 0);
    EXPECT_EQ(r.Disconnects(0), 1);
    EXPECT_FALSE(r.bus->isActive());
    EXPECT_TRUE(QFile::exists(DebugLogPath()));
    EXPECT_EQ(r.port->requests[0][13], 1);
}

TEST(RegisterTest, SilentRegisterShowsConnectError)
{
    TestHome home;
    Rig r;
    r.port->silent = true;
    EXPECT_FALSE(TestCommand(*r.bus, r.progress, PortNameOf(2), 0));
    EXPECT_EQ(r.progress.statuses, (QStringList{"N:Connect...", "E:Connect...Error"}));
    EXPECT_EQ(r.progress.waits, 1);
    EXPECT_EQ(r.port->requests.size(), 10u);
    EXPECT_FALSE(r.port->open);
}

TEST(RegisterTest, PortThatDoesNotOpenEndsWithoutProgress)
{
    TestHome home;
    Rig r;
    r.port->openFails = true;
    EXPECT_FALSE(TestCommand(*r.bus, r.progress, PortNameOf(0), 0));
    EXPECT_EQ(r.progress.shows, 0);
    ASSERT_EQ(r.shown.size(), 1);
    EXPECT_TRUE(r.shown[0].startsWith("Error openingCOM0!\r\n"));
}

TEST(RegisterTest, StatusCheckKeepsFiscalMemoryByte)
{
    TestHome home;
    Rig r;
    r.port->responder = [](const ibus::Payload& rq, ibus::Payload& rp) {
        if (rq[0] == 14 && rq[1] == 16)
            rp[3 + 40] = 0x77;  // something in the information reply
        if (rq[0] == 0)
            rp[3 + 15] = 3;
        return true;
    };
    r.bus->OpenPort();
    ASSERT_TRUE(r.bus->ConnectEcr(kEcrAddress, false));
    ASSERT_TRUE(CheckEcrStatus(*r.bus, r.progress));
    EXPECT_EQ(EcrStatus().FiscalMemoryClosed, 3);
    EXPECT_EQ(r.progress.statuses, QStringList{"N:Check ecr status..."});
    EXPECT_EQ(r.progress.totals, QList<int>{0});
    // The status request carries what the information query left in DataBlock.
    EXPECT_EQ(r.port->requests.back()[3 + 40], 0x77);
}

TEST(RegisterTest, FailedStatusCheckDisconnectsFourTimes)
{
    TestHome home;
    Rig r;
    r.bus->OpenPort();
    ASSERT_TRUE(r.bus->ConnectEcr(kEcrAddress, false));
    EcrStatus().FiscalMemoryClosed = 9;
    r.port->nakReplies = 1;
    EXPECT_FALSE(CheckEcrStatus(*r.bus, r.progress));
    EXPECT_EQ(r.Disconnects(1), 4);
    EXPECT_EQ(r.progress.statuses.last(), "E:Check ecr status...Error");
    EXPECT_EQ(r.progress.waits, 1);
    EXPECT_EQ(EcrStatus().FiscalMemoryClosed, 9);  // kept from the last good check
    EXPECT_TRUE(r.bus->isActive());                // the caller closes the port
}
