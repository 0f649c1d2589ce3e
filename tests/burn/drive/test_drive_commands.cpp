#include "burn/drive/disc_reader.h"
#include "burn/drive/drive_abilities.h"
#include "burn/sector_size.h"
#include "burn/transport/scsi_opcodes.h"
#include "tests/support/burn_rig.h"
#include "tests/support/program_run.h"

#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <span>

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
    ASSERT_TRUE(r.transport.InitASPILayer(true));
    r.drive()->noUnderrunFree = true;  // a fact of the drive: known before it is selected
    ASSERT_TRUE(r.transport.SelectDevice(r.transport.DeviceList()[0]));
    ASSERT_TRUE(r.commands.ReadCapabilities());
    EXPECT_FALSE(r.commands.CapabilityFlags & cap::UnderrunFree);
    ASSERT_TRUE(r.commands.SetWriteParameters(false, true, dtCdR));
    EXPECT_EQ(r.drive()->WritePage()[2] & 0x40, 0);
}

TEST(DriveCommands, WaitReadyAsksFirstAndWaitsOnlyWhileNotReady)
{
    struct Case {
        const char* name;
        int notReady;  // commands that answer "not ready"
        int total, step;
        bool ready;
        std::vector<int> pauses;
        std::size_t discInfoPolls;
    };
    const Case cases[] = {
        {"ready drive", 0, 10000, 500, true, {}, 1},
        {"becoming ready", 3, 10000, 1000, true, {50, 100, 200}, 4},
        {"stays not ready", 1000000, 2000, 250, false, {50, 100, 200, 250, 250, 250, 250, 250, 250, 250}, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BurnRig r;
        ASSERT_TRUE(r.start());
        std::vector<int> pauses;
        r.commands.Timing.pause = [&pauses](int ms) { pauses.push_back(ms); };
        r.drive()->notReadyCommands = c.notReady;
        r.drive()->ClearCommandLog();
        EXPECT_EQ(r.commands.WaitReady(c.total, c.step), c.ready);
        EXPECT_EQ(pauses, c.pauses);
        EXPECT_EQ(r.drive()->Commands(0x51).size(), c.discInfoPolls);
    }
}

// MODE SENSE of the write parameters page, as the drive received them.
static std::size_t writePageSenses(TEmulatedDrive& d)
{
    std::size_t n = 0;
    for (const auto& c : d.Commands(0x5A))
        n += (c.cdb[2] & 0x3F) == 0x05;
    return n;
}

TEST(DriveCommands, EachFactAboutTheDriveIsAskedOncePerSelection)
{
    for (const bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "page refused" : "page offered");
        BurnRig r;
        ASSERT_TRUE(r.transport.InitASPILayer(true));
        r.drive()->noWriteParametersPage = refused;
        ASSERT_TRUE(r.transport.SelectDevice(r.transport.DeviceList()[0]));
        r.commands.DiscType = r.commands.GetDiscType();
        r.commands.FreeDiscBlocks();
        uint32_t address = 0;
        r.commands.GetNextWritableAddress(&address);
        EXPECT_EQ(r.commands.SetWriteParameters(false, true, dtCdR), !refused);
        r.commands.ReadCapabilities();
        EXPECT_EQ(writePageSenses(*r.drive()), 1u);
        EXPECT_EQ(r.drive()->Commands(0x46).size(), 2u + 2u);  // two features once, the disc's profile twice
        // Every page sent back has PS clear, and the drive holds the last one sent.
        for (const auto& c : r.drive()->Commands(0x55))
            EXPECT_EQ(c.data.at(8) & 0x80, 0);
        if (!refused) {
            EXPECT_EQ(r.drive()->WritePage()[3] & 0xC0, 0xC0);
        }
        // A new selection asks again.
        ASSERT_TRUE(r.transport.SelectDevice(r.transport.DeviceList()[0]));
        EXPECT_EQ(writePageSenses(*r.drive()), 2u);
    }
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
    ASSERT_TRUE(r.commands.Write10(0, 32, data));
    EXPECT_FALSE(r.commands.Write10(100, 1, data));  // not at the next writable address
    ASSERT_TRUE(r.commands.SynchronizeCache(false, 60000));
    ASSERT_TRUE(r.commands.CloseSession(true));
    EXPECT_EQ(r.commands.LastSessionNumber(), 1);
    uint32_t address = 0;
    ASSERT_TRUE(r.commands.GetNextWritableAddress(&address));
    EXPECT_EQ(address, 32u + 11400u);
    EXPECT_EQ(r.commands.FreeDiscBlocks(), TEmulatedDrive::kBlank80MinBlocks - 32 - 11400);
}

