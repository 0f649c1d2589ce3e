#include "core/safe_file.h"
#include "reports/catalogue.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <gtest/gtest.h>
#include <random>

namespace {
const QDateTime kWhen(QDate(2024, 3, 14), QTime(9, 5, 7));
}  // namespace

TEST(Catalogue, TableOperations)
{
    TCatalogue c;
    EXPECT_EQ(c.Current(), -1);
    c.Append({kWhen, "a.txt", "/r/a.txt", "Detail"});
    c.Append({kWhen, "B.txt", "/r/B.txt", "Summary"});
    c.Append({kWhen, "c.txt", "/r/c.txt", "Detail"});
    EXPECT_EQ(c.Current(), 2);
    EXPECT_TRUE(c.Locate("b.TXT"));
    EXPECT_EQ(c.Current(), 1);
    EXPECT_FALSE(c.Locate("b.tx"));
    c.DeleteCurrent();
    EXPECT_EQ(c.Count(), 2);
    EXPECT_EQ(c.Current(), 1);  // the one after it
    c.DeleteCurrent();
    EXPECT_EQ(c.Current(), 0);  // was the last: the one before
    c.DeleteCurrent();
    EXPECT_TRUE(c.IsEmpty());
    EXPECT_EQ(c.Current(), -1);
    c.DeleteCurrent();  // nothing to delete

    c.Append({kWhen, QByteArray(60, 'n'), QByteArray(250, 'p'), QByteArray(30, 't')});
    EXPECT_EQ(c.Entry(0).Caption.size(), 50);
    EXPECT_EQ(c.Entry(0).FileName.size(), 200);
    EXPECT_EQ(c.Entry(0).sType.size(), 20);
}

TEST(Catalogue, AddReportReplacesTheEntryOfTheSameName)
{
    TCatalogue c;
    c.AddReport("/r/abc_1_5.txt", "Detail", kWhen);
    c.AddReport("/r/x.txt", "Detail", kWhen);
    c.AddReport("/r/ABC_1_5.txt", "Summary", kWhen.addSecs(5));
    ASSERT_EQ(c.Count(), 2);
    EXPECT_EQ(c.Entry(0).Caption, "x.txt");
    EXPECT_EQ(c.Entry(1).Caption, "ABC_1_5.txt");
    EXPECT_EQ(c.Entry(1).FileName, "/r/ABC_1_5.txt");
    EXPECT_EQ(c.Entry(1).sType, "Summary");
    EXPECT_EQ(c.Current(), 1);
}

TEST(Catalogue, FileRoundTripAndFormat)
{
    TestHome home;
    const QString path = home.path("fmList.txt");
    TCatalogue c;
    c.Append({kWhen, "Rep_1_5.txt", "/r/Rep_1_5.txt", "Detail"});
    c.Append({QDateTime(QDate(2024, 3, 15), QTime(0, 0)), "\xB9\xEA.txt", "", "Summary"});
    c.Append({QDateTime(), "", "", ""});
    c.SaveCatalogue(path);
    const QByteArray content = readTestFile(path);
    ASSERT_TRUE(content.startsWith("cDateTime\tCaption\tFileName\tsType\r\n"));
    EXPECT_TRUE(content.endsWith("\t\t\t\r\n"));
    const QList<QByteArray> lines = content.split('\n');
    // The tests run under the C locale (ctest gives no other), whose short date is
    // "d MMM yyyy" and whose long time is "HH:mm:ss"; other locales are checked end to end.
    if (QLocale::system().name() == QLatin1String("C")) {
        EXPECT_EQ(lines[1], "14 Mar 2024 09:05:07\tRep_1_5.txt\t/r/Rep_1_5.txt\tDetail\r");
        EXPECT_EQ(lines[2], "15 Mar 2024\t\xB9\xEA.txt\t\tSummary\r");  // midnight: the date alone
    } else {
        EXPECT_TRUE(lines[1].endsWith("\tRep_1_5.txt\t/r/Rep_1_5.txt\tDetail\r"));
        EXPECT_FALSE(lines[2].split('\t')[0].contains(':'));
    }

    TCatalogue back;
    back.LoadCatalogue(path);
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back.Entry(0).cDateTime, kWhen);
    EXPECT_EQ(back.Entry(1).Caption, "\xB9\xEA.txt");
    EXPECT_EQ(back.Entry(1).cDateTime, QDateTime(QDate(2024, 3, 15), QTime(0, 0)));
    EXPECT_FALSE(back.Entry(2).cDateTime.isValid());
    EXPECT_EQ(back.Current(), 0);
    back.SaveCatalogue(path);
    EXPECT_EQ(readTestFile(path), content);  // byte for byte
}

