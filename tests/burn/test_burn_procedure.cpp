// The one burn procedure against the emulated recorder: in every case the outcome it
// reports agrees with what the disc holds afterwards.

#include "burn/burn_procedure.h"
#include "burn/emulated/emulated_target.h"
#include "burn/transport/scsi_opcodes.h"
#include "tests/support/burner_rig.h"

#include <QFileInfo>
#include <condition_variable>
#include <fstream>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <unistd.h>

namespace {

std::size_t count(const TEmulatedDrive& d, uint8_t code)
{
    return d.Commands(code).size();
}

bool ejected(const TEmulatedDrive& d)
{
    for (const TEmulatedDrive::Logged& l : d.Commands(op::StartStopUnit))
        if (l.cdb[4] == 0x02)
            return true;
    return false;
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// Selects the emulated recorder after `setUp` changed it (capabilities are read at selection).
template <typename SetUp>
bool startWith(BurnerRig& r, SetUp setUp)
{
    if (!r.burner.InitASPILayer(true) || !r.drive())
        return false;
    setUp(*r.drive());
    return r.burner.SelectDevice(r.burner.DeviceList()[0]);
}

// A sink that holds the write thread at the close until the test lets it go.
struct GateSink : IBurnSink {
    std::mutex mutex;
    std::condition_variable changed;
    bool atClose = false, released = false;
    void FinalizingTrack() override
    {
        std::unique_lock lock(mutex);
        atClose = true;
        changed.notify_all();
        changed.wait(lock, [this] { return released; });
    }
    void waitAtClose()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return atClose; });
    }
    void release()
    {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
};

}  // namespace

TEST(BurnProcedure, ATestWriteTheDriveCannotDoIsRefusedBeforeAnythingIsWritten)
{
    BurnerRig r;
    ASSERT_TRUE(startWith(r, [](TEmulatedDrive& d) { d.noTestWrite = true; }));
    TBurnOptions options;
    options.testWrite = true;
    const TBurnReport report = r.burnReport({r.makeFile("a.txt", 5000)}, options);
    EXPECT_EQ(report.outcome, TBurnOutcome::Failed);
    EXPECT_EQ(report.text, TestWriteRefusal(r.burner.DeviceList()[0]));
    EXPECT_FALSE(report.wrote);
    EXPECT_EQ(count(*r.drive(), op::Write10), 0u);
    // The burner itself refuses as well, whoever calls it.
    r.burner.SetTestWrite(true);
    r.burner.InsertFile("\\", r.makeFile("b.txt", 10), false);
    r.burner.PrepareImage(false);
    EXPECT_FALSE(r.burner.StartWrite());
    EXPECT_EQ(r.lastDone(), TestWriteRefusal(r.burner.DeviceList()[0]));
    EXPECT_EQ(count(*r.drive(), op::Write10), 0u);
    EXPECT_TRUE(r.drive()->Sessions().empty());
}

TEST(BurnProcedure, AFlushOrCloseTheDriveRefusesEndsTheBurnWithAnErrorAndNoEject)
{
    struct Case {
        const char* name;
        int syncFailures, closeFailures;
        const char* text;
    };
    for (const Case& c : {Case{"close", 0, 100000, "SESSION NOT CLOSED [MEDIUM ERROR"},
                          Case{"flush", 2, 0, "CACHE NOT FLUSHED [MEDIUM ERROR"}}) {
        SCOPED_TRACE(c.name);
        BurnerRig r;
        ASSERT_TRUE(r.start());
        r.drive()->syncFailures = c.syncFailures;
        r.drive()->closeFailures = c.closeFailures;
        TBurnOptions options;
        options.verify = true;
        const TBurnReport report = r.burnReport({r.makeFile("a.txt", 5000)}, options);
        EXPECT_EQ(report.outcome, TBurnOutcome::Failed);
        EXPECT_TRUE(startsWith(report.text, c.text)) << report.text;
        EXPECT_FALSE(report.verified);
        EXPECT_FALSE(ejected(*r.drive()));
        EXPECT_TRUE(r.drive()->Sessions().empty());  // nothing readers would show
    }
}

