#include "tests/support/burn_rig.h"
#include "tests/support/program_run.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(DriveCommands, BlankCdR)
{
    BurnRig r;
    ASSERT_TRUE(r.start());
    EXPECT_EQ(r.commands.GetDiscType(), dtCdR);
    EXPECT_STREQ(DiscTypeName(dtCdR), "CD-R");
    EXPECT_EQ(r.commands.FreeDiscBlocks(), TEmulatedDrive::kBlank80MinBlocks);
    uint32_t address = 99;
    ASSERT_TRUE(r.commands.GetNextWritableAddress(&address));
    EXPECT_EQ(address, 0u);
    EXPECT_EQ(r.commands.LastSessionNumber(), 0);
    EXPECT_EQ(r.commands.DeviceMaxWriteSpeed, 24);
    EXPECT_EQ(r.commands.DeviceMaxReadSpeed, 40);
    EXPECT_TRUE(r.commands.CapabilityFlags & cap::CdrWrite);
    EXPECT_TRUE(r.commands.CapabilityFlags & cap::TestWrite);
    EXPECT_TRUE(r.commands.CapabilityFlags & cap::UnderrunFree);
    ASSERT_TRUE(r.commands.ReadBufferCapacity());
    EXPECT_EQ(r.commands.DeviceBufferSize, 2u * 1024 * 1024);
}

TEST(DriveCommands, DiscTypeFromTheAtipWithoutGetConfiguration)
{
    BurnRig r;
    ASSERT_TRUE(r.start());
    r.drive()->noGetConfiguration = true;
    r.drive()->SetMedium(TEmulatedDrive::Medium::CDRW);
    EXPECT_EQ(r.commands.GetDiscType(), dtCdRw);
    r.drive()->SetMedium(TEmulatedDrive::Medium::CDR);
    EXPECT_EQ(r.commands.GetDiscType(), dtCdR);
}

TEST(DriveCommands, WriteParametersForTestWriteAndFinalize)
{
    BurnRig r;
    ASSERT_TRUE(r.start());
    const auto& page = r.drive()->WritePage();
    r.commands.FinalizeDisc = false;
    ASSERT_TRUE(r.commands.SetWriteParameters(false, true, dtCdR));
    EXPECT_EQ(page[3], 0xC4);
    EXPECT_EQ(page[2], 0x41);  // track-at-once, underrun protection
    EXPECT_EQ(page[4], 0x08);
    r.commands.FinalizeDisc = true;
    ASSERT_TRUE(r.commands.SetWriteParameters(false, true, dtCdR));
    EXPECT_EQ(page[3], 0x04);
    r.commands.FinalizeDisc = false;
    ASSERT_TRUE(r.commands.SetWriteParameters(true, false, dtCdR));
    EXPECT_EQ(page[3], 0x04);  // a test write allows no next session
    EXPECT_EQ(page[2], 0x11);  // test write, no underrun protection
    EXPECT_TRUE(r.commands.SetWriteParameters(true, true, dtDvdRam));
}

TEST(DriveCommands, UnderrunBitNeedsTheCapability)
{
    BurnRig r;
    ASSERT_TRUE(r.start());
    r.drive()->noUnderrunFree = true;
    ASSERT_TRUE(r.commands.ReadCapabilities());
    EXPECT_FALSE(r.commands.CapabilityFlags & cap::UnderrunFree);
    ASSERT_TRUE(r.commands.SetWriteParameters(false, true, dtCdR));
    EXPECT_EQ(r.drive()->WritePage()[2] & 0x40, 0);
}

TEST(DriveCommands, WaitReadyGivesUpWhenTheDriveStaysNotReady)
{
    BurnRig r;
    ASSERT_TRUE(r.start());
    r.drive()->notReadyCommands = 1000000;
    r.commands.Timing.waitDivisor = 50;
    r.drive()->ClearCommandLog();
    EXPECT_FALSE(r.commands.WaitReady(2000, 250));
    // The budget is spent in steps: the ninth look at the disc exceeds it.
    EXPECT_EQ(r.drive()->Commands(0x51).size(), 9u);
    EXPECT_EQ(r.drive()->CommandLog().size(), 9u);
    r.drive()->notReadyCommands = 3;
    EXPECT_TRUE(r.commands.WaitReady(10000, 100));
}

TEST(DriveCommands, SetCdSpeedUnits)
{
    BurnRig r;
    ASSERT_TRUE(r.start());
    r.commands.WriteSpeed = 0;
    r.commands.ReadSpeed = 0;
    ASSERT_TRUE(r.commands.SetCdSpeed());
    EXPECT_EQ(r.drive()->lastSpeedWrite, 0xFFFF);
    EXPECT_EQ(r.drive()->lastSpeedRead, 0xFFFF);
    r.commands.WriteSpeed = 8;
    ASSERT_TRUE(r.commands.SetCdSpeed());
    EXPECT_EQ(r.drive()->lastSpeedWrite, 1416);
    EXPECT_EQ(TDriveCommands::SpeedFromKBs(4234), 24);
}

TEST(DriveCommands, SessionsOnTheDiscMoveTheNextWritableAddress)
{
    BurnRig r;
    ASSERT_TRUE(r.start());
    r.commands.FinalizeDisc = false;
    ASSERT_TRUE(r.commands.SetWriteParameters(false, true, dtCdR));
    std::vector<uint8_t> data(32 * 2048, 0x11);
    ASSERT_TRUE(r.commands.Write10(0, 32, data.data()));
    EXPECT_FALSE(r.commands.Write10(100, 1, data.data()));  // not at the next writable address
    ASSERT_TRUE(r.commands.SynchronizeCache(false, 60000));
    ASSERT_TRUE(r.commands.CloseSession(true));
    EXPECT_EQ(r.commands.LastSessionNumber(), 1);
    uint32_t address = 0;
    ASSERT_TRUE(r.commands.GetNextWritableAddress(&address));
    EXPECT_EQ(address, 32u + 11400u);
    EXPECT_EQ(r.commands.FreeDiscBlocks(), TEmulatedDrive::kBlank80MinBlocks - 32 - 11400);
}

TEST(DriveCommands, DevicesAndDiscInfoCommands)
{
    TestHome home;
    ASSERT_TRUE(writeSystemConfig("[Burn]\r\nVirtualDrive=blank.img\r\n"));
    const QString dir = Settings().ProgramDir;
    ProgramRun r = runProgram({"--home", dir, "devices"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.startsWith(">>> PTASPI32\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(",/" ) && r.out.contains("blank.img VIRTUAL CD-RW RECORDER"));
    r = runProgram({"--home", dir, "discinfo"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains("disc type: CD-R\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("free blocks: 359849\n"));
    EXPECT_TRUE(r.out.contains("next writable address: 0\n"));
    EXPECT_TRUE(r.out.contains("last session: 0\n"));
    EXPECT_EQ(runProgram({"--home", dir, "discinfo", "--drive", "5"}).status, 2);
}
