// The write pipeline against the emulated recorder: sessions written and read back by the
// oracles, the cache's rules, every failure text, the retry rules and the DVD branches.

#include "burn/transport/scsi_opcodes.h"
#include "core/base/byte_order.h"
#include "tests/support/burner_rig.h"

#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

QByteArray bytesOf(const std::string& path)
{
    return readTestFile(QString::fromStdString(path));
}

// The files of the session starting at `sector`, as xorriso lists them.
QString listSession(BurnerRig& r, uint32_t sector)
{
    return runOracle("xorriso", {"-load", "sbsector", QString::number(sector), "-indev",
                                 QString::fromStdString(r.image), "-find", "/", "-type", "f"})
        .out;
}

std::size_t count(const TEmulatedDrive& d, uint8_t code)
{
    return d.Commands(code).size();
}

// Sectors written by the WRITE (10) commands of the log.
uint32_t sectorsWritten(const TEmulatedDrive& d)
{
    uint32_t n = 0;
    for (const auto& w : d.Commands(op::Write10))
        n += bytes::be16(&w.cdb[7]);
    return n;
}

}  // namespace

TEST(WritePipeline, ThreeSessionsEachImportingTheLastAreReadBackByTheOracles)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    const std::string a = r.makeFile("one/a.txt", 70000);
    const std::string b = r.makeFile("one/b.txt", 2048);
    const std::string c = r.makeFile("two/c.txt", 300000);
    const std::string d = r.makeFile("three/d.txt", 1);
    ASSERT_EQ(r.burn({a, b}), "");
    ASSERT_EQ(r.burn({c}), "");
    ASSERT_EQ(r.burn({d}), "");
    TEmulatedDrive& drive = *r.drive();
    ASSERT_EQ(drive.Sessions().size(), 3u);
    EXPECT_FALSE(drive.Finalized());
    const uint32_t second = drive.Sessions()[1].start, third = drive.Sessions()[2].start;
    EXPECT_EQ(second, 300u + 6750 + 4500 + 150);
    EXPECT_TRUE(r.logged("1:>>> IMPORTING SESSION # 2"));

    if (!haveOracles())
        GTEST_SKIP() << "xorriso and isoinfo are needed (apt-get install xorriso genisoimage)";
    const QString list2 = listSession(r, second);
    EXPECT_TRUE(list2.contains("'/a.txt'") && list2.contains("'/b.txt'") && list2.contains("'/c.txt'"))
        << list2.toStdString();
    const QString list3 = listSession(r, third);
    for (const char* name : {"'/a.txt'", "'/b.txt'", "'/c.txt'", "'/d.txt'"})
        EXPECT_TRUE(list3.contains(name)) << name << list3.toStdString();
    // The newest session still finds the first session's data where it was written.
    EXPECT_EQ(r.extract(third, "a.txt"), bytesOf(a));
    EXPECT_EQ(r.extract(third, "b.txt"), bytesOf(b));
    EXPECT_EQ(r.extract(third, "c.txt"), bytesOf(c));
    EXPECT_EQ(r.extract(third, "d.txt"), bytesOf(d));
    const OracleRun info = runOracle("isoinfo", {"-T", QString::number(third), "-J", "-l", "-i",
                                                 QString::fromStdString(r.image)});
    EXPECT_TRUE(info.out.contains("d.txt") && info.out.contains("a.txt")) << info.out.toStdString();
}

TEST(WritePipeline, SessionThroughTheLibraryLayer)
{
    BurnerRig r(true);
    setenv("TEST_ASPI_IMAGE", r.image.c_str(), 1);
    reconfigure(r.transport, [](TScsiTransportConfig& c) { c.libraryNames = {TEST_ASPI_LIBRARY}; });
    ASSERT_TRUE(r.burner.InitASPILayer(false));
    ASSERT_TRUE(r.burner.SelectDevice(r.burner.DeviceList().at(0)));
    const std::string a = r.makeFile("a.txt", 123456);
    ASSERT_EQ(r.burn({a}), "");
    const std::string b = r.makeFile("b.txt", 5);
    ASSERT_EQ(r.burn({b}), "");
    if (!haveOracles())
        GTEST_SKIP() << "xorriso and isoinfo are needed";
    const uint32_t second = 300 + 6750 + 4500 + 150;
    EXPECT_EQ(r.extract(second, "a.txt"), bytesOf(a));
    EXPECT_EQ(r.extract(second, "b.txt"), bytesOf(b));
}