TEST(BurnProcedure, ACancelOnceTheLastDataIsOutLeavesAClosedSessionAndReportsIt)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    struct CancelSink : IBurnSink {
        TBurnProcedure* burn = nullptr;
        bool refusedAtLastWrite = false, refusedAtClose = false;
        void LastWriteOut() override { refusedAtLastWrite = !burn->Cancel(); }
        void FinalizingTrack() override { refusedAtClose = !burn->Cancel(); }
    } sink;
    TBurnProcedure burn(r.burner, sink);
    sink.burn = &burn;
    ASSERT_TRUE(burn.Start({r.makeFile("a.bin", 300000)}, {}));
    const TBurnReport report = burn.Finish();
    EXPECT_TRUE(sink.refusedAtLastWrite);
    EXPECT_TRUE(sink.refusedAtClose);
    EXPECT_EQ(report.outcome, TBurnOutcome::Done) << report.text;
    EXPECT_EQ(r.drive()->Sessions().size(), 1u);
    EXPECT_EQ(count(*r.drive(), op::CloseTrackSession), 1u);
}

TEST(BurnProcedure, ADriveOrDiscThatCannotBeWrittenSaysSoWithItsOwnOutcome)
{
    {
        SCOPED_TRACE("no recorder");
        BurnerRig r(true);  // neither a virtual drive nor a library
        r.burner.InitASPILayer(true);
        const TBurnReport report = r.burnReport({r.makeFile("a.txt", 10)});
        EXPECT_EQ(report.outcome, TBurnOutcome::NotWritable);
        EXPECT_EQ(report.text, kNoRecorder);
    }
    {
        SCOPED_TRACE("a drive that only reads");
        BurnerRig r;
        ASSERT_TRUE(startWith(r, [](TEmulatedDrive& d) { d.readOnly = true; }));
        const TBurnReport report = r.burnReport({r.makeFile("a.txt", 10)});
        EXPECT_EQ(report.outcome, TBurnOutcome::NotWritable);
        EXPECT_EQ(report.text, "THE DRIVE " + r.burner.DeviceList()[0] + " CANNOT WRITE DISCS (IT ONLY READS)");
        EXPECT_EQ(count(*r.drive(), op::Write10), 0u);
    }
    {
        SCOPED_TRACE("a closed disc");
        BurnerRig r;
        ASSERT_TRUE(r.start());
        TBurnOptions finalize;
        finalize.finalizeDisc = true;
        ASSERT_EQ(r.burn({r.makeFile("a.txt", 10)}, finalize), "");
        ASSERT_TRUE(r.drive()->Finalized());
        r.drive()->ClearCommandLog();
        const TBurnReport report = r.burnReport({r.makeFile("b.txt", 10)});
        EXPECT_EQ(report.outcome, TBurnOutcome::NotWritable);
        EXPECT_EQ(report.text, "THE DISC IN DRIVE " + r.burner.DeviceList()[0] +
                                   " (CD-R) IS CLOSED: NO FURTHER SESSION CAN BE ADDED");
        EXPECT_EQ(count(*r.drive(), op::Write10), 0u);
    }
}

TEST(BurnProcedure, AnExceptionOnTheWriteThreadEndsTheBurnWithAnErrorAndTheBurnerStaysUsable)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    r.burner.OnFinalizingTrack = [](TMCDBurner&) { throw std::runtime_error("HANDLER FAILED"); };
    TBurnReport report = r.burnReport({r.makeFile("a.txt", 5000)});
    EXPECT_EQ(report.outcome, TBurnOutcome::Failed);
    EXPECT_EQ(report.text, "WRITER ERROR [HANDLER FAILED]");
    EXPECT_FALSE(r.burner.Writing());
    r.burner.OnFinalizingTrack = nullptr;
    report = r.burnReport({r.makeFile("b.txt", 5000)});
    EXPECT_EQ(report.outcome, TBurnOutcome::Done) << report.text;
}

TEST(BurnProcedure, TheDvdLeadOutWaitHasAnEnd)
{
    BurnerRig r;
    ASSERT_TRUE(startWith(r, [](TEmulatedDrive& d) { d.SetMedium(TEmulatedDrive::Medium::DVDR); }));
    r.burner.Timing.leadOutPolls = 5;
    // From the flush on, the drive never confirms its lead-out.
    r.burner.OnFinalizingTrack = [&r](TMCDBurner&) { r.drive()->discInfoFailures = 1 << 30; };
    const TBurnReport report = r.burnReport({r.makeFile("a.txt", 5000)});
    EXPECT_EQ(report.outcome, TBurnOutcome::Failed);
    EXPECT_TRUE(startsWith(report.text, "LEAD-OUT NOT CONFIRMED [")) << report.text;
}

