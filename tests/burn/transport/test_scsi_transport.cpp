#include "burn/transport/scsi_command_names.h"
#include "burn/transport/sense_text.h"
#include "tests/support/burn_rig.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <gtest/gtest.h>

TEST(ScsiTransport, BuiltInLayerListsAndSelectsTheVirtualRecorder)
{
    BurnRig r;
    ASSERT_TRUE(r.transport.InitASPILayer(true));
    EXPECT_EQ(r.transport.LayerName(), "PTASPI32");
    EXPECT_EQ(r.transport.HostAdapterCount(), 1);
    ASSERT_EQ(r.transport.DeviceList().size(), 1u);
    EXPECT_EQ(r.transport.DeviceList()[0], "0:0:0," + r.image + " VIRTUAL CD-RW RECORDER  1.0 ");
    EXPECT_TRUE(r.logged("1:>>> PTASPI32"));
    EXPECT_TRUE(r.logged("1:>>> VOBRELFM SG_IO   (SPTI 0)"));

    EXPECT_TRUE(r.transport.SelectDevice(r.transport.DeviceList()[0]));
    EXPECT_TRUE(r.transport.Drive().selected());
    EXPECT_EQ(r.commands.WriteModes, 6);  // session-at-once and track-at-once, no raw
    EXPECT_TRUE(r.transport.Drive().immediateClose);

    r.messages.clear();
    EXPECT_FALSE(r.transport.SelectDevice("1:0:0,x VIRTUAL"));   // no such adapter
    EXPECT_FALSE(r.transport.SelectDevice("10:0:0,x VIRTUAL"));  // one digit per number
    EXPECT_FALSE(r.transport.SelectDevice("0:0"));
    EXPECT_EQ(std::count(r.messages.begin(), r.messages.end(), "0:INVALID DEVICE ID / NOT A CD OR DVD DRIVE"), 3);
    EXPECT_FALSE(r.transport.SelectDevice(""));
    EXPECT_EQ(r.messages.size(), 3u);
    EXPECT_FALSE(r.transport.Drive().selected());
}

TEST(ScsiTransport, NoLayerMeansEveryCommandFailsQuietly)
{
    BurnRig r(false);
    EXPECT_FALSE(r.transport.InitASPILayer(true));
    EXPECT_FALSE(r.commands.TestUnitReady());
    EXPECT_TRUE(r.transport.LastError().empty());
    EXPECT_TRUE(r.messages.empty());
}

TEST(ScsiTransport, FailedReadIsLoggedInItsLayoutAndQuietCodesAreNot)
{
    BurnRig r;
    ASSERT_TRUE(r.start());
    r.messages.clear();
    std::vector<uint8_t> sector(2048, 0);
    EXPECT_FALSE(r.commands.Read10(0, 1, sector));  // blank disc: nothing to read
    EXPECT_EQ(r.transport.LastError(), "ILLEGAL REQUEST (LOGICAL BLOCK ADDRESS OUT OF RANGE)");
    EXPECT_EQ(r.transport.LastAsc(), 0x21);
    ASSERT_EQ(r.messages.size(), 1u);
    std::string expected = "0:<<< READ (10)              (28) {48|0A} - 0:0:0 <04> [0800] "
                           "00 00 00 00 00 00 00 01 00 00 00 00 00 00 00  | ";
    for (int i = 0; i < 257; ++i)
        expected += "00 ";
    expected += "= 00 02 70 05 ASC:21,ASQ:00 ILLEGAL REQUEST (LOGICAL BLOCK ADDRESS OUT OF RANGE)";
    EXPECT_EQ(r.messages[0], expected);

    r.drive()->notReadyCommands = 1;
    EXPECT_FALSE(r.commands.TestUnitReady());
    EXPECT_EQ(r.transport.LastError(), "NOT READY (LOGICAL UNIT IS IN PROCESS OF BECOMING READY)");
    EXPECT_EQ(r.messages.size(), 1u);  // TEST UNIT READY is on the quiet list

    r.drive()->busyOnce = true;
    EXPECT_FALSE(r.commands.TestUnitReady());
    EXPECT_EQ(r.transport.LastError(), "TARGET BUSY");
    EXPECT_TRUE(r.transport.TargetBusy());
    EXPECT_TRUE(r.commands.TestUnitReady());
    EXPECT_FALSE(r.transport.TargetBusy());
    EXPECT_TRUE(r.transport.LastError().empty());

    // Operation code FFh is reported complete without being sent.
    EXPECT_TRUE(r.transport.Command({0xFF, 0, 0, 0, 0, 0}, 0, nullptr, 0, 1000));
}