TEST(WritePipeline, ShortSessionIsPaddedTo300SectorsAndTheFileTailIsZero)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    // A block's worth of one byte, then a short file: its last sector is assembled in the
    // staging area where the first file's bytes were.
    const QString full = r.home.path("full.bin"), tail = r.home.path("tail.bin");
    writeTestFile(full, QByteArray(63488, '\xAA'));
    writeTestFile(tail, QByteArray(100, '\x55'));
    r.burner.InsertFile("\\", full.toStdString(), false);
    r.burner.InsertFile("\\", tail.toStdString(), false);
    r.burner.PrepareImage(false);
    EXPECT_EQ(r.burner.ImageSectors(), 300);
    ASSERT_TRUE(r.burner.StartWrite());
    r.burner.WaitForWriteDone();
    EXPECT_EQ(r.lastDone(), "");
    EXPECT_EQ(r.burner.BytesWritten(), 614400);
    EXPECT_EQ(sectorsWritten(*r.drive()), 300u);
    for (const auto& w : r.drive()->Commands(op::Write10))
        EXPECT_LE(bytes::be16(&w.cdb[7]), 31);  // at most 31 sectors per WRITE (10)
    const QByteArray disc = readTestFile(QString::fromStdString(r.image));
    // Header up to sector 150, the first file in sectors 150 to 180, the second at 181.
    EXPECT_EQ(disc.mid(150 * 2048, 63488), QByteArray(63488, '\xAA'));
    EXPECT_EQ(disc.mid(181 * 2048, 100), QByteArray(100, '\x55'));
    EXPECT_EQ(disc.mid(181 * 2048 + 100, 1948), QByteArray(1948, '\0'));
    EXPECT_EQ(disc.mid(182 * 2048, 118 * 2048), QByteArray(118 * 2048, '\0'));  // post-gap
}

TEST(WritePipeline, TestWriteSendsNoCloseAndLeavesTheDiscBlank)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    TBurnOptions testWrite;
    testWrite.testWrite = true;
    EXPECT_EQ(r.burn({r.makeFile("a.txt", 40000)}, testWrite), "");
    EXPECT_EQ(count(*r.drive(), op::CloseTrackSession), 0u);
    EXPECT_TRUE(r.drive()->Sessions().empty());
    EXPECT_EQ(sectorsWritten(*r.drive()), 300u);
    EXPECT_TRUE(r.logged("1:>>> TEST/DUMMY WRITE"));
    EXPECT_EQ(QFileInfo(QString::fromStdString(r.image)).size(), 0);
    // The write parameters of the burn asked for a test write.
    bool testPage = false;
    for (const auto& m : r.drive()->Commands(op::ModeSelect10))
        testPage = testPage || (m.data.size() > 10 && (m.data[10] & 0x10));
    EXPECT_TRUE(testPage);
}

TEST(WritePipeline, AFileDeletedBeforeTheBurn)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    // Among the first files: the cache fails before it is filled; StartWrite says so on
    // the calling thread.
    const std::string gone = r.makeFile("gone.txt", 10);
    r.burner.InsertFile("\\", gone, false);
    r.burner.PrepareImage(false);
    ::unlink(gone.c_str());
    EXPECT_FALSE(r.burner.StartWrite());
    EXPECT_EQ(r.lastDone(), "CAN'T OPEN FILE \"" + gone + "\" OR FILE IS IN USES BY OTHER SOFTWARE");
    EXPECT_EQ(r.eventThread, std::this_thread::get_id());
    EXPECT_EQ(r.burner.CurrentFile(), gone);
    EXPECT_EQ(count(*r.drive(), op::Write10), 0u);
    r.burner.ClearFileSystem(600000, 20000);

    // After the cache was filled (a 2 MiB cache and a 3 MB file first): the writer stops,
    // flushes and does not close the session.
    r.burner.SetCacheSize(0);
    const std::string big = r.makeFile("big.bin", 3000000);
    const std::string later = r.makeFile("later.txt", 10);
    r.burner.InsertFile("\\", big, false);
    r.burner.InsertFile("\\", later, false);
    r.burner.PrepareImage(false);
    ::unlink(later.c_str());
    ASSERT_TRUE(r.burner.StartWrite());
    r.burner.WaitForWriteDone();
    EXPECT_EQ(r.lastDone(), "CAN'T OPEN FILE \"" + later + "\" OR FILE IS IN USES BY OTHER SOFTWARE");
    EXPECT_NE(r.eventThread, std::this_thread::get_id());
    EXPECT_EQ(count(*r.drive(), op::CloseTrackSession), 0u);
    EXPECT_GE(count(*r.drive(), op::SynchronizeCache), 1u);
    EXPECT_TRUE(r.drive()->Sessions().empty());
}

