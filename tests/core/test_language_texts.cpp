// Loading the language files and their text-table part: the message texts of both files
// and the burn window's table.

#include "core/code_page.h"
#include "core/language_texts.h"
#include "core/texts.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

ini::Profile profile(const QByteArray& content)
{
    return ini::Profile::parse(content);
}

// Every test starts from the default texts and leaves them so.
class LanguageTexts : public ::testing::Test {
protected:
    void SetUp() override { texts::ResetToDefaults(); }
    void TearDown() override
    {
        texts::ResetToDefaults();
        SetDisplayCodePage("WINDOWS-1250");
    }
};

}  // namespace

TEST(LanguageFilePaths, ExtensionOfTheExecutableBecomesLng)
{
    EXPECT_EQ(lang::ExeLanguageFilePath("/opt/fm/vobrelfm"), "/opt/fm/vobrelfm.LNG");
    EXPECT_EQ(lang::ExeLanguageFilePath("/opt/fm/x.exe"), "/opt/fm/x.LNG");
    EXPECT_EQ(lang::ExeLanguageFilePath("/opt/fm.d/vobrelfm"), "/opt/fm.d/vobrelfm.LNG");
    EXPECT_EQ(lang::ExeLanguageFilePath("/opt/a.b.c"), "/opt/a.b.LNG");
    TestHome home;
    EXPECT_EQ(lang::LangFilePath(), home.path("lang.lng"));
}

TEST(LanguageFilePaths, OnlyReadableRegularFilesLoad)
{
    TestHome home;
    ini::Profile file = profile("[String]\r\nsWait=stale\r\n");
    // Missing, a directory, a FIFO (opening one must not wait for a writer), too large.
    EXPECT_FALSE(lang::LoadLanguageFile(home.path("none.lng"), &file));
    EXPECT_FALSE(file.hasSection("String"));
    ASSERT_TRUE(QDir(home.path("")).mkdir("dir.lng"));
    EXPECT_FALSE(lang::LoadLanguageFile(home.path("dir.lng"), &file));
    ASSERT_EQ(::mkfifo(QFile::encodeName(home.path("fifo.lng")).constData(), 0600), 0);
    EXPECT_FALSE(lang::LoadLanguageFile(home.path("fifo.lng"), &file));
    ASSERT_TRUE(writeTestFile(home.path("big.lng"), "[String]\r\nsWait=x\r\n" +
                                                        QByteArray(lang::kMaxFileSize, ';')));
    EXPECT_FALSE(lang::LoadLanguageFile(home.path("big.lng"), &file));
    EXPECT_FALSE(file.hasValue("String", "sWait"));
    EXPECT_FALSE(lang::LoadLanguageFile(QString(), &file));

    ASSERT_TRUE(writeTestFile(home.path("ok.lng"), "[String]\r\nsWait=Czekam\r\n"));
    EXPECT_TRUE(lang::LoadLanguageFile(home.path("ok.lng"), &file));
    EXPECT_EQ(file.value("string", "SWAIT"), "Czekam");
    // Reading changes nothing: same bytes, same time stamp.
    EXPECT_EQ(readTestFile(home.path("ok.lng")), "[String]\r\nsWait=Czekam\r\n");
}

TEST_F(LanguageTexts, ExeFileReadsItsSixKeysOnly)
{
    // The .LNG file calls sConnect "Connect"; a key sConnect there is not recognised, and
    // it has no keys for sERROR, sWait and sCheckEcrTips.
    lang::ApplyExeMessageTexts(profile("[String]\r\nsConnect=Wrong\r\nConnect=Verbinden\r\n"
                                       "sDisconnect=Trennen\r\nsERROR=Fehler\r\nsWait=Warten\r\n"
                                       "sCheckEcrTips=Pruefen\r\nsUpload=\r\nSReadOnly=RO\r\n"
                                       "[BurnFrm]\r\n7=Loeschen?\r\n"));
    EXPECT_EQ(texts::Message(texts::sConnect), "Verbinden");
    EXPECT_EQ(texts::Message(texts::sDisconnect), "Trennen");
    EXPECT_EQ(texts::Message(texts::sUpload), "");
    EXPECT_EQ(texts::Message(texts::SReadOnly), "RO");
    EXPECT_EQ(texts::Message(texts::sERROR), "Error");
    EXPECT_EQ(texts::Message(texts::sWait), "Waiting");
    EXPECT_EQ(texts::Message(texts::sCheckEcrTips), "Check ecr status");
    EXPECT_EQ(texts::Message(texts::SErrorOpen), "Error opening");
    EXPECT_EQ(texts::BurnFrm(7), "Delete Record?");  // that table is lang.lng's alone
}

TEST_F(LanguageTexts, LangFileBurnFrmTableIsTrimmedAndEmptyKeeps)
{
    lang::ApplyLangTextTables(profile("[burnfrm]\r\n7=      \r\n8=  Informacja  \r\n9=\" Plik \"\r\n"
                                      "10=\r\n0=Nazwa pliku\r\n13=\"\t\"\r\n14=beyond\r\n-1=before\r\n"));
    EXPECT_EQ(texts::BurnFrm(7), "Delete Record?");
    EXPECT_EQ(texts::BurnFrm(8), "Informacja");
    EXPECT_EQ(texts::BurnFrm(9), "Plik");
    EXPECT_EQ(texts::BurnFrm(10), "empty");
    EXPECT_EQ(texts::BurnFrm(0), "Nazwa pliku");
    EXPECT_EQ(texts::BurnFrm(13), "DateTime");
    EXPECT_EQ(texts::BurnFrm(1), "INSUFFICIENT DISC SPACE. REQUIRED %s KB,AVAILABLE %s KB");
}

TEST_F(LanguageTexts, LangFileMessagesEmptyReplacesMissingKeeps)
{
    texts::SetMessage(texts::sUpload, "from the LNG file");
    lang::ApplyLangTextTables(profile("[String]\r\nsConnect=\r\nConnect=ignored\r\nsWait= Czekam \r\n"
                                      "sERROR=Blad\r\nsCheckEcrTips=Stan\r\n"));
    EXPECT_EQ(texts::Message(texts::sConnect), "");
    EXPECT_EQ(texts::StatusText(texts::sConnect), "...");
    EXPECT_EQ(texts::Message(texts::sWait), "Czekam");
    EXPECT_EQ(texts::ErrorText(texts::sCheckEcrTips), "Stan...Blad");
    EXPECT_EQ(texts::Message(texts::sUpload), "from the LNG file");
    EXPECT_EQ(texts::Message(texts::sDisconnect), "Disconnect");
}

TEST_F(LanguageTexts, ValuesAreBytesInTheDisplayCodePage)
{
    // 0xA3 0xB9 0xE6 is "Łąć" in Windows-1250 and "£¹æ" in Windows-1252.
    const ini::Profile file = profile("[String]\r\nsConnect=\xA3\xB9\xE6\r\n[BurnFrm]\r\n7=\xA3\xB9\xE6?\r\n");
    lang::ApplyLangTextTables(file);
    EXPECT_EQ(texts::Message(texts::sConnect), QString::fromUtf8("Łąć"));
    EXPECT_EQ(texts::BurnFrm(7), QString::fromUtf8("Łąć?"));
    ASSERT_TRUE(SetDisplayCodePage("WINDOWS-1252"));
    lang::ApplyLangTextTables(file);
    EXPECT_EQ(texts::Message(texts::sConnect), QString::fromUtf8("£¹æ"));
}