TEST(Catalogue, LoadRules)
{
    TestHome home;
    const QString path = home.path("fmList.txt");
    // Another field order, an unknown column, an empty line, CR-only and LF-only ends.
    ASSERT_TRUE(writeTestFile(path, "sType\tExtra\tCaption\r\nDetail\tzz\ta.txt\r\n\rSummary\t\tb.txt\n"));
    TCatalogue c;
    c.LoadCatalogue(path);
    ASSERT_EQ(c.Count(), 3);
    EXPECT_EQ(c.Entry(0).sType, "Detail");
    EXPECT_EQ(c.Entry(0).Caption, "a.txt");
    EXPECT_TRUE(c.Entry(1).Caption.isEmpty());
    EXPECT_EQ(c.Entry(2).Caption, "b.txt");

    ASSERT_TRUE(writeTestFile(path, "cDateTime\tCaption\tFileName\tsType\r\n"));
    c.LoadCatalogue(path);
    EXPECT_TRUE(c.IsEmpty());

    c.Append({kWhen, "keep", "", ""});
    ASSERT_TRUE(writeTestFile(path, ""));
    c.LoadCatalogue(path);  // a file without lines changes nothing
    EXPECT_EQ(c.Count(), 1);
}

TEST(Catalogue, LoadStopsAtABadLineKeepingWhatCameBefore)
{
    TestHome home;
    const QString path = home.path("fmList.txt");
    ASSERT_TRUE(writeTestFile(path, "Caption\tsType\r\na\tDetail\r\nb\tDetail\textra\r\nc\tDetail\r\n"));
    TCatalogue c;
    EXPECT_THROW(c.LoadCatalogue(path), FileError);
    ASSERT_EQ(c.Count(), 1);
    EXPECT_EQ(c.Entry(0).Caption, "a");

    ASSERT_TRUE(writeTestFile(path, "cDateTime\tCaption\r\nnot a date\tx\r\n"));
    try {
        c.LoadCatalogue(path);
        FAIL();
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("not a valid date and time"), std::string::npos);
    }
    EXPECT_TRUE(c.IsEmpty());
}

TEST(Catalogue, SurvivesRandomFiles)
{
    TestHome home;
    const QString path = home.path("fmList.txt");
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        QByteArray content = "cDateTime\tCaption\tFileName\tsType\r\n";
        const int n = static_cast<int>(rng() % 600);
        for (int i = 0; i < n; ++i) {
            const unsigned r = rng() % 8;
            content += r == 0 ? '\t' : r == 1 ? '\n' : r == 2 ? '\r' : static_cast<char>(rng());
        }
        ASSERT_TRUE(writeTestFile(path, content));
        TCatalogue c;
        try {
            c.LoadCatalogue(path);
        } catch (const FileError&) {
        }
        c.SaveCatalogue(path);
    }
}

TEST(DataModule, CreatesDirectoriesLoadsAndSavesAtExit)
{
    TestHome home;
    QStringList errors;
    {
        Tdm dm([&](const QString& e) { errors << e; });
        EXPECT_TRUE(dm.IsOpen());
        EXPECT_TRUE(QDir(Settings().DataDir).exists());
        EXPECT_TRUE(QDir(Settings().ReportDir).exists());
        EXPECT_TRUE(dm.fmRpt.IsEmpty());
        EXPECT_FALSE(QFile::exists(dm.CatalogueFile()));  // nothing written while running
        dm.fmRpt.AddReport(Settings().ReportDir + "a_1_2.txt", "Detail", kWhen);
    }
    EXPECT_TRUE(errors.isEmpty());
    {
        Tdm dm([&](const QString& e) { errors << e; });
        ASSERT_EQ(dm.fmRpt.Count(), 1);
        EXPECT_EQ(dm.fmRpt.Entry(0).Caption, "a_1_2.txt");
    }
}

TEST(DataModule, DirectoryThatCannotBeCreated)
{
    TestHome home;
    ASSERT_TRUE(writeTestFile(home.path("data"), "a file where the directory should be"));
    QStringList errors;
    {
        Tdm dm([&](const QString& e) { errors << e; });
        EXPECT_FALSE(dm.IsOpen());
    }
    EXPECT_EQ(errors, QStringList{"Cannot create data directory."});
    EXPECT_FALSE(QDir(Settings().ReportDir).exists());
}

TEST(DataModule, FailedLoadKeepsTheOriginalBesideTheNewFile)
{
    TestHome home;
    QDir().mkpath(Settings().DataDir);
    const QByteArray original = "Caption\r\na\r\nb\textra\r\nc\r\n";
    ASSERT_TRUE(writeTestFile(Settings().DataDir + "fmList.txt", original));
    QStringList errors;
    {
        Tdm dm([&](const QString& e) { errors << e; });
        EXPECT_EQ(dm.fmRpt.Count(), 1);
    }
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(readTestFile(Settings().DataDir + "fmList.txt.bak"), original);
    EXPECT_TRUE(readTestFile(Settings().DataDir + "fmList.txt").startsWith("cDateTime\t"));
}