TEST(WritePipeline, AFileThatChangedAfterItWasAddedEndsTheBurnNamingIt)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    const std::string f = r.makeFile("shrinks.txt", 9000);
    r.burner.InsertFile("\\", f, false);
    r.burner.PrepareImage(false);
    ASSERT_EQ(::truncate(f.c_str(), 4000), 0);
    EXPECT_FALSE(r.burner.StartWrite());
    EXPECT_EQ(r.lastDone(), "FILE \"" + f + "\" HAS CHANGED SINCE IT WAS ADDED");
    EXPECT_EQ(count(*r.drive(), op::Write10), 0u);
}

TEST(WritePipeline, BusyAndLongWriteInProgressAreRetried)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    r.burner.Timing.busyRetryMs = 5;
    r.drive()->busyWrites = 3;
    r.drive()->longWriteWrites = 2;
    EXPECT_EQ(r.burn({r.makeFile("a.txt", 100000)}), "");
    EXPECT_EQ(r.drive()->WritesWhileBusy(), 5);
    ASSERT_EQ(r.drive()->Sessions().size(), 1u);
    EXPECT_EQ(r.drive()->Sessions()[0].end, 300u);  // the refused writes wrote nothing
    // Busy answers are logged; "long write in progress" is not.
    std::lock_guard lock(r.mutex);
    EXPECT_EQ(std::count_if(r.messages.begin(), r.messages.end(),
                            [](const std::string& m) { return m.rfind("0:<<< WRITE (10)", 0) == 0; }),
              3);
}

TEST(WritePipeline, ADriveThatStaysBusyIsGivenUp)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    r.burner.Timing.busyRetryMs = 1;
    r.burner.Timing.busyRetries = 20;
    r.drive()->busyForever = true;
    EXPECT_EQ(r.burn({r.makeFile("a.txt", 100)}), "WRITER BUSY/BUFFER FULL");
    EXPECT_EQ(r.drive()->WritesWhileBusy(), 20);
    EXPECT_EQ(count(*r.drive(), op::CloseTrackSession), 0u);
    EXPECT_GE(count(*r.drive(), op::SynchronizeCache), 1u);
    // The drive is left unlocked.
    const auto removal = r.drive()->Commands(op::PreventAllowRemoval);
    ASSERT_FALSE(removal.empty());
    EXPECT_EQ(removal.back().cdb[4], 0);
}

TEST(WritePipeline, WriteErrorsAndTransportErrorsEndTheBurnAtOnce)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    r.drive()->writeErrorSector = 40;
    EXPECT_EQ(r.burn({r.makeFile("a.txt", 100)}), "WRITER ERROR [MEDIUM ERROR (WRITE ERROR)]");
    EXPECT_EQ(count(*r.drive(), op::CloseTrackSession), 0u);
    EXPECT_TRUE(r.logged("0:<<< WRITE (10)"));
    EXPECT_TRUE(r.drive()->Sessions().empty());

    // A command that fails below the drive is not a busy drive: no retries.
    r.drive()->writeErrorSector = -1;
    r.drive()->transportFailures = 1;
    r.drive()->ClearCommandLog();
    EXPECT_EQ(r.burn({r.makeFile("b.txt", 100)}), "WRITER ERROR [TRANSPORT ERROR: SG_IO FAILED (INPUT/OUTPUT ERROR)]");
    EXPECT_EQ(count(*r.drive(), op::Write10), 1u);
}

