#include "core/ini_file.h"
#include "core/safe_file.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <random>

using ini::Profile;

TEST(IniProfile, WindowsLookupRules)
{
    const Profile p = Profile::parse(
        "; comment\r\n[Comm]\r\n  Port =  3  \r\nName=\"  quoted  \"\r\nOther='x'\r\n"
        "Half=\"open\r\n[print]\nPAGES=0x10\n[Comm]\nPort=9\n");
    EXPECT_EQ(p.value("comm", "port"), "3");
    EXPECT_EQ(p.value("COMM", "name"), "  quoted  ");
    EXPECT_EQ(p.value("Comm", "Other"), "x");
    EXPECT_EQ(p.value("Comm", "Half"), "\"open");
    EXPECT_EQ(p.value("Print", "Pages"), "0x10");
    EXPECT_EQ(p.value("Comm", "Missing", "dflt"), "dflt");
    EXPECT_EQ(p.value("Nowhere", "Port", "d"), "d");
    EXPECT_EQ(p.keys("comm"), (QList<QByteArray>{"Port", "Name", "Other", "Half"}));
}

TEST(IniProfile, ValuesAreCutAndBytesKept)
{
    QByteArray longValue(10000, 'a');
    const QByteArray content =
        "[S]\nK=" + longValue + "\nB=" + QByteArray("\xE9\xB9\x00z", 4) + "\n";
    const Profile p = Profile::parse(content);
    EXPECT_EQ(p.value("S", "K").size(), ini::kMaxValueLength);
    EXPECT_EQ(p.value("S", "B"), QByteArray("\xE9\xB9\x00z", 4));
}

TEST(IniProfile, ByteOrderMarkBeforeTheFirstSection)
{
    Profile p = Profile::parse("\xEF\xBB\xBF[Comm]\r\nPort=3\r\n");
    EXPECT_TRUE(p.hasSection("Comm"));
    EXPECT_EQ(p.value("Comm", "Port"), "3");
    // Written back as it was read, the mark included.
    p.setValue("Comm", "BaudRate", "1");
    EXPECT_EQ(p.serialize(), "\xEF\xBB\xBF[Comm]\r\nPort=3\r\nBaudRate=1\r\n");
    // Only the very start of the file carries one.
    EXPECT_FALSE(Profile::parse("[A]\n\xEF\xBB\xBF[B]\nK=1\n").hasSection("B"));
}

TEST(IniProfile, IntegersDecimalAndHex)
{
    long long v = 0;
    EXPECT_TRUE(ini::parseInteger("42", &v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(ini::parseInteger(" -7 ", &v));
    EXPECT_EQ(v, -7);
    EXPECT_TRUE(ini::parseInteger("0x1F", &v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(ini::parseInteger("0XfFfFfFfF", &v));
    EXPECT_EQ(v, -1);
    for (const char* bad : {"", "x", "12a", "0x", "3.5", "99999999999", "0x1FFFFFFFF", "--1"})
        EXPECT_FALSE(ini::parseInteger(bad, &v)) << bad;
}

TEST(IniProfile, WriteCreatesFileAndSectionAndKeepsOtherLines)
{
    TestHome home;
    const QString path = home.path("t.cfg");
    ini::writeInteger(path, "Comm", "Port", 3);
    EXPECT_EQ(ini::readInteger(path, "comm", "port", 0), 3);
    ASSERT_TRUE(writeTestFile(path, "; keep me\r\n[Version]\r\nCompanyName=X\r\n[Comm]\r\nport=1\r\n\r\n[Print]\r\nPages=2\r\n"));
    ini::writeInteger(path, "Comm", "Port", 4);
    ini::writeInteger(path, "Comm", "BaudRate", 2);
    ini::writeString(path, "New", "Key", "v");
    QByteArray content;
    ASSERT_TRUE(readWholeFile(path, &content));
    EXPECT_EQ(content, QByteArray("; keep me\r\n[Version]\r\nCompanyName=X\r\n[Comm]\r\nport=4\r\n"
                                  "BaudRate=2\r\n\r\n[Print]\r\nPages=2\r\n[New]\r\nKey=v\r\n"));
}

TEST(IniProfile, UnwritableFileNamesThePath)
{
    TestHome home;
    const QString path = home.path("missing-dir/x.cfg");
    try {
        ini::writeInteger(path, "Comm", "Port", 1);
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(QString::fromStdString(e.what()), "Unable to write to " + path);
    }
}

TEST(IniProfile, SurvivesRandomBytes)
{
    std::mt19937 rng(3);
    for (int round = 0; round < 300; ++round) {
        QByteArray content(static_cast<int>(rng() % 4000), '\0');
        for (auto& c : content) {
            const auto r = rng() % 10;
            c = r == 0 ? '\n' : r == 1 ? '[' : r == 2 ? '=' : r == 3 ? ']' : static_cast<char>(rng());
        }
        Profile p = Profile::parse(content);
        p.value("a", "b");
        p.keys("x");
        p.setValue("S", "K", "V");
        ASSERT_EQ(Profile::parse(p.serialize()).value("S", "K"), "V");
    }
}