TEST(ScsiTransport, StatusAndSenseTexts)
{
    aspi::SRB_ExecSCSICmd srb{};
    bool busy = false;
    const std::pair<uint8_t, const char*> statuses[] = {
        {0x02, "OPERATION ABORTED BY USER"}, {0x80, "INVALID REQUEST"}, {0x81, "INVALID HOST ADAPTER"},
        {0x82, "NO DEVICE"}, {0xE0, "INVALID SRB"}, {0xE1, "BUFFER ALIGNMENT"}, {0xE5, "ASPI IS BUSY"},
        {0xE6, "BUFFER TOO BIG"}, {0x7F, "UNKNOWN"}};
    for (const auto& [status, text] : statuses) {
        srb.h.SRB_Status = status;
        EXPECT_EQ(TScsiTransport::StatusText(srb, &busy), text);
    }
    srb.h.SRB_Status = aspi::SS_ERR;
    srb.SRB_HaStat = 0x09;
    EXPECT_EQ(TScsiTransport::StatusText(srb, &busy), "COMMAND TIMEOUT");
    srb.SRB_HaStat = 0x11;
    EXPECT_EQ(TScsiTransport::StatusText(srb, &busy), "SELECTION TIMEOUT");
    srb.SRB_HaStat = 0;
    srb.SRB_TargStat = 0x02;
    srb.SenseArea[0] = 0x70;
    srb.SenseArea[2] = 0x40;  // end of media, no additional sense
    EXPECT_EQ(TScsiTransport::StatusText(srb, &busy), "END OF MEDIA");
    srb.SenseArea[2] = 0x09;  // vendor specific: stays a check condition
    EXPECT_EQ(TScsiTransport::StatusText(srb, &busy), "CHECK CONDITION");
    srb.SenseArea[2] = 0x03;
    srb.SenseArea[7] = 10;
    srb.SenseArea[12] = 0x73;
    srb.SenseArea[13] = 0x03;
    EXPECT_EQ(TScsiTransport::StatusText(srb, &busy), "MEDIUM ERROR (POWER CALIBRATION AREA ERROR)");
    srb.SenseArea[0] = 0x7F;  // vendor-specific format
    EXPECT_EQ(TScsiTransport::StatusText(srb, &busy).substr(0, 7), "UNKNOWN");
    EXPECT_EQ(AdditionalSenseText(0x24, 0x00), "INVALID FIELD IN CDB");
    EXPECT_EQ(AdditionalSenseText(0xF5, 0xF6), "245,246");
    EXPECT_EQ(ScsiCommandName(0x2A), "WRITE (10)            ");
    EXPECT_EQ(ScsiCommandName(0x99), "99");
}

TEST(ScsiTransport, LibraryLayerOverTheEmulatedRecorder)
{
    BurnRig r(false);
    setenv("TEST_ASPI_IMAGE", r.image.c_str(), 1);
    reconfigure(r.transport, [](TScsiTransportConfig& c) { c.libraryNames = {TEST_ASPI_LIBRARY}; });
    ASSERT_TRUE(r.transport.InitASPILayer(false));
    EXPECT_EQ(r.transport.LayerName(), "libwnaspi32.so");
    ASSERT_EQ(r.transport.DeviceList().size(), 1u);
    EXPECT_EQ(r.transport.DeviceList()[0].substr(0, 9), "0:1:0,?: ");
    ASSERT_TRUE(r.transport.SelectDevice(r.transport.DeviceList()[0]));
    r.commands.DiscType = r.commands.GetDiscType();
    EXPECT_EQ(r.commands.DiscType, dtCdR);
    EXPECT_EQ(r.commands.FreeDiscBlocks(), TEmulatedDrive::kBlank80MinBlocks);
    EXPECT_TRUE(r.transport.Reinitialise());
    EXPECT_EQ(r.transport.LayerName(), "libwnaspi32.so");
    EXPECT_TRUE(r.logged(std::string("1:>>> TRANSPORT LIBRARY ") + TEST_ASPI_LIBRARY));
}