TEST(WritePipeline, AReaderEndsTheBurnAtOnceAndARecorderIsLockedOnlyWhileItWrites)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    const std::string line = r.burner.DeviceList()[0];
    r.drive()->readOnly = true;
    r.drive()->ClearCommandLog();
    EXPECT_EQ(r.burn({r.makeFile("a.txt", 100)}), "not started: THE DRIVE " + line + " CANNOT WRITE DISCS (IT ONLY READS)");
    EXPECT_EQ(count(*r.drive(), op::Write10), 0u);
    EXPECT_EQ(count(*r.drive(), op::SendOpcInformation), 0u);
    EXPECT_EQ(count(*r.drive(), op::CloseTrackSession), 0u);

    r.drive()->readOnly = false;
    r.drive()->ClearCommandLog();
    EXPECT_EQ(r.burn({r.makeFile("b.txt", 100)}), "");
    const auto& log = r.drive()->CommandLog();
    const auto at = [&log](uint8_t code, int lockByte, bool last) {
        std::ptrdiff_t found = -1;
        for (std::size_t i = 0; i < log.size(); ++i)
            if (log[i].cdb[0] == code && (lockByte < 0 || log[i].cdb[4] == lockByte)) {
                found = static_cast<std::ptrdiff_t>(i);
                if (!last)
                    break;
            }
        return found;
    };
    ASSERT_GE(at(op::PreventAllowRemoval, 1, false), 0);
    EXPECT_LT(at(op::PreventAllowRemoval, 1, false), at(op::Write10, -1, false));
    EXPECT_GT(at(op::PreventAllowRemoval, 0, true), at(op::Write10, -1, true));
    EXPECT_GT(at(op::PreventAllowRemoval, 0, true), at(op::PreventAllowRemoval, 1, true));
}

TEST(WritePipeline, AbortEndsTheBurnFlushedUnclosedAndUnlocked)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    r.drive()->SetSpeedX(4);  // 600 KiB/s: the 4 MB file takes seconds
    r.drive()->SetBufferBytes(256 * 1024);
    r.burner.InsertFile("\\", r.makeFile("a.bin", 4000000), false);
    r.burner.PrepareImage(false);
    ASSERT_TRUE(r.burner.StartWrite());
    r.burner.AbortWrite();
    r.burner.WaitForWriteDone();
    EXPECT_EQ(r.lastDone(), "OPERATION ABORTED BY USER");
    EXPECT_LT(sectorsWritten(*r.drive()), 4000000u / 2048);
    EXPECT_EQ(count(*r.drive(), op::CloseTrackSession), 0u);
    EXPECT_GE(count(*r.drive(), op::SynchronizeCache), 1u);
    EXPECT_EQ(r.drive()->Commands(op::PreventAllowRemoval).back().cdb[4], 0);
}

TEST(WritePipeline, BufferFiguresAtSpeedAndNoUnderrun)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    r.drive()->SetSpeedX(16);  // 2.4 MB/s: the 2 MiB buffer lasts most of a second
    uint32_t bufferAtFinalizing = 0, freeAtFinalizing = 0;
    r.burner.OnFinalizingTrack = [&](TMCDBurner& b) {
        bufferAtFinalizing = b.DeviceBufferSize();
        freeAtFinalizing = b.DeviceFreeBufferSize();
    };
    EXPECT_EQ(r.burn({r.makeFile("a.bin", 3000000)}), "");
    EXPECT_EQ(bufferAtFinalizing, 2u * 1024 * 1024);
    EXPECT_LT(freeAtFinalizing, bufferAtFinalizing);  // data still waiting for the laser
    EXPECT_EQ(r.drive()->BufferUnderruns(), 0);
    // The capacity is read before blocks 6, 11, 16 ...: 3 MB is 48 blocks.
    const std::size_t reads = count(*r.drive(), op::ReadBufferCapacity);
    EXPECT_GE(reads, 48u / 5);
}

TEST(WritePipeline, TwoBurnsDoNotRunAtOnceAndAHeaderIsUsedOnce)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    r.drive()->SetSpeedX(32);
    r.drive()->SetBufferBytes(256 * 1024);
    r.burner.InsertFile("\\", r.makeFile("a.bin", 2000000), false);
    r.burner.PrepareImage(false);
    ASSERT_TRUE(r.burner.StartWrite());
    EXPECT_FALSE(r.burner.StartWrite());
    EXPECT_EQ(r.lastDone(), "A BURN IS ALREADY RUNNING");
    r.burner.WaitForWriteDone();
    EXPECT_EQ(r.lastDone(), "");
    EXPECT_FALSE(r.burner.StartWrite());
    EXPECT_EQ(r.lastDone(), "NO SESSION PREPARED");
}

TEST(WritePipeline, ReinitialisationAfterABurnKeepsTheEmulatedMediumAndItsFaults)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    TEmulatedDrive* before = r.drive();
    before->noUnderrunFree = true;
    ASSERT_EQ(r.burn({r.makeFile("a.txt", 10)}), "");
    EXPECT_EQ(r.drive(), before);
    EXPECT_TRUE(r.drive()->noUnderrunFree);
    EXPECT_EQ(r.drive()->Sessions().size(), 1u);
    // The built-in layer was re-initialised: the drive is still selected and answers.
    EXPECT_TRUE(r.burner.Commands().TestUnitReady());
}