TEST(BurnProcedure, TwoBurnsOnOneEmulatedDiscNeverRunAtOnce)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    // A second program on the same image: its own transport and recorder object.
    TScsiTransport otherTransport(testTransportConfig(r.image));
    TMCDBurner other(otherTransport);
    other.Timing = r.burner.Timing;
    other.Commands().Timing.waitDivisor = 100;
    ASSERT_TRUE(other.InitASPILayer(true));
    ASSERT_TRUE(other.SelectDevice(other.DeviceList()[0]));

    IBurnSink quiet;
    TBurnProcedure first(r.burner, quiet);
    ASSERT_TRUE(first.Start({r.makeFile("a.txt", 5000)}, {}));
    const TBurnReport refused = RunBurn(other, {r.makeFile("b.txt", 5000)}, {}, quiet);
    EXPECT_EQ(refused.outcome, TBurnOutcome::Failed);
    EXPECT_EQ(refused.text, "THE DISC " + r.image + " IS IN USE BY ANOTHER BURN");
    EXPECT_FALSE(refused.wrote);
    EXPECT_EQ(first.Finish().outcome, TBurnOutcome::Done);

    // Once the first has ended the other burns after its session, seeing its files.
    const TBurnReport after = RunBurn(other, {r.makeFile("c.txt", 5000)}, {}, quiet);
    ASSERT_EQ(after.outcome, TBurnOutcome::Done) << after.text;
    const TEmulatedDrive& seen = *BuiltInEmulatedDrive(otherTransport.Layer());
    ASSERT_EQ(seen.Sessions().size(), 2u);
    if (!haveOracles())
        GTEST_SKIP() << "xorriso is needed";
    EXPECT_EQ(r.extract(seen.Sessions()[1].start, "a.txt").size(), 5000);
    EXPECT_EQ(r.extract(seen.Sessions()[1].start, "c.txt").size(), 5000);
}

TEST(BurnProcedure, ABurnAfterAnUnfinishedOneShowsTheOldAndTheNewFilesWholeAndNotTheBrokenOne)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    ASSERT_EQ(r.burn({r.makeFile("a.txt", 5000)}), "");
    // The second burn fails in the middle of its big file: its track stays open.
    r.drive()->writeErrorSector = r.drive()->NextWritableAddress() + 800;
    ASSERT_TRUE(startsWith(r.burn({r.makeFile("b.bin", 3000000)}), "WRITER ERROR"));
    r.drive()->writeErrorSector = -1;
    ASSERT_EQ(r.drive()->Sessions().size(), 1u);

    const TBurnReport report = r.burnReport({r.makeFile("c.txt", 7000)});
    ASSERT_EQ(report.outcome, TBurnOutcome::Done) << report.text;
    EXPECT_TRUE(r.logged("4:>>> ERROR") == false);
    const auto& sessions = r.drive()->Sessions();
    ASSERT_EQ(sessions.size(), 3u);  // the good one, the closed broken track, the new one
    if (!haveOracles())
        GTEST_SKIP() << "xorriso is needed";
    const uint32_t last = sessions.back().start;
    EXPECT_EQ(r.extract(last, "a.txt").size(), 5000);
    EXPECT_EQ(r.extract(last, "c.txt").size(), 7000);
    EXPECT_TRUE(r.extract(last, "b.bin").isEmpty());
}

TEST(BurnProcedure, ALastSessionThatCannotBeImportedStopsTheBurnUnlessTheUserGoesOn)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    ASSERT_EQ(r.burn({r.makeFile("a.txt", 5000)}), "");
    // Both volume descriptors of the session are destroyed.
    {
        const int fd = ::open(r.image.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const std::vector<char> junk(2 * 2048, 'x');
        ASSERT_EQ(::pwrite(fd, junk.data(), junk.size(), 16 * 2048), ssize_t(junk.size()));
        ::close(fd);
    }
    r.drive()->ClearCommandLog();
    struct AskSink : IBurnSink {
        bool answer = false;
        std::string asked;
        bool ContinuePastUnimportable(const std::string& why) override
        {
            asked = why;
            return answer;
        }
    } sink;
    r.sink = &sink;
    TBurnReport report = r.burnReport({r.makeFile("b.txt", 10)});
    EXPECT_EQ(report.outcome, TBurnOutcome::Unimportable);
    EXPECT_EQ(sink.asked, "ERROR IMPORTING SESSION 1 (ISO IMAGE NOT FOUND)");
    EXPECT_TRUE(startsWith(report.text, "THE LAST SESSION OF THE DISC CANNOT BE IMPORTED")) << report.text;
    EXPECT_EQ(count(*r.drive(), op::Write10), 0u);
    EXPECT_EQ(r.drive()->Sessions().size(), 1u);

    // The option goes on without asking; so does a yes.
    sink.asked.clear();
    TBurnOptions goOn;
    goOn.continuePastUnimportable = true;
    report = r.burnReport({r.makeFile("b.txt", 10)}, goOn);
    EXPECT_EQ(report.outcome, TBurnOutcome::Done) << report.text;
    EXPECT_TRUE(sink.asked.empty());
    sink.answer = true;
    report = r.burnReport({r.makeFile("c.txt", 10)});
    EXPECT_EQ(report.outcome, TBurnOutcome::Done) << report.text;
    EXPECT_EQ(r.drive()->Sessions().size(), 3u);
}

