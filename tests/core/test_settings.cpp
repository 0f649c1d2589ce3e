#include "core/ini_file.h"
#include "core/settings.h"
#include "core/texts.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

TEST(ProgramPaths, DerivedFromProgramDir)
{
    InitProgramPaths("/opt/fm");
    EXPECT_EQ(Settings().ProgramDir, "/opt/fm/");
    EXPECT_EQ(Settings().DataDir, "/opt/fm/data/");
    EXPECT_EQ(Settings().ReportDir, "/opt/fm/Report/");
    EXPECT_EQ(Settings().SettingsFile, "/opt/fm/./SYSTEM.CFG");
    EXPECT_EQ(DebugLogPath(), "/opt/fm/./DEBUG.LOG");
    InitProgramPaths("/opt/fm/");
    EXPECT_EQ(Settings().ProgramDir, "/opt/fm/");
}

TEST(ProgramPaths, HomeOptionIsTakenOut)
{
    QStringList args{"vobrelfm", "--home", "/tmp/x", "test", "--port", "COM1"};
    EXPECT_EQ(TakeHomeOption(args), "/tmp/x");
    EXPECT_EQ(args, (QStringList{"vobrelfm", "test", "--port", "COM1"}));
    QStringList other{"vobrelfm", "--home=/srv"};
    EXPECT_EQ(TakeHomeOption(other), "/srv");
    EXPECT_EQ(other.size(), 1);
    QStringList none{"vobrelfm", "--home"};
    EXPECT_EQ(TakeHomeOption(none), "");
}

TEST(SystemConfig, DefaultsWithoutFileOrKeys)
{
    TestHome home;
    Settings().CommPort = 9;
    ReadSystemConfig();
    EXPECT_EQ(Settings().CommPort, 2);
    EXPECT_EQ(Settings().CommBaudRate, 0);
    EXPECT_EQ(Settings().PrintPages, 2);
    EXPECT_EQ(Settings().PrintFontSize, 9);

    ASSERT_TRUE(writeSystemConfig("[Print]\r\nPages=3\r\n"));
    ReadSystemConfig();
    EXPECT_EQ(Settings().CommPort, 2);
    EXPECT_EQ(Settings().PrintPages, 3);
}

TEST(SystemConfig, ValuesHexAndGarbage)
{
    TestHome home;
    ASSERT_TRUE(writeSystemConfig("[Comm]\r\nPort=0x4\r\nBaudRate=abc\r\n[Print]\r\nFontsize= 12 \r\n"));
    ReadSystemConfig();
    EXPECT_EQ(Settings().CommPort, 4);
    EXPECT_EQ(Settings().CommBaudRate, 0);
    EXPECT_EQ(Settings().PrintFontSize, 12);
}

TEST(SystemConfig, CommentAfterAValueIsNamedAndABomHidesNoSection)
{
    TestHome home;
    // As an editor that saves UTF-8 writes it: a byte-order mark, then the first section.
    ASSERT_TRUE(writeSystemConfig("\xEF\xBB\xBF[Comm]\r\nPort=1 ; COM1\r\nBaudRate=3\r\n"));
    QStringList warnings;
    ReadSystemConfig(&warnings);
    EXPECT_EQ(Settings().CommBaudRate, 3);
    EXPECT_EQ(Settings().CommPort, 2);  // no number: the default, as the profile rules read it
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_EQ(warnings[0], "SYSTEM.CFG: [Comm] Port=1 ; COM1 is not a number; the default 2 is used");
    // Valid values, and keys that are missing, give no warning.
    ASSERT_TRUE(writeSystemConfig("[Comm]\r\nPort=0x1\r\n"));
    warnings.clear();
    ReadSystemConfig(&warnings);
    EXPECT_TRUE(warnings.isEmpty());
    EXPECT_EQ(Settings().CommPort, 1);
}

TEST(SystemConfig, BinaryAndHugeLinesReadAsDefaults)
{
    TestHome home;
    QByteArray junk;
    for (int i = 0; i < 20000; ++i)
        junk += static_cast<char>((i * 7919) & 0xFF);
    junk += "\n" + QByteArray(10000, 'P') + "=1\n[Comm]\nPort=" + QByteArray(10000, '9') + "\n";
    ASSERT_TRUE(writeSystemConfig(junk));
    ReadSystemConfig();
    EXPECT_EQ(Settings().CommPort, 2);
    EXPECT_EQ(Settings().CommBaudRate, 0);
}