TEST(WritePipeline, DvdBranchesSendTheirCommands)
{
    {
        BurnerRig r;
        ASSERT_TRUE(r.start());
        r.drive()->SetMedium(TEmulatedDrive::Medium::DVDR);
        EXPECT_EQ(r.burn({r.makeFile("a.txt", 5000)}), "");
        const TEmulatedDrive& d = *r.drive();
        const auto streaming = d.Commands(op::SetStreaming);
        ASSERT_EQ(streaming.size(), 1u);
        EXPECT_EQ(streaming[0].cdb.size(), 12u);
        EXPECT_EQ(bytes::be16(&streaming[0].cdb[9]), 28);
        ASSERT_EQ(streaming[0].data.size(), 28u);
        EXPECT_EQ(bytes::be32(&streaming[0].data[4]), 0u);
        EXPECT_EQ(bytes::be32(&streaming[0].data[8]), 0x0023127Fu);
        EXPECT_EQ(bytes::be32(&streaming[0].data[12]), 0xABBDu);
        EXPECT_EQ(bytes::be32(&streaming[0].data[16]), 1000u);
        EXPECT_EQ(bytes::be32(&streaming[0].data[20]), 0x058Au);
        EXPECT_EQ(bytes::be32(&streaming[0].data[24]), 1000u);
        const auto stamp = d.Commands(op::SendDvdStructure);
        ASSERT_EQ(stamp.size(), 1u);
        EXPECT_EQ(stamp[0].cdb[7], 0x0F);
        EXPECT_EQ(bytes::be16(&stamp[0].cdb[8]), 22);
        ASSERT_EQ(stamp[0].data.size(), 22u);
        EXPECT_EQ(bytes::be16(&stamp[0].data[0]), 20);
        EXPECT_EQ(std::string(stamp[0].data.begin() + 2, stamp[0].data.begin() + 8), std::string(6, '\0'));
        const std::string when(stamp[0].data.begin() + 8, stamp[0].data.end());
        EXPECT_EQ(when.find_first_not_of("0123456789"), std::string::npos) << when;
        const auto reserve = d.Commands(op::ReserveTrack);
        ASSERT_EQ(reserve.size(), 1u);
        EXPECT_EQ(bytes::be32(&reserve[0].cdb[5]), 301u);
        EXPECT_EQ(count(d, op::CloseTrackSession), 0u);
        const auto sync = d.Commands(op::SynchronizeCache);
        ASSERT_FALSE(sync.empty());
        EXPECT_EQ(sync[0].cdb[1] & 0x02, 0x02);  // immediate, then the lead-out wait
        EXPECT_TRUE(r.logged("1:>>> STARTING WRITE PROCESS ON DVD-R AT "));
        ASSERT_EQ(d.Sessions().size(), 1u);
        EXPECT_EQ(sectorsWritten(d), 300u);
    }
    {
        BurnerRig r;
        ASSERT_TRUE(r.start());
        r.drive()->SetMedium(TEmulatedDrive::Medium::DVDRAM);
        EXPECT_EQ(r.burn({r.makeFile("a.txt", 5000)}), "");
        const TEmulatedDrive& d = *r.drive();
        EXPECT_EQ(count(d, op::ReadBufferCapacity), 0u);
        EXPECT_EQ(count(d, op::CloseTrackSession), 0u);
        EXPECT_EQ(count(d, op::SetStreaming), 0u);
        // No loading and no speed before the data.
        for (const auto& l : d.CommandLog()) {
            if (l.cdb[0] == op::Write10)
                break;
            EXPECT_NE(l.cdb[0], op::StartStopUnit);
            EXPECT_NE(l.cdb[0], op::SetCdSpeed);
        }
        EXPECT_TRUE(r.logged("1:>>> STARTING WRITE PROCESS ON DVD-RAM AT "));
    }
    {
        BurnerRig r;
        ASSERT_TRUE(r.start());
        r.drive()->SetMedium(TEmulatedDrive::Medium::DVDPlusRW);
        EXPECT_EQ(r.burn({r.makeFile("a.txt", 5000)}), "");
        const TEmulatedDrive& d = *r.drive();
        for (const auto& l : d.CommandLog()) {
            if (l.cdb[0] == op::Write10)
                break;
            EXPECT_NE(l.cdb[0], op::RezeroUnit);
        }
        EXPECT_EQ(count(d, op::CloseTrackSession), 1u);
        EXPECT_EQ(count(d, op::SetStreaming), 0u);
    }
}
