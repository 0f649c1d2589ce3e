// The program's own texts: the table, its section [Texts] in lang.lng, the texts built
// from it (access hints), and the shipped translation a new Polish user's folder gets.

#include "core/code_page.h"
#include "core/base/device_access.h"
#include "core/base/extra_texts.h"
#include "core/language_texts.h"
#include "core/program_folder.h"
#include "core/texts.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
class ExtraTexts : public ::testing::Test {
protected:
    void SetUp() override { texts::ResetToDefaults(); }
    void TearDown() override { texts::ResetToDefaults(); }
};
}  // namespace

TEST_F(ExtraTexts, FormatFillsEveryPlaceholderAndLeavesTheRest)
{
    ASSERT_TRUE(extra::SetText("StatusTestOk", "%2 bit/s on %1, %1 again, %3 and 100%"));
    EXPECT_EQ(extra::Format("StatusTestOk", {"COM2", "9600"}), "9600 bit/s on COM2, COM2 again, %3 and 100%");
    EXPECT_FALSE(extra::SetText("NoSuchKey", "x"));
    EXPECT_EQ(extra::Text("NoSuchKey"), "");
    EXPECT_TRUE(extra::SetText("statustestok", "case"));  // keys as INI keys: letter case ignored
    EXPECT_EQ(extra::Text("StatusTestOk"), "case");
}