TEST(BurnProcedure, TheDriveCannotBeChangedWhileABurnRuns)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    GateSink gate;
    TBurnProcedure burn(r.burner, gate);
    ASSERT_TRUE(burn.Start({r.makeFile("a.txt", 5000)}, {}));
    gate.waitAtClose();
    EXPECT_FALSE(r.burner.SelectDevice(r.burner.DeviceList()[0]));
    EXPECT_TRUE(r.logged(std::string("0:") + kDriveChangeRefused));
    gate.release();
    EXPECT_EQ(burn.Finish().outcome, TBurnOutcome::Done);
    EXPECT_TRUE(r.burner.SelectDevice(r.burner.DeviceList()[0]));
}

TEST(BurnProcedure, VerifyFindsAFileUnderTheNameTheDiscGaveIt)
{
    // Names in an 8-bit code page: bytes E9h and B3h are no UTF-8 and are stored cleaned,
    // in a file's own name and in the name of the folder that holds it.
    struct Case {
        const char* folder;  // burned as a whole, or "" for the file alone
        const char* file;
    };
    for (const Case& c : {Case{"", "caf\xE9.txt"}, Case{"dir\xB3x", "f.txt"}, Case{"top", "sub\xB3/caf\xE9.txt"}}) {
        SCOPED_TRACE(c.file);
        BurnerRig r;
        ASSERT_TRUE(r.start());
        const std::string base = r.home.path("").toStdString();
        const std::string folder = *c.folder ? base + c.folder : std::string();
        const std::string file = (folder.empty() ? base : folder + "/") + c.file;
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        {
            std::ofstream out(file, std::ios::binary);
            out << std::string(3000, 'x');
            ASSERT_TRUE(out.good());
        }
        TBurnOptions verify;
        verify.verify = true;
        const TBurnReport report = r.burnReport({folder.empty() ? file : folder}, verify);
        EXPECT_EQ(report.outcome, TBurnOutcome::Done) << report.text;
        EXPECT_TRUE(report.verified) << report.verify.problem;
        EXPECT_EQ(report.verify.files, 1);
    }
}

TEST(BurnProcedure, ATreeDeeperThanTheImportReadsIsRefusedAtInsertion)
{
    struct Case {
        int levels;  // directories below the root, the folder itself included
        TBurnOutcome outcome;
    };
    for (const Case& c : {Case{kMaxImportDepth, TBurnOutcome::Done}, Case{kMaxImportDepth + 1, TBurnOutcome::FileError}}) {
        SCOPED_TRACE(c.levels);
        BurnerRig r;
        ASSERT_TRUE(r.start());
        QString relative = "top";
        for (int level = 2; level <= c.levels; ++level)
            relative += "/d";
        r.makeFile(relative + "/deep.txt", 100);
        TBurnOptions strict;
        strict.missingIsError = true;
        const TBurnReport report = r.burnReport({r.home.path("top").toStdString()}, strict);
        EXPECT_EQ(report.outcome, c.outcome) << report.text;
        if (c.outcome != TBurnOutcome::Done) {
            EXPECT_NE(report.text.find("deeper than 64 levels"), std::string::npos) << report.text;
            EXPECT_EQ(count(*r.drive(), op::Write10), 0u);
            continue;
        }
        // The next burn carries the whole tree.
        const TBurnReport next = r.burnReport({r.makeFile("b.txt", 10)}, strict);
        EXPECT_EQ(next.outcome, TBurnOutcome::Done) << next.text;
        EXPECT_FALSE(r.logged("4:"));
    }
}