// The commands that read a reply ask for the buffer's size and write nothing past it.
TEST(DriveCommands, RepliesFillTheBufferGivenAndNothingBeyond)
{
    struct Case {
        const char* name;
        uint8_t code;
        std::function<bool(TDriveCommands&, std::span<uint8_t>)> run;
    };
    const Case cases[] = {
        {"GET CONFIGURATION", op::GetConfiguration,
         [](TDriveCommands& c, std::span<uint8_t> b) { return c.GetConfiguration(0, b); }},
        {"READ DISC INFORMATION", op::ReadDiscInformation,
         [](TDriveCommands& c, std::span<uint8_t> b) { return c.ReadDiscInformation(b); }},
        {"READ TRACK INFORMATION", op::ReadTrackInformation,
         [](TDriveCommands& c, std::span<uint8_t> b) { return c.ReadTrackInformation(0xFF, b); }},
    };
    BurnRig r;
    ASSERT_TRUE(r.start());
    for (const Case& k : cases) {
        for (const std::size_t size : {std::size_t{6}, std::size_t{300}}) {
            SCOPED_TRACE(std::string(k.name) + ", " + std::to_string(size) + " bytes");
            std::vector<uint8_t> buffer(size + 16, 0xEE);
            r.drive()->ClearCommandLog();
            ASSERT_TRUE(k.run(r.commands, std::span(buffer).first(size)));
            const auto sent = r.drive()->Commands(k.code);
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(sent[0].cdb[7] * 256 + sent[0].cdb[8], static_cast<int>(size));
            EXPECT_EQ(std::count(buffer.begin() + static_cast<std::ptrdiff_t>(size), buffer.end(), 0xEE), 16);
            EXPECT_NE(buffer[1], 0xEE);  // the reply's length field was written
        }
    }

    std::vector<uint8_t> inquiry(64, 0xEE);
    ASSERT_TRUE(r.commands.Inquiry(std::span(inquiry).first(8)));
    EXPECT_EQ(inquiry[0] & 0x1F, 0x05);  // a CD/DVD device
    EXPECT_EQ(std::count(inquiry.begin() + 8, inquiry.end(), 0xEE), 56);

    // A buffer shorter than a sector is refused before anything is read.
    TDriveDiscReader disc(r.commands);
    std::vector<uint8_t> sector(kSectorSize - 1);
    r.drive()->ClearCommandLog();
    EXPECT_FALSE(disc.ReadSector(16, sector));
    EXPECT_TRUE(r.drive()->Commands(op::Read10).empty());
}

TEST(DriveCommands, DevicesAndDiscInfoCommands)
{
    TestHome home;
    ASSERT_TRUE(writeSystemConfig("[Burn]\r\nVirtualDrive=blank.img\r\n"));
    const QString dir = Settings().ProgramDir;
    ProgramRun r = runProgram({"--home", dir, "devices"});
    EXPECT_EQ(r.status, 0);
    // stdout holds the drive lines alone; the layer's lines are diagnostics on stderr.
    EXPECT_TRUE(r.out.startsWith("0:0:0,/")) << r.out.toStdString();
    EXPECT_EQ(r.out.count('\n'), 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("blank.img VIRTUAL CD-RW RECORDER"));
    EXPECT_FALSE(r.out.contains(">>>")) << r.out.toStdString();
    EXPECT_TRUE(r.err.startsWith(">>> PTASPI32\n")) << r.err.toStdString();
    r = runProgram({"--home", dir, "discinfo"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.startsWith("drive: 0:0:0,/")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("disc type: CD-R\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("free blocks: 359849\n"));
    EXPECT_TRUE(r.out.contains("next writable address: 0\n"));
    EXPECT_TRUE(r.out.contains("last session: 0\n"));
    EXPECT_EQ(runProgram({"--home", dir, "discinfo", "--drive", "5"}).status, 2);
}

TEST(DriveAbilities, ReadersAndRecordersFromTheCapabilitiesPageAndTheProfiles)
{
    const auto page = [](uint8_t writeBits) { return std::vector<uint8_t>{0x2A, 26, 0x3F, writeBits}; };
    const auto profiles = [](std::initializer_list<uint16_t> list) {
        std::vector<uint8_t> c(8, 0);
        c.insert(c.end(), {0x00, 0x00, 0x03, static_cast<uint8_t>(4 * list.size())});
        for (uint16_t p : list)
            c.insert(c.end(), {static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p), 0, 0});
        return c;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> page, configuration;
        std::string writes;
    };
    std::vector<uint8_t> cutList = profiles({0x0009, 0x001B});
    cutList.resize(16);  // the second profile is not in the answer
    const Case cases[] = {
        {"CD-ROM drive", page(0x00), profiles({0x0008}), "nothing"},
        {"DVD-ROM drive without the feature", page(0x00), {}, "nothing"},
        {"CD-RW recorder", page(0x03), profiles({0x0008, 0x0009, 0x000A}), "CD-R, CD-RW"},
        {"DVD writer", page(0x13), profiles({0x0009, 0x0011, 0x0014, 0x001A, 0x001B}),
         "CD-R, CD-RW, DVD-R, DVD-RW, DVD+R, DVD+RW"},
        {"DVD+R only through profiles", page(0x00), profiles({0x0010, 0x002B}), "DVD+R"},
        {"list cut short", {}, cutList, "CD-R"},
        {"no answers", {}, {}, "unknown"},
        {"another page", {0x05, 50, 0, 0xFF}, {}, "unknown"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TDriveAbilities a = AbilitiesFrom(c.page, c.configuration);
        EXPECT_EQ(a.WritesText(), c.writes);
        EXPECT_EQ(a.WritesAnything(), c.writes != "nothing" && c.writes != "unknown");
    }
}