// The burner's and the command line's lines: English ones come back byte for byte; with
// the keys replaced they are reworded with their values, values that are lines of their
// own reworded as well; lines of another shape stay as they are.
TEST_F(ExtraTexts, RewordGivesTheBurnersLinesInTheTextsOfTheirKeys)
{
    const char* const lines[] = {
        "NO RECORDER FOUND",
        "NO DISC IN DRIVE 1:0:0 ACME CD-RW",
        "THE DISC IN DRIVE 1:0:0 X (CD-ROM) CANNOT BE WRITTEN (CD-ROM)",
        ">>> THE DISC HOLDS AN UNFINISHED TRACK OF 12 SECTORS AT SECTOR 300 AFTER 1 CLOSED SESSION(S); CLOSING IT WITHOUT ITS FILES",
        "the checksum list of session 2: the disc cannot be read at sector 40 (MEDIUM ERROR)",
        "session 3 cannot be read",
        "\"/d/fmArchive.txt\": line 3 is no archive record line (2 such lines); the old file is kept in /d/fmArchive.txt.bak",
        "NO DISC IN DRIVE ",  // a value must have a character
        "WRITE ERROR AT SECTOR 5",
        "",
    };
    for (const char* line : lines)
        EXPECT_EQ(extra::Reword(line), line);

    for (auto [key, text] : {std::pair{"BurnNoRecorder", "NIE ZNALEZIONO NAGRYWARKI"},
                             {"BurnDiscNotWritable", "NAPĘD %1: PŁYTA %2"},
                             {"BurnUnfinishedTrack", "ŚCIEŻKA %1/%2/%3"},
                             {"BurnClosingUnfinishedTrack", ">>> %1; ZAMYKANIE"},
                             {"AuditListUnreadable", "lista sesji %1: %2"},
                             {"AuditUnreadableAt", "sektor %1 (%2)"},
                             {"AuditSessionUnreadable", "sesja %1"}})
        ASSERT_TRUE(extra::SetText(key, text)) << key;
    const struct {
        const char *line, *reworded;
    } cases[] = {
        {"NO RECORDER FOUND", "NIE ZNALEZIONO NAGRYWARKI"},
        // A drive line that holds " (" itself stays whole.
        {"THE DISC IN DRIVE 1:0:0 X (CD-ROM) CANNOT BE WRITTEN (CD-ROM)", "NAPĘD 1:0:0 X (CD-ROM): PŁYTA CD-ROM"},
        {">>> THE DISC HOLDS AN UNFINISHED TRACK OF 12 SECTORS AT SECTOR 300 AFTER 1 CLOSED SESSION(S); CLOSING IT WITHOUT ITS FILES",
         ">>> ŚCIEŻKA 12/300/1; ZAMYKANIE"},
        {"the checksum list of session 2: the disc cannot be read at sector 40 (MEDIUM ERROR)",
         "lista sesji 2: sektor 40 (MEDIUM ERROR)"},
        {"session 3 cannot be read", "sesja 3"},
        {"session 3 cannot be read: bad tree", "session 3 cannot be read: bad tree"},  // its key kept English
        {"WRITE ERROR AT SECTOR 5", "WRITE ERROR AT SECTOR 5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(extra::Reword(c.line), c.reworded) << c.line;
}

TEST_F(ExtraTexts, LangFileSectionTextsReplacesThemDecodedFromItsCodePage)
{
    SetDisplayCodePage("WINDOWS-1250");
    const ini::Profile file = ini::Profile::parse(
        "[Texts]\r\nPortPresent=jest\r\nPortNoAccess=\r\nTitleSeparator=\" - \"\r\n"
        "HintJoinGroup=Grupa %1: dodaj u\xbfytkownika\r\nUnknown=x\r\n");
    lang::ApplyLangTextTables(file);
    EXPECT_EQ(texts::Extra("PortPresent"), "jest");
    EXPECT_EQ(texts::Extra("PortNoAccess"), "no access") << "an empty value keeps the text";
    EXPECT_EQ(texts::Extra("TitleSeparator"), " - ") << "quoted blanks are kept";
    EXPECT_EQ(texts::Extra("HintJoinGroup"), QString::fromUtf8("Grupa %1: dodaj użytkownika"));
    // The access hints are built from the table.
    EXPECT_EQ(devaccess::hintText(devaccess::Remedy::JoinGroup, "dialout"), "Grupa dialout: dodaj użytkownika");
    texts::ResetToDefaults();
    EXPECT_EQ(devaccess::hintText(devaccess::Remedy::JoinGroup, "dialout"),
              "The device belongs to the group dialout: add the user to it (sudo adduser $USER dialout) and log in again.");
}

TEST_F(ExtraTexts, ShippedPolishFileGivesEveryKeyAndQtsLanguage)
{
    ini::Profile file;
    ASSERT_TRUE(lang::LoadLanguageFile(VOBRELFM_SOURCE_DIR "/lang/pl/lang.lng", &file));
    for (const std::string& key : extra::Keys())
        EXPECT_TRUE(file.hasValue("Texts", QByteArray::fromStdString(key))) << key << " missing from [Texts]";
    lang::ApplyLangTextTables(file);
    EXPECT_EQ(texts::Extra("Language"), "pl");
    EXPECT_EQ(texts::Message(texts::sConnect), QString::fromUtf8("Łączenie"));
    EXPECT_EQ(texts::Message(texts::sDisconnect), QString::fromUtf8("Rozłączanie"));
    EXPECT_EQ(texts::Message(texts::SReadOnly), QString::fromUtf8("PAMIĘĆ FISKALNA NIEZAMKNIĘTA."));
    EXPECT_EQ(texts::BurnFrm(7), QString::fromUtf8("Usunąć wpis?"));
    EXPECT_EQ(texts::BurnFrm(9), QString::fromUtf8("Plik już istnieje. Zastąpić go?"));
    EXPECT_EQ(texts::BurnFrm(13), QString::fromUtf8("Data i godzina"));
    // The checksum file reader's words, the damage within the kept-old-file line reworded too.
    EXPECT_EQ(extra::Reword("\"/d/fmList.sha256\": line 3 is no checksum line (2 such lines); the old file is kept in "
                            "/d/fmList.sha256.bak"),
              "\"/d/fmList.sha256\": wiersz 3 nie jest wierszem sumy kontrolnej (takich wierszy: 2); poprzedni plik "
              "zachowano jako /d/fmList.sha256.bak");
    QByteArray detail = file.value("fmfrm", "btn1"), summary = file.value("fmfrm", "Button1");
    EXPECT_NE(detail.replace('&', ""), summary.replace('&', ""));
}

TEST(DesktopLanguage, LocaleVariablesInTheirOrder)
{
    const struct {
        const char *all, *messages, *lang, *expected;
    } cases[] = {
        {"", "", "pl_PL.UTF-8", "pl"},       {"", "", "pl_PL", "pl"},       {"", "", "pl", "pl"},
        {"", "pl_PL.UTF-8", "en_GB.UTF-8", "pl"}, {"en_US.UTF-8", "pl_PL", "pl_PL", "en"},
        {"", "", "C", ""},                    {"", "", "C.UTF-8", ""},       {"", "", "POSIX", ""},
        {"", "", "sr_RS@latin", "sr"},        {"", "", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DesktopLanguage(c.all, c.messages, c.lang), c.expected) << c.all << "|" << c.messages << "|" << c.lang;
}

TEST(DesktopLanguage, NewFolderGetsTheShippedFileOnceAndAFailureIsReported)
{
    QTemporaryDir root;
    const QString bin = root.path() + "/usr/bin";
    QDir().mkpath(bin);
    const QString shipped = root.path() + "/usr/share/vobrelfm/lang/pl/lang.lng";
    QDir().mkpath(QFileInfo(shipped).path());
    ASSERT_TRUE(writeTestFile(shipped, "[String]\r\nsConnect=X\r\n"));
    EXPECT_EQ(ShippedLanguageFile(bin, "pl"), shipped);
    EXPECT_EQ(ShippedLanguageFile(bin, "de"), "") << "no German file is shipped";
    EXPECT_EQ(ShippedLanguageFile(bin, "../pl"), "");
    EXPECT_EQ(ShippedLanguageFile(bin, ""), "");

    const QString folder = root.path() + "/home/.local/share/vobrelfm/";
    QDir().mkpath(folder);
    QString error;
    ASSERT_TRUE(SeedLanguageFile(folder, shipped, &error)) << error.toStdString();
    EXPECT_EQ(readTestFile(folder + "lang.lng"), "[String]\r\nsConnect=X\r\n");
    // A lang.lng of the user's own is never replaced.
    ASSERT_TRUE(writeTestFile(folder + "lang.lng", "mine"));
    ASSERT_TRUE(SeedLanguageFile(folder, shipped, &error));
    EXPECT_EQ(readTestFile(folder + "lang.lng"), "mine");
    EXPECT_TRUE(SeedLanguageFile(folder, QString(), &error)) << "nothing shipped: nothing to do";

    const QString readOnly = root.path() + "/ro/";
    QDir().mkpath(readOnly);
    ::chmod(QFile::encodeName(readOnly).constData(), 0555);
    if (::access(QFile::encodeName(readOnly).constData(), W_OK) != 0) {  // root may write anyway
        EXPECT_FALSE(SeedLanguageFile(readOnly, shipped, &error));
        EXPECT_TRUE(error.startsWith(readOnly + "lang.lng")) << error.toStdString();
    }
    ::chmod(QFile::encodeName(readOnly).constData(), 0755);
}