TEST(ScsiTransport, TheLibraryIsNeverTakenFromTheCurrentDirectory)
{
    // A library left in the directory the program is started from.
    BurnRig r(false);
    const std::string folder = QFileInfo(QString::fromStdString(r.image)).path().toStdString();
    ASSERT_TRUE(QFile::copy(TEST_ASPI_LIBRARY, QString::fromStdString(folder + "/libwnaspi32.so")));
    setenv("TEST_ASPI_IMAGE", r.image.c_str(), 1);
    const std::string before = QDir::currentPath().toStdString();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(folder)));
    reconfigure(r.transport,
                [](TScsiTransportConfig& c) { c.libraryNames = {"./libwnaspi32.so", "sub/../libwnaspi32.so"}; });
    const bool loaded = r.transport.InitASPILayer(false);
    QDir::setCurrent(QString::fromStdString(before));
    EXPECT_FALSE(loaded);
    // The names tried by default: the program's folder and the system's library path only.
    for (const std::string& name : DefaultLibraryNames())
        EXPECT_TRUE(name.front() == '/' || name.find('/') == std::string::npos) << name;
    EXPECT_EQ(DefaultLibraryNames().front(),
              QCoreApplication::applicationDirPath().toStdString() + "/libwnaspi32.so");
}

TEST(ScsiTransport, CommandThatNeverCompletesBecomesCommandTimeout)
{
    BurnRig r(false);
    setenv("TEST_ASPI_IMAGE", r.image.c_str(), 1);
    reconfigure(r.transport, [](TScsiTransportConfig& c) { c.libraryNames = {TEST_ASPI_LIBRARY}; });
    ASSERT_TRUE(r.transport.InitASPILayer(false));
    ASSERT_TRUE(r.transport.SelectDevice(r.transport.DeviceList()[0]));
    setenv("TEST_ASPI_HANG", "1", 1);
    reconfigure(r.transport, [](TScsiTransportConfig& c) { c.minimumWaitMs = 300; });  // 10 s in use
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(r.commands.TestUnitReady(100));  // waits the minimum, not the shorter time-out
    EXPECT_GE(t.elapsed(), 290);
    EXPECT_EQ(r.transport.LastError(), "COMMAND TIMEOUT");
    unsetenv("TEST_ASPI_HANG");
}

TEST(ScsiTransport, LibraryWithoutItsEntryPointIsRefused)
{
    BurnRig r(false);
    reconfigure(r.transport, [](TScsiTransportConfig& c) { c.libraryNames = {TEST_ASPI_BROKEN_LIBRARY}; });
    EXPECT_FALSE(r.transport.InitASPILayer(false));
    ASSERT_FALSE(r.messages.empty());
    EXPECT_NE(r.messages[0].find("LACKS THE ENTRY POINT SendASPI32Command"), std::string::npos);
}

TEST(ScsiTransport, ADriveOnAdapterOneIsSelectedByItsLine)
{
    BurnRig r(false);
    setenv("TEST_ASPI_IMAGE", r.image.c_str(), 1);
    setenv("TEST_ASPI_ADAPTER", "1", 1);
    reconfigure(r.transport, [](TScsiTransportConfig& c) { c.libraryNames = {TEST_ASPI_LIBRARY}; });
    ASSERT_TRUE(r.transport.InitASPILayer(false));
    EXPECT_EQ(r.transport.HostAdapterCount(), 2);
    ASSERT_EQ(r.transport.DeviceList().size(), 1u);
    const std::string line = r.transport.DeviceList()[0];
    EXPECT_EQ(line.substr(0, 6), "1:0:0,");
    EXPECT_TRUE(r.transport.SelectDevice(line));
    EXPECT_EQ(r.transport.Drive().ha, 1);
    EXPECT_FALSE(r.transport.SelectDevice("10:0:0," + line.substr(6)));
    unsetenv("TEST_ASPI_ADAPTER");
}

TEST(ScsiTransport, KernelHostsBecomeOneDigitAdapters)
{
    // A USB recorder on host 12 beside drives on hosts 0 and 3: adapter 2, selectable by
    // a line beginning "2:".
    EXPECT_EQ(AdapterHosts({12, 0, 3, 12, -1}), (std::vector<int>{0, 3, 12}));
    std::vector<int> many;
    for (int h = 20; h >= 0; h -= 2)
        many.push_back(h);  // eleven hosts
    const std::vector<int> adapters = AdapterHosts(many);
    ASSERT_EQ(adapters.size(), 10u);
    EXPECT_EQ(adapters.front(), 0);
    EXPECT_EQ(adapters.back(), 18);
}

TEST(ScsiTransport, EveryCommandStartsWithClearedErrorState)
{
    BurnRig r;
    ASSERT_TRUE(r.start());
    std::vector<uint8_t> sector(2048);
    EXPECT_FALSE(r.commands.Read10(0, 1, sector));
    EXPECT_EQ(r.transport.LastAsc(), 0x21);
    EXPECT_FALSE(r.transport.LastError().empty());
    // A command refused because no drive is selected leaves nothing of the last one.
    EXPECT_FALSE(r.transport.SelectDevice("0:0"));
    EXPECT_FALSE(r.commands.TestUnitReady());
    EXPECT_TRUE(r.transport.LastError().empty());
    EXPECT_EQ(r.transport.LastAsc(), 0);
    EXPECT_EQ(r.transport.Sense(), (std::array<uint8_t, 32>{}));
    EXPECT_EQ(r.commands.LastAsc(), 0);
}