// A settings file that cannot be read gives the defaults: a directory in its place (which
// no one can read as a file), and a file without read permission.
TEST(SystemConfig, UnreadableFileReadsAsDefaults)
{
    TestHome home;
    ASSERT_TRUE(QDir().mkpath(Settings().SettingsFile));
    Settings().CommPort = 4;
    Settings().CommBaudRate = 3;
    ReadSystemConfig();
    EXPECT_EQ(Settings().CommPort, 2);
    EXPECT_EQ(Settings().CommBaudRate, 0);
}

TEST(SystemConfig, FileWithoutReadPermissionReadsAsDefaults)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads any file; run the suite as an ordinary user to check this";
    TestHome home;
    ASSERT_TRUE(writeSystemConfig("[Comm]\nPort=1\nBaudRate=3\n"));
    QFile::setPermissions(Settings().SettingsFile, QFileDevice::Permissions());
    ReadSystemConfig();
    EXPECT_EQ(Settings().CommPort, 2);
    EXPECT_EQ(Settings().CommBaudRate, 0);
}

TEST(SystemConfig, CommSettingsRoundTrip)
{
    TestHome home;
    Settings().CommPort = 0;
    Settings().CommBaudRate = 4;
    WriteCommSettings();
    Settings().CommPort = 3;
    ReadCommSettings();
    EXPECT_EQ(Settings().CommPort, 0);
    EXPECT_EQ(Settings().CommBaudRate, 4);
}

TEST(TextTables, DefaultsAndReplacement)
{
    texts::ResetToDefaults();
    EXPECT_EQ(texts::Message(texts::SReadOnly), "PAMI?? FISKALNA NIE ZAMKNI?TA.");
    EXPECT_EQ(texts::ErrorText(texts::sConnect), "Connect...Error");
    EXPECT_EQ(texts::StatusText(texts::sCheckEcrTips), "Check ecr status...");
    EXPECT_EQ(texts::BurnFrm(1), "INSUFFICIENT DISC SPACE. REQUIRED %s KB,AVAILABLE %s KB");
    EXPECT_EQ(texts::BurnFrm(13), "DateTime");
    EXPECT_EQ(texts::BurnFrm(14), "");
    EXPECT_EQ(texts::BurnFrm(-1), "");
    EXPECT_TRUE(texts::SetMessage("sERROR", "Blad"));
    EXPECT_FALSE(texts::SetMessage("nope", "x"));
    EXPECT_EQ(texts::ErrorText(texts::sConnect), "Connect...Blad");
    EXPECT_TRUE(texts::SetBurnFrm(8, "Info"));
    EXPECT_FALSE(texts::SetBurnFrm(14, "x"));
    EXPECT_EQ(texts::BurnFrm(8), "Info");
    texts::ResetToDefaults();
    EXPECT_EQ(texts::BurnFrm(8), "Information");
}

TEST(TextTables, BurnFrmPlaceholdersFilledInOrderWhateverTheTranslationHolds)
{
    texts::ResetToDefaults();
    EXPECT_EQ(texts::FormatBurnFrm(1, {"600", "0"}), "INSUFFICIENT DISC SPACE. REQUIRED 600 KB,AVAILABLE 0 KB");
    // A value holding "%s" is not taken for a placeholder.
    EXPECT_EQ(texts::FormatBurnFrm(1, {"%s", "1"}), "INSUFFICIENT DISC SPACE. REQUIRED %s KB,AVAILABLE 1 KB");
    texts::SetBurnFrm(1, "%s/%s/%s");
    EXPECT_EQ(texts::FormatBurnFrm(1, {"a", "b"}), "a/b/%s");
    texts::SetBurnFrm(1, "NO ROOM");
    EXPECT_EQ(texts::FormatBurnFrm(1, {"a", "b"}), "NO ROOM");
    texts::ResetToDefaults();
}
