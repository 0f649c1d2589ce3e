// The burner component end to end on the emulated recorder: sessions written by the write
// pipeline, read back by xorriso and isoinfo.

#include "tests/support/burner_rig.h"

#include <QFileInfo>
#include <cerrno>
#include <gtest/gtest.h>
#include <system_error>

TEST(Burner, FirstSessionOnABlankDiscIsReadBackByTheOracles)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    const std::string a = r.makeFile("src/a.txt", 5000);
    const std::string b = r.makeFile("src/b.txt", 200000);
    EXPECT_EQ(r.burn({a, b}), "");
    EXPECT_EQ(r.burner.BytesWritten(), 614400);  // 251 sectors padded to 300
    ASSERT_EQ(r.drive()->Sessions().size(), 1u);
    EXPECT_EQ(r.drive()->Sessions()[0].start, 0u);
    EXPECT_EQ(r.drive()->Sessions()[0].end, 300u);
    EXPECT_FALSE(r.drive()->Finalized());
    EXPECT_TRUE(r.logged("1:>>> STARTING WRITE PROCESS ON CD-R AT "));
    // OnWriteDone came, and on the write thread.
    EXPECT_NE(r.eventThread, std::thread::id());
    EXPECT_NE(r.eventThread, std::this_thread::get_id());
    EXPECT_EQ(r.events.front(), "finalizing");

    if (!haveOracles())
        GTEST_SKIP() << "xorriso and isoinfo are needed (apt-get install xorriso genisoimage)";
    EXPECT_EQ(r.extract(0, "a.txt"), readTestFile(QString::fromStdString(a)));
    EXPECT_EQ(r.extract(0, "b.txt"), readTestFile(QString::fromStdString(b)));
    const OracleRun info = runOracle("isoinfo", {"-l", "-i", QString::fromStdString(r.image)});
    EXPECT_TRUE(info.out.contains("A.TXT;1")) << info.out.toStdString();
}

TEST(Burner, PublishedPropertiesKeepTheirRules)
{
    BurnerRig r;
    TMCDBurner& b = r.burner;
    b.SetCacheSize(1000000);
    EXPECT_EQ(b.CacheSize(), 2097152);
    b.SetCacheSize(4194304 + 1);
    EXPECT_EQ(b.CacheSize(), 4194304);
    b.SetCacheSize(3000001);
    EXPECT_EQ(b.CacheSize(), 2998272);  // a multiple of 2048
    b.SetVersion("2.0");
    EXPECT_EQ(b.Version(), "1.0.0");  // read-only

    // No drive selected: the speed command fails at once, the value is kept.
    b.SetWriteSpeed(8);
    EXPECT_EQ(b.WriteSpeed(), 8);
    ASSERT_TRUE(r.start());
    b.SetWriteSpeed(0);
    EXPECT_EQ(r.drive()->lastSpeedWrite, 0xFFFF);
    b.SetReadSpeed(4);
    b.SetWriteSpeed(8);
    EXPECT_EQ(r.drive()->lastSpeedWrite, 8 * 177);
    EXPECT_EQ(r.drive()->lastSpeedRead, 4 * 177);
    EXPECT_EQ(b.DeviceMaxWriteSpeed(), 24);
    EXPECT_EQ(b.DeviceMaxReadSpeed(), 40);

    // PrepareImage turns the enumeration's information lines off, then on again.
    b.SetDoDebug(false);
    b.InsertFile("\\", r.makeFile("a.txt", 10), false);
    b.PrepareImage(false);
    EXPECT_TRUE(b.DoDebug());
}

TEST(Burner, InsertFileResultsAndTheMessageChannel)
{
    BurnerRig r;
    TMCDBurner& b = r.burner;
    const std::string a = r.makeFile("a.txt", 10);
    EXPECT_EQ(b.InsertFile("\\", r.home.path("missing.txt").toStdString(), false), 255);
    EXPECT_EQ(b.FileCount(), 0);
    EXPECT_EQ(b.InsertFile("\\NOWHERE", a, false), 0);
    EXPECT_TRUE(r.logged("4:INVALID DESTINATION PATH"));
    std::vector<std::string> added;
    b.OnAddFile = [&](TMCDBurner&, TAddFileInfo& info) {
        added.push_back(info.longName);
        info.longName = "renamed.txt";
    };
    EXPECT_EQ(b.InsertFile("\\", a, false), 1);
    ASSERT_EQ(added, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(b.Tables().Files()[0].longName, "renamed.txt");
    EXPECT_EQ(b.FileCount(), 1);
    EXPECT_EQ(b.DirectoryCount(), 0);

    // The memo gets every line; without a memo and a handler a line has no effect.
    struct Memo : IDebugWindow {
        std::vector<std::string> lines;
        void AppendLine(const std::string& line) override { lines.push_back(line); }
    } memo;
    b.SetDebugWindow(&memo);
    b.PostDebugMessage("LINE", kMsgInformation);
    EXPECT_EQ(memo.lines, std::vector<std::string>{"LINE"});
    EXPECT_TRUE(r.logged("1:LINE"));
    b.DebugWindowDestroyed(&memo);
    EXPECT_EQ(b.DebugWindow(), nullptr);
    b.OnDebugMessage = nullptr;
    b.PostDebugMessage("UNSEEN", kMsgDriveError);
    EXPECT_EQ(memo.lines.size(), 1u);

    // ClearFileSystem empties the tables and the header.
    b.PrepareImage(true);
    EXPECT_FALSE(b.Image().HeaderStream().empty());
    b.ClearFileSystem(600000, 20000);
    EXPECT_TRUE(b.Image().HeaderStream().empty());
    EXPECT_EQ(b.FileCount(), 0);
}

TEST(Burner, AWriteThreadThatCannotStartEndsTheBurnAndLeavesTheBurnerReady)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    const std::string a = r.makeFile("a.txt", 300000);
    const auto start = r.burner.StartThread;
    r.burner.StartThread = [](std::function<void()>) -> std::thread {
        throw std::system_error(EAGAIN, std::generic_category(), "thread");
    };
    const std::string refused = r.burn({a});
    EXPECT_EQ(refused.rfind("not started: WRITE THREAD NOT STARTED [thread: ", 0), 0u) << refused;
    EXPECT_TRUE(r.drive()->Sessions().empty());
    EXPECT_FALSE(r.burner.Writing());

    r.burner.StartThread = start;
    EXPECT_EQ(r.burn({a}), "");
    EXPECT_EQ(r.drive()->Sessions().size(), 1u);
}