TEST(ScsiTransport, AFailureBelowTheDriveNamesItself)
{
    aspi::SRB_ExecSCSICmd srb{};
    bool busy = true;
    srb.h.SRB_Status = aspi::SS_ERR;
    srb.SRB_HaStat = aspi::HASTAT_TRANSPORT;
    srb.SRB_Rsvd3[0] = aspi::TRANSPORT_ERRNO;
    srb.SRB_Rsvd3[1] = 5;  // EIO
    EXPECT_EQ(TScsiTransport::StatusText(srb, &busy), "TRANSPORT ERROR: SG_IO FAILED (INPUT/OUTPUT ERROR)");
    EXPECT_FALSE(busy);
    srb.SRB_Rsvd3[0] = aspi::TRANSPORT_HOST;
    srb.SRB_Rsvd3[1] = 3;
    EXPECT_EQ(TScsiTransport::StatusText(srb, &busy), "TRANSPORT ERROR: TIME-OUT, HOST STATUS 03h");
    srb.SRB_Rsvd3[0] = aspi::TRANSPORT_DRIVER;
    srb.SRB_Rsvd3[1] = 4;
    EXPECT_EQ(TScsiTransport::StatusText(srb, &busy), "TRANSPORT ERROR: DRIVER STATUS 04h");

    // Through the built-in layer: a failed command with that text, no sense data.
    BurnRig r;
    ASSERT_TRUE(r.start());
    r.drive()->transportFailures = 1;
    std::vector<uint8_t> data(2048);
    TScsiResult result;
    EXPECT_FALSE(r.transport.Command({0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, aspi::SRB_DIR_OUT, data.data(), 2048, 1000,
                                     &result));
    EXPECT_TRUE(result.transportError);
    EXPECT_EQ(result.error, "TRANSPORT ERROR: SG_IO FAILED (INPUT/OUTPUT ERROR)");
    EXPECT_EQ(result.sense[0], 0);
}

TEST(ScsiTransport, NeitherItsSetUpNorItsListenerChangesWhileABurnHoldsTheDrive)
{
    BurnRig r;
    ASSERT_TRUE(r.start());
    const std::string line = r.transport.DeviceList()[0];
    const std::string refused = std::to_string(bmDriveError) + ":INVALID DEVICE ID / NOT A CD OR DVD DRIVE";
    std::vector<std::string> other;
    const TScsiTransportEvents otherEvents {
        [&other](int kind, const std::string& text) { other.push_back(std::to_string(kind) + ":" + text); },
        nullptr, nullptr};

    // A second user that comes and goes leaves the first one hearing the transport again.
    r.transport.Attach(&other, otherEvents);
    r.transport.SelectDevice("12");
    EXPECT_EQ(other, std::vector<std::string> {refused});
    EXPECT_FALSE(r.logged(refused));
    r.transport.Detach(&other);
    r.transport.SelectDevice("12");
    EXPECT_TRUE(r.logged(refused));
    ASSERT_TRUE(r.transport.SelectDevice(line));

    // While a burn holds the drive its user keeps the messages and the set-up stays.
    std::string reason;
    ASSERT_TRUE(r.transport.ClaimDrive(&reason)) << reason;
    other.clear();
    r.messages.clear();
    r.transport.Attach(&other, otherEvents);
    TScsiTransportConfig changed = r.transport.Config();
    changed.virtualDrivePath = "/elsewhere.img";
    EXPECT_FALSE(r.transport.Configure(changed));
    EXPECT_EQ(r.transport.Config().virtualDrivePath, r.image);
    r.transport.SelectDevice("12");
    EXPECT_TRUE(other.empty());
    EXPECT_TRUE(r.logged(refused));

    // The burn's user leaves: the one that waited hears the transport, and it can be set up.
    r.transport.ReleaseDrive();
    r.transport.Detach(&r);
    r.transport.SelectDevice("12");
    EXPECT_EQ(other, std::vector<std::string> {refused});
    EXPECT_TRUE(r.transport.Configure(changed));
    EXPECT_EQ(r.transport.Config().virtualDrivePath, "/elsewhere.img");
    r.transport.Detach(&other);
}
